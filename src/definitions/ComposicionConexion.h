#pragma once
// The connection string the generator asks for, composed from a few fields:
// SQL Server through the OLE DB provider (server, database, user and
// password or integrated security), PostgreSQL through its native provider
// (host, port, database, user and password), an SQLite file, or an ODBC
// string typed whole. The Qt dialog and the console prompts fill the same
// fields.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varlo {

enum class ClaseConexion { SqlServer, PostgreSql, SQLite, Odbc };

// The fields of a PostgreSQL connection. `otros` are the other keys of a
// seed string (SSL mode, options), kept as they were.
struct DatosPostgreSql {
  std::string servidor;
  std::string puerto;
  std::string baseDatos;
  std::string usuario;
  std::string clave;
  std::vector<std::pair<std::string, std::string>> otros;
};

struct DatosConexion {
  ClaseConexion clase = ClaseConexion::SqlServer;
  std::string servidor;
  std::string baseDatos;
  std::string usuario;
  std::string clave;
  bool seguridadIntegrada = false;
  std::string archivoSQLite;
  std::string cadenaOdbc;
  // Read from a PostgreSQL seed, native or an older psqlODBC string (whose
  // class stays Odbc, its text in cadenaOdbc).
  std::optional<DatosPostgreSql> postgreSql;
};

// The fields a string already holds ("User ID=;Initial Catalog=;..." gives
// an empty SQL Server form).
DatosConexion LeeSemilla(const std::string& semilla);

// The fields of "Provider=PostgreSQL;..." or of a psqlODBC string
// ("Driver={PostgreSQL ...};Server=...;Uid=..."); nothing for another
// string. Of a psqlODBC string's other keys only its SSL mode is kept (as
// "sslmode"): the rest are the driver's own, which the native provider
// does not know.
std::optional<DatosPostgreSql> LeePostgreSql(const std::string& cadena);

// "" or what a PostgreSQL connection still lacks.
std::string FaltaPostgreSql(const DatosPostgreSql& d);

// "" when the fields make a usable string; otherwise what is missing (an
// SQLite file must exist already).
std::string DatoFaltante(const DatosConexion& d);

// The string: "Provider=SQLOLEDB.1;Data Source=...;Initial Catalog=...;
// User ID=...;Password=..." (or "Integrated Security=SSPI"),
// "Provider=PostgreSQL;Data Source=HOST;Port=P;Initial Catalog=DB;
// User ID=U;Password=W" (port 5432 when blank, then the seed's other keys),
// "Provider=SQLite;Data Source=PATH", or the ODBC string as typed. Values
// that hold ";" or quotes or edge blanks are quoted.
std::string ComponeCadena(const DatosConexion& d);

// One "key=value" pair with the value quoted when it needs it.
std::string ParConexion(const std::string& clave, const std::string& valor);

}  // namespace varlo
