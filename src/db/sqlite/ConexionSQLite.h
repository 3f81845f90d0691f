#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"

namespace varlo::db {
// Opens (creating when missing) the SQLite database file, WAL journal.
std::unique_ptr<Backend> AbreSQLite(const std::string& ruta);
}  // namespace varlo::db
