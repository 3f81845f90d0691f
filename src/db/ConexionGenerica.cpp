#include "db/ConexionGenerica.h"

#include "common/ErrorVarlo.h"
#include "db/ErroresBD.h"
#include "db/RecordsetGenerico.h"

namespace varlo::db {

ConexionGenerica::ConexionGenerica(std::unique_ptr<Backend> backend)
    : backend_(std::move(backend)), dialecto_(CreaDialecto(backend_->MotorBD())) {}

int ConexionGenerica::State() const {
  return backend_->Abierta() ? 1 : 0;
}

void ConexionGenerica::CompruebaAbierta() const {
  if (!backend_->Abierta())
    throw ErrorVarlo(errores_bd::ObjetoCerrado, kFuenteBD,
                     "La operación no está permitida si el objeto está cerrado.");
}

void ConexionGenerica::Execute(const std::string& sql) {
  CompruebaAbierta();
  backend_->Ejecuta(SentenciaSql{sql, {}});
}

std::unique_ptr<Recordset> ConexionGenerica::AbreConsulta(const db::Consulta& consulta,
                                                          long maxRegistros) {
  CompruebaAbierta();
  ResultadoConsulta r = backend_->Consulta(dialecto_->Select(consulta), maxRegistros);
  return std::make_unique<RecordsetGenerico>(backend_, dialecto_, consulta, std::move(r));
}

std::vector<std::string> ConexionGenerica::TablasBase() {
  CompruebaAbierta();
  return backend_->TablasBase();
}

void ConexionGenerica::BeginTrans() {
  CompruebaAbierta();
  backend_->IniciaTransaccion();
}

void ConexionGenerica::CommitTrans() {
  CompruebaAbierta();
  backend_->ConfirmaTransaccion();
}

void ConexionGenerica::RollbackTrans() noexcept {
  if (backend_->Abierta()) backend_->DeshaceTransaccion();
}

bool ConexionGenerica::EnTransaccion() const {
  return backend_->Abierta() && backend_->EnTransaccion();
}

void ConexionGenerica::Close() {
  if (backend_->Abierta()) backend_->Cierra();
}

}  // namespace varlo::db
