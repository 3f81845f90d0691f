#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"

namespace varlo::db {
// Opens the SQLite database file, creating it when missing (WAL journal, a
// busy timeout of a few seconds). A folder that does not exist is an error.
std::unique_ptr<Backend> AbreSQLite(const std::string& ruta);
}  // namespace varlo::db
