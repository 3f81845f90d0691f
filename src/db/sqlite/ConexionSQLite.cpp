#include "db/sqlite/ConexionSQLite.h"

#include "common/ErrorVarlo.h"

namespace varlo::db {
std::unique_ptr<Backend> AbreSQLite(const std::string&) {
  throw ErrorVarlo(-1, "SQLite", "SQLite no disponible todavía");
}
}  // namespace varlo::db
