#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"

namespace varlo::db {
// Opens an ODBC backend with a string ready for SQLDriverConnect (browse
// isolation where the driver has it, autocommit, 15 seconds to log in and
// 30 for each statement, the original provider's defaults). Errors carry negative numbers and
// never the password.
std::unique_ptr<Backend> AbreOdbc(const std::string& cadenaOdbc);
}  // namespace varlo::db
