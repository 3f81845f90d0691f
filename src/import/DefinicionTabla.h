#pragma once
// The settings of one destination table of the table import, as its
// preparation reads them from the definitions file and the probe query.
// Lists of source columns are held from index 0 for column 1.
#include <cstdint>
#include <string>
#include <vector>

#include "import/DivisorLineas.h"
#include "import/MascaraFecha.h"

namespace varlo {

// Its Campos are the names without brackets.
struct DefinicionTabla : DisposicionColumnas {
  std::string Tabla;

  // Fields of the table as the probe reports them.
  std::vector<std::string> NombresTabla;
  std::vector<std::int32_t> TiposTabla;

  std::string ArchivoEr, ArchivoOk;

  // The key: "NombreIndice" cut at every ",", each piece as written.
  std::string NombreIndice;
  bool BorrarAntes = false;
  std::vector<std::string> Indices;
  // Per key name: source column (from 1; 0 when no column carries it) and
  // the ADO type of the key column in the table (0 when the table has none).
  std::vector<std::int16_t> PosicionIndice;
  std::vector<std::int32_t> TipoIndice;

  std::string Origen;
  std::string DirectorioOrigen;  // folder of Origen, ending in a separator
  std::int16_t ColumnaJerarquia = 0;

  MascaraFecha Mascara;  // InicioAnio, LargoAnio, InicioMes, LargoMes, InicioDia, LargoDia
  // "TextoNulo": a value equal to it (trimmed) writes NULL; empty = off.
  std::string TextoNulo;

  std::int16_t Columnas = 0;
  std::vector<std::string> CamposSelect;  // read back by the lookup, as written

  std::string CampoJerarquia;              // trimmed name of the hierarchy column
  std::vector<std::string> ColumnasNivel;  // "ID_Nivel2" ... "ID_Nivel0", nearest first
};

}  // namespace varlo
