#pragma once
#include <memory>
#include <string>

#include "db/Backend.h"

namespace varlo::db {
// A nightly run waits out a brief lock held by another program.
inline constexpr int kEsperaBloqueoSQLiteMs = 5000;

// Opens an existing SQLite database file (WAL journal, a busy timeout of
// `esperaBloqueoMs`). A missing file is a connection failure: "No existe la
// base de datos SQLite (PATH)", never a new empty database.
std::unique_ptr<Backend> AbreSQLite(const std::string& ruta,
                                    int esperaBloqueoMs = kEsperaBloqueoSQLiteMs);
}  // namespace varlo::db
