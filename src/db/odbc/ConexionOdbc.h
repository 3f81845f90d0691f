#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"
#include "db/Esperas.h"

namespace varlo::db {
// Opens an ODBC backend with a string ready for SQLDriverConnect (browse
// isolation where the driver has it, autocommit, the login and statement
// waits of `esperas`). Errors carry negative numbers and never the password.
std::unique_ptr<Backend> AbreOdbc(const std::string& cadenaOdbc, const Esperas& esperas = {});
}  // namespace varlo::db
