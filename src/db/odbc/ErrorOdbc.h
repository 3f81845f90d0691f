#pragma once
// The one place every ODBC call's result goes through: a failure becomes an
// ErrorVarlo with a negative number, the driver's messages and SQLSTATEs and
// the context of the call (the SQL text, or the connection string with its
// password hidden).
#include <string>
#include <string_view>

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

// The negative number that a SQLSTATE stands for: the HRESULT the original
// provider raised in the same situation, E_FAIL when none is more precise.
// A Spanish gloss of the common SQLSTATEs ("" for the rest).
std::string GlosaDeEstado(std::string_view sqlstate);
long NumeroDeEstado(std::string_view sqlstate);

}  // namespace varlo::db::odbc
