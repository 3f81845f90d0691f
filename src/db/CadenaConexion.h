#pragma once
// Reading the "Conexion" string: which backend it names and, for ODBC, the
// string the driver manager gets (OLE DB keys of SQL Server translated); for
// PostgreSQL through libpq, its conninfo (OLE DB keys translated) or URI.
#include <string>
#include <utility>
#include <vector>

namespace varlo::db {

enum class TipoBackend { SQLite, Odbc, PostgreSql };

struct DestinoConexion {
  TipoBackend backend = TipoBackend::Odbc;
  std::string rutaSQLite;  // SQLite: the database file
  std::string cadenaOdbc;  // ODBC: the string for SQLDriverConnect
  std::string conninfo;    // PostgreSQL: "key='value' ..." or a postgresql:// URI
};

// Pairs key=value of a connection string, keys and values trimmed; values
// may be quoted with "" or {} (a ';' inside them is kept, the quotes are not).
std::vector<std::pair<std::string, std::string>> LeePares(const std::string& cadena);

// Raises an error for an empty or unusable string; like every failure to
// open, it carries a negative number (-2147467259, what the provider
// reports) and a description without the password.
DestinoConexion InterpretaCadena(const std::string& cadena);

// The string with every password value replaced by "***", for messages
// (in a postgresql:// URI, the password after the user and a password
// parameter).
std::string OcultaClave(const std::string& cadena);

}  // namespace varlo::db
