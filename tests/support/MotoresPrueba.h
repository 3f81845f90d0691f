#pragma once
// The databases every engine-wide test body runs on: SQLite, PostgreSQL
// natively (libpq) and PostgreSQL through psqlODBC (the ODBC path SQL
// Server takes too). One list, so that each case has one body.
#include <gtest/gtest.h>

#include <string>

#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

enum class MotorPrueba { SQLite, PostgreSql, PostgreSqlOdbc };

inline auto TodosLosMotores() {
  return ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql,
                           MotorPrueba::PostgreSqlOdbc);
}

inline std::string NombreDeMotor(MotorPrueba m) {
  switch (m) {
    case MotorPrueba::SQLite:
      return "SQLite";
    case MotorPrueba::PostgreSql:
      return "PostgreSql";
    case MotorPrueba::PostgreSqlOdbc:
      return "PostgreSqlOdbc";
  }
  return "?";
}

inline std::string NombreMotor(const ::testing::TestParamInfo<MotorPrueba>& i) {
  return NombreDeMotor(i.param);
}

// A fresh database of that engine with the example schema: its "Conexion"
// string; `pg` keeps a PostgreSQL schema alive (SQLite: a file in `carpeta`).
inline std::string BaseDe(MotorPrueba m, const std::string& carpeta,
                          std::unique_ptr<BaseDatosPrueba>& pg) {
  if (m == MotorPrueba::SQLite) return BaseDatosPrueba::SQLite(carpeta);
  pg = std::make_unique<BaseDatosPrueba>(
      BaseDatosPrueba::PostgreSql(m == MotorPrueba::PostgreSql ? BaseDatosPrueba::Acceso::Nativo
                                                               : BaseDatosPrueba::Acceso::Odbc));
  return pg->Cadena();
}

}  // namespace varlo::prueba
