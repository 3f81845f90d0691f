#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"
#include "db/Esperas.h"

namespace varlo::db {
// Opens an existing SQLite database file (WAL journal, a lock held elsewhere
// waited out for the lock wait of `esperas`). A missing file is a connection
// failure: "No existe la base de datos SQLite (PATH)", never a new empty database.
std::unique_ptr<Backend> AbreSQLite(const std::string& ruta, const Esperas& esperas = {});
}  // namespace varlo::db
