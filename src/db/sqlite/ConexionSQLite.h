#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"

namespace varlo::db {
// Opens an existing SQLite database file (WAL journal, a busy timeout of a
// few seconds). A missing file is a connection failure: "No existe la base
// de datos SQLite (PATH)", never a new empty database.
std::unique_ptr<Backend> AbreSQLite(const std::string& ruta);
}  // namespace varlo::db
