#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"
#include "db/Esperas.h"

namespace varlo::db {
// Opens PostgreSQL through libpq with a conninfo string or URI (read as
// libpq reads it). `visible` names the connection in error messages (its
// password hidden). Every wait (login, statement, commit) is bounded on the
// socket by `esperas`; a server that stops answering is cancelled, then cut
// from this side, and the connection is lost. Errors carry negative numbers
// and never the password.
std::unique_ptr<Backend> AbrePq(const std::string& conninfo, const std::string& visible,
                                const Esperas& esperas = {});
}  // namespace varlo::db
