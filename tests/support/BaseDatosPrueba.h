#pragma once
// Fresh databases with the example schema (examples/schema) for tests.
//
//   std::string cadena = BaseDatosPrueba::SQLite(carpeta);   // a new SQLite file
//   BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql();      // a private schema
//   ... Conexion::Abre(pg.Cadena()) ...
//
// PostgreSQL needs VARLODI_PG_ODBC or VARLODI_PG_NATIVO (scripts/pg-cluster
// start prints both);
// without it the test fails, it is never skipped. Each PostgreSqL database is
// a schema of its own, dropped when the object goes, so test programs that
// run side by side never share tables.
#include <memory>
#include <string>
#include <vector>

namespace varlo::db {
class Conexion;
}

namespace varlo::prueba {

class BaseDatosPrueba {
 public:
  // Creates a new SQLite file in `carpeta` with the schema and returns its
  // "Conexion" string ("Provider=SQLite;Data Source=...").
  static std::string SQLite(const std::string& carpeta);

  // How the schema is reached: through psqlODBC (VARLODI_PG_ODBC) or
  // natively through libpq (VARLODI_PG_NATIVO).
  enum class Acceso { Odbc, Nativo };
  // Creates a schema with a unique name on the test server and loads the
  // schema into it.
  [[nodiscard]] static BaseDatosPrueba PostgreSql(Acceso acceso = Acceso::Odbc);

  BaseDatosPrueba(BaseDatosPrueba&&) noexcept;
  BaseDatosPrueba& operator=(BaseDatosPrueba&&) noexcept;
  ~BaseDatosPrueba();

  // The "Conexion" string of the schema (search_path set on connect).
  const std::string& Cadena() const { return cadena_; }
  const std::string& Esquema() const { return esquema_; }

  // The statements of a schema file, split at ';', comments left out.
  static std::vector<std::string> Sentencias(const std::string& archivo);
  // Path of examples/schema/<nombre>.
  static std::string ArchivoEsquema(const std::string& nombre);

 private:
  BaseDatosPrueba() = default;
  void Elimina() noexcept;

  std::unique_ptr<db::Conexion> admin_;
  std::string esquema_;
  std::string cadena_;
};

}  // namespace varlo::prueba
