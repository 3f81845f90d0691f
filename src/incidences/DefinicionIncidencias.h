#pragma once
// The settings of the absence-planning import, read once per run, and the
// checks that tell before the first line whether they can drive an import.
#include <cstdint>
#include <string>
#include <vector>

#include "definitions/LectorDefiniciones.h"
#include "import/DivisorLineas.h"
#include "import/MascaraFecha.h"

namespace varlo {

// Profile section, base name of both result files and of the default source file.
inline constexpr const char* kSeccionIncidencias = "Planeacion Faltas";

// A blank column has an empty name and width 0, so it takes no characters
// of a fixed-width line; "Fecha1" is named "Fecha" and "Fecha2" empty.
struct DefinicionIncidencias : DisposicionColumnas {
  std::string Origen;
  MascaraFecha Mascara;  // "FormatoFecha"
  // The select list of the Kardex lookup: every named column but "Fecha2".
  std::vector<std::string> CamposSelect;
  std::int16_t ColumnaEmpleado = 0;
  std::int16_t ColumnaFecha = 0;
  bool HayFecha2 = false;
  // The configured count until the columns are read; then the number of the
  // last named column, so trailing blank columns drop out.
  std::int16_t Columnas = 0;
};

// Entry i (from 1) of the column names or of a record's values; "" beyond.
const std::string& DeColumna(const std::vector<std::string>& lista, int columna);

enum class LecturaDefinicion { Completa, CeroColumnas, NingunaColumna };

// Reads the section in the order the run needs it; stops early when
// "Columnas" is 0 or no column has a name.
LecturaDefinicion LeeDefinicion(const LectorDefiniciones& lector, DefinicionIncidencias& d);

// The mistakes that would make every line fail, one log text each.
std::vector<std::string> ProblemasDefinicion(const DefinicionIncidencias& d);

}  // namespace varlo
