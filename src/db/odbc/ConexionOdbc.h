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

// What SQL Server is asked: a table's own spelling (its name in brackets
// bound), and whether the transaction is still open after an error.
inline constexpr const char* kNombreCatalogoSqlServer =
    "select schema_name([schema_id]), [name] from [sys].[objects] where [object_id] = "
    "object_id(?)";
inline constexpr const char* kEstadoTransaccionSqlServer = "select @@TRANCOUNT, XACT_STATE()";
// SQL Server's answer to it: the transaction is still open and may commit
// only with a transaction count above 0 and XACT_STATE() 1 (-1: the server
// allows nothing but a rollback; 0: it rolled back already).
bool TransaccionAbiertaSegunSqlServer(const ResultadoConsulta& respuesta);
}  // namespace varlo::db
