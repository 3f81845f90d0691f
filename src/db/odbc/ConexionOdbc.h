#pragma once
#include <memory>
#include <string>

#include "db/Conexion.h"

namespace varlo::db {
// Opens an ODBC connection with a string ready for SQLDriverConnect.
std::unique_ptr<Conexion> AbreOdbc(const std::string& cadenaOdbc);
}  // namespace varlo::db
