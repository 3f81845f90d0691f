#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"

namespace varlo::db {
// Opens an ODBC backend with a string ready for SQLDriverConnect
// (browse isolation where the driver has it).
std::unique_ptr<Backend> AbreOdbc(const std::string& cadenaOdbc);
}  // namespace varlo::db
