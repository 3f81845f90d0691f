#pragma once
#include <memory>
#include <string>

#include "db/Conexion.h"

namespace varlo::db {
// Opens (creating when missing) the SQLite database file.
std::unique_ptr<Conexion> AbreSQLite(const std::string& ruta);
}  // namespace varlo::db
