#pragma once
// The concrete dialects behind CreaDialecto.
#include <memory>

#include "db/Dialecto.h"

namespace varlo::db {

std::unique_ptr<Dialecto> CreaDialectoSqlServer();
// SQLite, PostgreSQL and any other ODBC database: LIMIT and bound keys.
std::unique_ptr<Dialecto> CreaDialectoConParametros(Motor motor);

}  // namespace varlo::db
