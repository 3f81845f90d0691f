#include "definitions/ComposicionConexion.h"

#include <filesystem>
#include <initializer_list>

#include "common/Texto.h"
#include "db/CadenaConexion.h"

namespace varlo {

namespace {

bool NecesitaComillas(const std::string& v) {
  if (v.empty()) return false;
  if (v.find(';') != std::string::npos) return true;
  char primero = v.front();
  if (primero == '"' || primero == '\'' || primero == '{') return true;
  return v.front() == ' ' || v.back() == ' ';
}

constexpr const char* kPuertoPostgreSql = "5432";

bool EsClave(const std::string& clave, std::initializer_list<const char*> nombres) {
  for (const char* n : nombres)
    if (IgualSinCaso(clave, n)) return true;
  return false;
}

}  // namespace

std::string ParConexion(const std::string& clave, const std::string& valor) {
  if (!NecesitaComillas(valor)) return clave + "=" + valor;
  if (valor.find('"') == std::string::npos) return clave + "=\"" + valor + "\"";
  if (valor.find('\'') == std::string::npos) return clave + "='" + valor + "'";
  std::string doblado;
  for (char c : valor) {
    if (c == '"') doblado += '"';
    doblado += c;
  }
  return clave + "=\"" + doblado + "\"";
}

DatosConexion LeeSemilla(const std::string& semilla) {
  DatosConexion d;
  std::string proveedor;
  bool odbc = false;
  for (const auto& [clave, valor] : db::LeePares(semilla)) {
    if (IgualSinCaso(clave, "Provider")) {
      proveedor = valor;
    } else if (IgualSinCaso(clave, "Data Source") || IgualSinCaso(clave, "Server")) {
      d.servidor = valor;
    } else if (IgualSinCaso(clave, "Initial Catalog") || IgualSinCaso(clave, "Database")) {
      d.baseDatos = valor;
    } else if (IgualSinCaso(clave, "User ID") || IgualSinCaso(clave, "UID")) {
      d.usuario = valor;
    } else if (IgualSinCaso(clave, "Password") || IgualSinCaso(clave, "PWD")) {
      d.clave = valor;
    } else if (IgualSinCaso(clave, "Integrated Security")) {
      d.seguridadIntegrada = IgualSinCaso(valor, "SSPI") || IgualSinCaso(valor, "true");
    } else if (IgualSinCaso(clave, "Driver") || IgualSinCaso(clave, "DSN")) {
      odbc = true;
    }
  }
  d.postgreSql = LeePostgreSql(semilla);
  if (IgualSinCaso(proveedor, "SQLite")) {
    d.clase = ClaseConexion::SQLite;
    d.archivoSQLite = d.servidor;
    d.servidor.clear();
  } else if (odbc) {
    d.clase = ClaseConexion::Odbc;
    d.cadenaOdbc = semilla;
  } else if (d.postgreSql) {
    d.clase = ClaseConexion::PostgreSql;
  }
  return d;
}

std::optional<DatosPostgreSql> LeePostgreSql(const std::string& cadena) {
  const auto pares = db::LeePares(cadena);
  bool nativa = false, psqlOdbc = false;
  for (const auto& [clave, valor] : pares) {
    if (EsClave(clave, {"Provider"}))
      nativa = EsClave(Recorta(valor), {"PostgreSQL", "Postgres"});
    else if (EsClave(clave, {"Driver"}))
      psqlOdbc = BuscaSinCaso(valor, "PostgreSQL") != std::string::npos;
  }
  if (!nativa && !psqlOdbc) return std::nullopt;
  DatosPostgreSql d;
  for (const auto& [clave, valor] : pares) {
    if (EsClave(clave, {"Data Source", "Server", "Servername", "Host"})) {
      d.servidor = valor;
    } else if (EsClave(clave, {"Port"})) {
      d.puerto = valor;
    } else if (EsClave(clave, {"Initial Catalog", "Database"})) {
      d.baseDatos = valor;
    } else if (EsClave(clave, {"User ID", "Uid", "Username", "User"})) {
      d.usuario = valor;
    } else if (EsClave(clave, {"Password", "Pwd"})) {
      d.clave = valor;
    } else if (EsClave(clave, {"Provider", "Driver"})) {
    } else if (nativa) {
      d.otros.emplace_back(clave, valor);
    } else if (EsClave(clave, {"SSLmode", "sslmode"})) {
      // a security setting; libpq knows it by this name, with the same values
      d.otros.emplace_back("sslmode", valor);
    }
  }
  return d;
}

std::string FaltaPostgreSql(const DatosPostgreSql& d) {
  if (EstaEnBlanco(d.servidor)) return "Falta el servidor de PostgreSQL.";
  if (EstaEnBlanco(d.baseDatos)) return "Falta la base de datos.";
  if (EstaEnBlanco(d.usuario)) return "Falta el usuario.";
  return "";
}

std::string DatoFaltante(const DatosConexion& d) {
  std::error_code ec;
  switch (d.clase) {
    case ClaseConexion::SqlServer:
      if (EstaEnBlanco(d.servidor)) return "Falta el nombre del servidor.";
      if (!d.seguridadIntegrada && EstaEnBlanco(d.usuario))
        return "Falta el usuario (o elija seguridad integrada).";
      return "";
    case ClaseConexion::PostgreSql:
      return FaltaPostgreSql(d.postgreSql.value_or(DatosPostgreSql{}));
    case ClaseConexion::SQLite:
      if (EstaEnBlanco(d.archivoSQLite)) return "Falta el archivo de la base de datos.";
      // Opening a missing file would make a new, empty database.
      if (!std::filesystem::is_regular_file(Recorta(d.archivoSQLite), ec))
        return "No existe el archivo " + Recorta(d.archivoSQLite) + ".";
      return "";
    case ClaseConexion::Odbc:
      return EstaEnBlanco(d.cadenaOdbc) ? "Falta la cadena de conexión ODBC." : "";
  }
  return "";
}

std::string ComponeCadena(const DatosConexion& d) {
  switch (d.clase) {
    case ClaseConexion::SqlServer: {
      std::vector<std::string> pares{"Provider=SQLOLEDB.1",
                                     ParConexion("Data Source", Recorta(d.servidor))};
      if (!EstaEnBlanco(d.baseDatos))
        pares.push_back(ParConexion("Initial Catalog", Recorta(d.baseDatos)));
      if (d.seguridadIntegrada) {
        pares.emplace_back("Integrated Security=SSPI");
      } else {
        pares.push_back(ParConexion("User ID", Recorta(d.usuario)));
        pares.push_back(ParConexion("Password", d.clave));
      }
      return Une(pares, ";");
    }
    case ClaseConexion::PostgreSql: {
      const DatosPostgreSql pg = d.postgreSql.value_or(DatosPostgreSql{});
      std::vector<std::string> pares{
          "Provider=PostgreSQL",
          ParConexion("Data Source", Recorta(pg.servidor)),
          ParConexion("Port", EstaEnBlanco(pg.puerto) ? kPuertoPostgreSql : Recorta(pg.puerto)),
          ParConexion("Initial Catalog", Recorta(pg.baseDatos)),
          ParConexion("User ID", Recorta(pg.usuario)),
          ParConexion("Password", pg.clave)};
      for (const auto& [clave, valor] : pg.otros) pares.push_back(ParConexion(clave, valor));
      return Une(pares, ";");
    }
    case ClaseConexion::SQLite:
      return "Provider=SQLite;" + ParConexion("Data Source", Recorta(d.archivoSQLite));
    case ClaseConexion::Odbc:
      return Recorta(d.cadenaOdbc);
  }
  return "";
}

}  // namespace varlo
