#pragma once
// The connection string the generator asks for, composed from a few fields:
// SQL Server through the OLE DB provider (server, database, user and
// password or integrated security), an SQLite file, or an ODBC string typed
// whole. The Qt dialog and the console prompts fill the same fields.
#include <string>

namespace varlo {

enum class ClaseConexion { SqlServer, SQLite, Odbc };

struct DatosConexion {
  ClaseConexion clase = ClaseConexion::SqlServer;
  std::string servidor;
  std::string baseDatos;
  std::string usuario;
  std::string clave;
  bool seguridadIntegrada = false;
  std::string archivoSQLite;
  std::string cadenaOdbc;
};

// The fields a string already holds ("User ID=;Initial Catalog=;..." gives
// an empty SQL Server form).
DatosConexion LeeSemilla(const std::string& semilla);

// "" when the fields make a usable string; otherwise what is missing (an
// SQLite file must exist already).
std::string DatoFaltante(const DatosConexion& d);

// The string: "Provider=SQLOLEDB.1;Data Source=...;Initial Catalog=...;
// User ID=...;Password=..." (or "Integrated Security=SSPI"),
// "Provider=SQLite;Data Source=PATH", or the ODBC string as typed. Values
// that hold ";" or quotes or edge blanks are quoted.
std::string ComponeCadena(const DatosConexion& d);

// One "key=value" pair with the value quoted when it needs it.
std::string ParConexion(const std::string& clave, const std::string& valor);

}  // namespace varlo
