#pragma once
// SQLite playing a server that, at the INSERTs the test chooses, rolls the
// whole transaction back and fails the statement with an error of the class
// the test gives (a deadlock victim, a serialization failure). The test is
// told the INSERT's number and the rows its transaction would hold with it
// (two values per row, as in the tables these tests write).
#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/Backend.h"
#include "db/Conexion.h"
#include "db/ConexionGenerica.h"
#include "db/ErrorBaseDatos.h"
#include "db/sqlite/ConexionSQLite.h"

namespace varlo::prueba {

class ServidorQueDeshace final : public db::Backend {
 public:
  using Clase = db::ErrorBaseDatos::Clase;
  using Falla = std::function<std::optional<Clase>(int insercion, std::size_t filas)>;
  ServidorQueDeshace(std::unique_ptr<db::Backend> sqlite, db::Motor motor, Falla falla)
      : sqlite_(std::move(sqlite)), motor_(motor), falla_(std::move(falla)) {}

  db::Motor MotorBD() const override { return motor_; }
  bool Abierta() const override { return sqlite_->Abierta(); }
  db::ResultadoConsulta Consulta(const db::SentenciaSql& s, long maxRegistros) override {
    return sqlite_->Consulta(s, maxRegistros);
  }
  long Ejecuta(const db::SentenciaSql& s) override {
    if (s.texto.starts_with("insert") && sqlite_->EnTransaccion()) {
      filas_ += std::max<std::size_t>(1, s.parametros.size() / 2);
      if (auto clase = falla_(++inserciones_, filas_)) {
        sqlite_->DeshaceTransaccion();
        throw db::ErrorBaseDatos(-2147467259, "Servidor", "Transacción elegida como víctima",
                                 *clase);
      }
    }
    return sqlite_->Ejecuta(s);
  }
  std::vector<std::string> TablasBase() override { return sqlite_->TablasBase(); }
  void IniciaTransaccion() override {
    filas_ = 0;
    sqlite_->IniciaTransaccion();
  }
  void ConfirmaTransaccion() override { sqlite_->ConfirmaTransaccion(); }
  void DeshaceTransaccion() noexcept override { sqlite_->DeshaceTransaccion(); }
  bool EnTransaccion() const override { return sqlite_->EnTransaccion(); }
  std::optional<bool> TieneLocalizador(const std::string& t) override {
    return sqlite_->TieneLocalizador(t);
  }
  std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& partes) override {
    return sqlite_->NombreCatalogo(partes);
  }
  void Cierra() override { sqlite_->Cierra(); }

 private:
  std::unique_ptr<db::Backend> sqlite_;
  db::Motor motor_;
  Falla falla_;
  int inserciones_ = 0;
  std::size_t filas_ = 0;  // written by the open transaction
};

// The SQLite database of `cadena` ("Provider=SQLite;Data Source=PATH") behind
// that server, reported as `motor`.
inline std::unique_ptr<db::Conexion> AbreServidorQueDeshace(const std::string& cadena,
                                                            db::Motor motor,
                                                            ServidorQueDeshace::Falla falla) {
  const std::string ruta = cadena.substr(cadena.find("Data Source=") + 12);
  return std::make_unique<db::ConexionGenerica>(
      std::make_unique<ServidorQueDeshace>(db::AbreSQLite(ruta), motor, std::move(falla)));
}

}  // namespace varlo::prueba
