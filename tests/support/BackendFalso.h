#pragma once
// A backend without a database, for tests of the layers above one: always
// open, inside a transaction that nothing undoes, every row with a locator.
// A test overrides what it watches (the statements, the engine).
#include <optional>
#include <string>
#include <vector>

#include "db/Backend.h"

namespace varlo::prueba {

class BackendFalso : public db::Backend {
 public:
  db::Motor MotorBD() const override { return db::Motor::SQLite; }
  bool Abierta() const override { return true; }
  db::ResultadoConsulta Consulta(const db::SentenciaSql&, long) override { return {}; }
  long Ejecuta(const db::SentenciaSql&) override { return 0; }
  std::vector<std::string> TablasBase() override { return {}; }
  void IniciaTransaccion() override {}
  void ConfirmaTransaccion() override {}
  void DeshaceTransaccion() noexcept override {}
  bool EnTransaccion() const override { return true; }
  std::optional<bool> TieneLocalizador(const std::string&) override { return true; }
  void Cierra() override {}
};

}  // namespace varlo::prueba
