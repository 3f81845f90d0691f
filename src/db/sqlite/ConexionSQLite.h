#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"
#include "db/Esperas.h"

namespace varlo::db {
// Opens the SQLite database file, creating it when missing (WAL journal, a
// lock held elsewhere waited out for the lock wait of `esperas`). A folder
// that does not exist is an error.
std::unique_ptr<Backend> AbreSQLite(const std::string& ruta, const Esperas& esperas = {});
}  // namespace varlo::db
