#include "db/odbc/ConexionOdbc.h"

#include "common/ErrorVarlo.h"

namespace varlo::db {
std::unique_ptr<Backend> AbreOdbc(const std::string&) {
  throw ErrorVarlo(-1, "ODBC", "ODBC no disponible todavía");
}
}  // namespace varlo::db
