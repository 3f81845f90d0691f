#include "db/Conexion.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/CadenaConexion.h"
#include "db/ConexionGenerica.h"
#include "db/ErrorBaseDatos.h"
#include "db/odbc/ConexionOdbc.h"
#include "db/pq/ConexionPq.h"
#include "db/sqlite/ConexionSQLite.h"

namespace varlo::db {

namespace {

// A driver may repeat what it was given; the password never reaches a log line.
std::string SinClave(std::string texto, const std::string& cadena) {
  for (const auto& [clave, valor] : LeePares(cadena)) {
    bool esClave = IgualSinCaso(clave, "Password") || IgualSinCaso(clave, "PWD");
    // a very short password would blank out ordinary letters of the message
    if (!esClave || valor.size() < 3) continue;
    for (std::size_t p = texto.find(valor); p != std::string::npos; p = texto.find(valor, p + 3))
      texto.replace(p, valor.size(), "***");
  }
  return texto;
}

}  // namespace

std::unique_ptr<Conexion> Conexion::Abre(const std::string& cadena, const Esperas& esperas) {
  DestinoConexion destino = InterpretaCadena(cadena);
  try {
    std::unique_ptr<Backend> backend;
    if (destino.backend == TipoBackend::SQLite)
      backend = AbreSQLite(destino.rutaSQLite, esperas);
    else if (destino.backend == TipoBackend::PostgreSql)
      backend = AbrePq(destino.conninfo, OcultaClave(cadena), esperas);
    else
      backend = AbreOdbc(destino.cadenaOdbc, esperas);
    return std::make_unique<ConexionGenerica>(std::move(backend));
  } catch (const ErrorVarlo& e) {
    RelanzaConDescripcion(e, SinClave(e.Descripcion(), cadena));
  }
}

}  // namespace varlo::db
