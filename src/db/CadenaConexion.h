#pragma once
// Reading the "Conexion" string: which backend it names and, for ODBC, the
// string the driver manager gets (OLE DB keys of SQL Server translated).
#include <string>
#include <utility>
#include <vector>

namespace varlo::db {

enum class Backend { SQLite, Odbc };

struct DestinoConexion {
  Backend backend = Backend::Odbc;
  std::string rutaSQLite;   // SQLite: the database file
  std::string cadenaOdbc;   // ODBC: the string for SQLDriverConnect
};

// Pairs key=value of a connection string; values may be quoted with "" or {}.
std::vector<std::pair<std::string, std::string>> LeePares(const std::string& cadena);

// Raises a positive error with a clear description for an empty or
// unusable string.
DestinoConexion InterpretaCadena(const std::string& cadena);

// The string with every password value replaced by "***", for messages.
std::string OcultaClave(const std::string& cadena);

}  // namespace varlo::db
