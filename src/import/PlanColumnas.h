#pragma once
// A table's column plan, built once per table: which piece of a line feeds
// which column, which form the key, what the lookup reads back, and where the
// hierarchy column sits.
#include <optional>
#include <string>

#include "definitions/LectorDefiniciones.h"
#include "import/DefinicionTabla.h"

namespace varlo {

// Reads layout ("Formato", "Otro"), "TextoNulo" and columns 1..Columnas of
// section `d.Tabla`; `d.Columnas`, `d.Indices`, `d.ColumnaJerarquia` and the
// probe fields must be set already. Returns whether some column is named.
bool ConstruyePlan(const LectorDefiniciones& ini, DefinicionTabla& d);

// The first key name that no named column carries (also the empty name of
// an empty "NombreIndice"); nothing when every key has its column.
std::optional<std::string> IndiceSinColumna(const DefinicionTabla& d);

// Columns "ID_Calendario" and "FIAplicacion" of table "Empleado" (exact
// case) are read from the source but never read back or written.
bool ColumnaSoloLectura(const std::string& tabla, const std::string& nombre);

}  // namespace varlo
