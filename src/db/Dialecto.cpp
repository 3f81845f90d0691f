#include "db/Dialecto.h"

#include "db/Dialectos.h"

namespace varlo::db {

std::unique_ptr<Dialecto> CreaDialecto(Motor motor) {
  if (motor == Motor::SqlServer) return CreaDialectoSqlServer();
  return CreaDialectoConParametros(motor);
}

}  // namespace varlo::db
