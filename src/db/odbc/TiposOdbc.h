#pragma once
// From what the driver says of a column to its ADO type code and declared
// size, and the C type its values are read with.
#include <string>

#include "db/Dialecto.h"
#include "db/Recordset.h"

namespace varlo::db::odbc {

// A column as SQLDescribeCol and SQLColAttribute report it.
struct ColumnaOdbc {
  std::string nombre;
  short tipoSql = 0;         // SQL_xxx data type
  unsigned long tamano = 0;  // column size: characters, digits or bytes
  std::string nombreTipo;    // the database's own type name ("bool", "bytea", ...)
};

// ADO type and declared size (characters for text, bytes otherwise).
// PostgreSQL has no national character types: the Unicode driver reports
// every text column as wide, and those are given the plain text codes.
InfoCampo InfoDeColumna(const ColumnaOdbc& c, Motor motor);

}  // namespace varlo::db::odbc
