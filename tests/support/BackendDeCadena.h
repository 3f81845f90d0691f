#pragma once
// The backend a "Conexion" string opens (libpq or ODBC), without the layers
// above it, for the database layer's tests.
#include <memory>
#include <string>

#include "db/Backend.h"
#include "db/CadenaConexion.h"
#include "db/Esperas.h"
#include "db/odbc/ConexionOdbc.h"
#include "db/pq/ConexionPq.h"

namespace varlo::prueba {

inline std::unique_ptr<db::Backend> AbreBackend(const std::string& cadena,
                                                const db::Esperas& esperas = {}) {
  const db::DestinoConexion d = db::InterpretaCadena(cadena);
  if (d.backend == db::TipoBackend::PostgreSql)
    return db::AbrePq(d.conninfo, db::OcultaClave(cadena), esperas);
  return db::AbreOdbc(d.cadenaOdbc, esperas);
}

}  // namespace varlo::prueba
