#include "db/Conexion.h"

#include "common/ErrorVarlo.h"

namespace varlo::db {
std::unique_ptr<Conexion> Conexion::Abre(const std::string&) {
  throw ErrorVarlo(-1, "VarloDI", "sin capa de datos");
}
}  // namespace varlo::db
