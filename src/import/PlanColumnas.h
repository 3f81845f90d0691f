#pragma once
// The column plan of a table: which piece of a source line feeds which
// destination column, which columns form the key, what the lookup reads
// back, and where a hierarchy column sits. Built once per table.
#include <optional>
#include <string>

#include "definitions/LectorDefiniciones.h"
#include "import/DefinicionTabla.h"
#include "import/DivisorLineas.h"

namespace varlo {

// Layout ("Formato", "Otro"), "TextoNulo" and the columns 1..Columnas of the table
// section `d.Tabla`, into a definition whose columns are not read yet:
// `d.Columnas`, `d.Indices`, `d.ColumnaJerarquia` and the probe fields must
// already be set. Returns whether some column is named.
bool ConstruyePlan(const LectorDefiniciones& ini, DefinicionTabla& d);

// The first key name that no named column carries (also the empty name of
// an empty "NombreIndice"); nothing when every key has its column.
std::optional<std::string> IndiceSinColumna(const DefinicionTabla& d);

// Columns "ID_Calendario" and "FIAplicacion" of table "Empleado" (exact
// case) are read from the source but never read back or written.
bool ColumnaSoloLectura(const std::string& tabla, const std::string& nombre);

}  // namespace varlo
