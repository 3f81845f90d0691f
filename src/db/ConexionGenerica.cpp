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

bool ConexionGenerica::TieneLocalizador(const std::string& tabla) {
  if (dialecto_->ColumnasLocalizador() == 0) return false;
  const std::string tablaSql = dialecto_->Identificador(tabla);
  if (auto it = localizadores_.find(tablaSql); it != localizadores_.end()) return it->second;
  std::optional<bool> tiene = backend_->TieneLocalizador(tablaSql);
  if (!tiene) return false;  // asked again once the table exists
  return localizadores_.emplace(tablaSql, *tiene).first->second;
}

std::unique_ptr<Recordset> ConexionGenerica::AbreConsulta(const db::Consulta& consulta,
                                                          long maxRegistros) {
  CompruebaAbierta();
  // Every row read carries its locator, so that its update reaches that row only.
  const bool conLocalizador = TieneLocalizador(consulta.tabla);
  ResultadoConsulta r = backend_->Consulta(
      conLocalizador ? dialecto_->SelectConLocalizador(consulta) : dialecto_->Select(consulta),
      maxRegistros);
  return std::make_unique<RecordsetGenerico>(backend_, dialecto_, consulta, std::move(r),
                                             conLocalizador);
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
