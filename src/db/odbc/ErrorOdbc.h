#pragma once
// The one place every ODBC call's result goes through: a failure becomes an
// ErrorVarlo with a negative number, the driver's messages and SQLSTATEs and
// the context of the call (the SQL text, or the connection string with its
// password hidden).
#include <string>
#include <string_view>

#include "db/EstadosSql.h"

namespace varlo::db::odbc {

// The ODBC handle and return types without the ODBC headers (checked
// against them where those headers are included).
using HandleOdbc = void*;
using RetornoOdbc = short;

// Handle kinds, as SQL_HANDLE_ENV / DBC / STMT.
enum class ClaseHandle : short { Entorno = 1, Conexion = 2, Sentencia = 3 };

// Returns `rc` when it is success, success with information, no data or
// need data; otherwise raises the handle's diagnostics. `secreto`, when not
// empty, is blanked out of whatever the driver wrote.
RetornoOdbc Comprueba(RetornoOdbc rc, ClaseHandle clase, HandleOdbc handle,
                      std::string_view contexto, std::string_view secreto = {});

// The SQLSTATE tables are shared with the other backends.
using db::GlosaDeEstado;
using db::NumeroDeEstado;

}  // namespace varlo::db::odbc
