#include "db/ConexionGenerica.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "db/DialectoBase.h"
#include "db/ErroresBD.h"
#include "db/RecordsetGenerico.h"

namespace varlo::db {

ConexionGenerica::ConexionGenerica(std::unique_ptr<Backend> backend)
    : dialecto_(CreaDialecto(backend->MotorBD())),
      backend_(std::make_shared<EscriturasDiferidas>(std::move(backend), dialecto_)) {}

// Where a statement costs more than a record's own work: a round trip to
// PostgreSQL, a statement of its own in SQLite.
void ConexionGenerica::DifiereInserciones(bool activa) {
  const Motor m = backend_->MotorBD();
  backend_->Activa(activa && (m == Motor::PostgreSql || m == Motor::SQLite));
}

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
  anticipadas_.Olvida();
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
  if (auto r = anticipadas_.Toma(consulta))
    return std::make_unique<RecordsetGenerico>(backend_, dialecto_, consulta, std::move(*r),
                                               conLocalizador);
  ResultadoConsulta r = backend_->Consulta(
      conLocalizador ? dialecto_->SelectConLocalizador(consulta) : dialecto_->Select(consulta),
      maxRegistros);
  return std::make_unique<RecordsetGenerico>(backend_, dialecto_, consulta, std::move(r),
                                             conLocalizador);
}

bool ConexionGenerica::AnticipaBusquedas(const Consulta& modelo) const {
  if (modelo.condiciones.size() != 1) return false;
  const ClaseLiteral clase = modelo.condiciones[0].clase;
  return (clase == ClaseLiteral::Texto || clase == ClaseLiteral::Numero) &&
         dialecto_->SelectVarias(modelo, {Valor{std::string()}}, false).has_value();
}

void ConexionGenerica::Anticipa(const Consulta& modelo, const std::vector<Valor>& llaves) {
  CompruebaAbierta();
  anticipadas_.Olvida();
  if (!AnticipaBusquedas(modelo)) return;
  // Values its own lookup would refuse are left to it, with its reason.
  std::vector<Valor> validas;
  Predicado p = modelo.condiciones[0];
  for (const Valor& v : llaves) {
    p.valor = v;
    try {
      validas.push_back(ValorDeCondicion(p));
    } catch (const ErrorVarlo&) {
    }
  }
  if (validas.empty()) return;
  const bool conLocalizador = TieneLocalizador(modelo.tabla);
  constexpr std::size_t kPorConsulta = 1000;  // well below any limit of markers per statement
  ResultadoConsulta todas;
  for (std::size_t desde = 0; desde < validas.size(); desde += kPorConsulta) {
    const std::vector<Valor> parte(validas.begin() + static_cast<std::ptrdiff_t>(desde),
                                   validas.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                         validas.size(), desde + kPorConsulta)));
    ResultadoConsulta r =
        backend_->Consulta(*dialecto_->SelectVarias(modelo, parte, conLocalizador), 0);
    if (todas.campos.empty()) todas.campos = std::move(r.campos);
    for (auto& fila : r.filas) todas.filas.push_back(std::move(fila));
  }
  anticipadas_.Llena(modelo, validas, std::move(todas),
                     conLocalizador ? dialecto_->ColumnasLocalizador() : 0);
}

std::vector<std::string> ConexionGenerica::TablasBase() {
  CompruebaAbierta();
  return backend_->TablasBase();
}

void ConexionGenerica::BeginTrans() {
  CompruebaAbierta();
  anticipadas_.Olvida();
  backend_->IniciaTransaccion();
}

void ConexionGenerica::CommitTrans() {
  CompruebaAbierta();
  anticipadas_.Olvida();
  backend_->ConfirmaTransaccion();
}

void ConexionGenerica::RollbackTrans() noexcept {
  anticipadas_.Olvida();
  if (backend_->Abierta()) backend_->DeshaceTransaccion();
}

bool ConexionGenerica::EnTransaccion() const {
  return backend_->Abierta() && backend_->EnTransaccion();
}

void ConexionGenerica::Close() {
  anticipadas_.Olvida();
  if (backend_->Abierta()) backend_->Cierra();
}

}  // namespace varlo::db
