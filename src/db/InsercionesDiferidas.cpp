#include "db/InsercionesDiferidas.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "db/ErrorBaseDatos.h"

namespace varlo::db {

namespace {
// Rows per statement: few enough to keep far from any driver's limit of
// markers, many enough that the round trip no longer counts.
constexpr std::size_t kMarcasPorSentencia = 20000;
constexpr std::size_t kFilasPorSentencia = 500;
}  // namespace

InsercionesDiferidas::InsercionesDiferidas(std::unique_ptr<Backend> backend,
                                           std::shared_ptr<const Dialecto> dialecto)
    : backend_(std::move(backend)), dialecto_(std::move(dialecto)) {}

void InsercionesDiferidas::Activa(bool activa) {
  if (!activa) Escribe();
  activas_ = activa;
}

bool InsercionesDiferidas::Difiere(const std::string& tabla,
                                   const std::vector<std::pair<std::string, Valor>>& valores) {
  if (!activas_ || valores.empty()) return false;
  retenidas_.push_back({tabla, valores});
  return true;
}

bool InsercionesDiferidas::MismasColumnas(const Fila& a, const Fila& b) {
  if (a.tabla != b.tabla || a.valores.size() != b.valores.size()) return false;
  for (std::size_t i = 0; i < a.valores.size(); ++i)
    if (a.valores[i].first != b.valores[i].first) return false;
  return true;
}

void InsercionesDiferidas::Escribe() {
  if (retenidas_.empty()) return;
  std::vector<Fila> filas = std::move(retenidas_);
  retenidas_.clear();
  try {
    // Consecutive rows with the same columns go together, in file order.
    for (std::size_t desde = 0; desde < filas.size();) {
      const std::size_t porFila = filas[desde].valores.size();
      const std::size_t maximo =
          std::clamp<std::size_t>(kMarcasPorSentencia / porFila, 1, kFilasPorSentencia);
      std::size_t hasta = desde + 1;
      while (hasta < filas.size() && hasta - desde < maximo &&
             MismasColumnas(filas[desde], filas[hasta]))
        ++hasta;
      std::vector<std::vector<Valor>> valores;
      valores.reserve(hasta - desde);
      std::vector<std::string> columnas;
      for (const auto& [columna, v] : filas[desde].valores) columnas.push_back(columna);
      for (std::size_t i = desde; i < hasta; ++i) {
        std::vector<Valor> fila;
        fila.reserve(porFila);
        for (auto& [columna, v] : filas[i].valores) fila.push_back(std::move(v));
        valores.push_back(std::move(fila));
      }
      backend_->Ejecuta(dialecto_->InsertVarias(filas[desde].tabla, columnas, valores));
      desde = hasta;
    }
  } catch (const ErrorVarlo& e) {
    const ErrorBaseDatos::Clase clase = ClaseDe(e);
    if (clase == ErrorBaseDatos::Clase::ConexionPerdida || clase == ErrorBaseDatos::Clase::Bloqueo)
      throw;
    throw ErrorBaseDatos(e.Numero(), e.Fuente(), e.Descripcion(),
                         ErrorBaseDatos::Clase::LoteDiferido);
  }
}

ResultadoConsulta InsercionesDiferidas::Consulta(const SentenciaSql& s, long maxRegistros) {
  Escribe();
  return backend_->Consulta(s, maxRegistros);
}

long InsercionesDiferidas::Ejecuta(const SentenciaSql& s) {
  Escribe();
  return backend_->Ejecuta(s);
}

std::vector<std::string> InsercionesDiferidas::TablasBase() {
  Escribe();
  return backend_->TablasBase();
}

void InsercionesDiferidas::IniciaTransaccion() {
  Escribe();
  backend_->IniciaTransaccion();
}

void InsercionesDiferidas::ConfirmaTransaccion() {
  Escribe();
  backend_->ConfirmaTransaccion();
}

void InsercionesDiferidas::DeshaceTransaccion() noexcept {
  retenidas_.clear();
  backend_->DeshaceTransaccion();
}

void InsercionesDiferidas::Cierra() {
  retenidas_.clear();
  backend_->Cierra();
}

}  // namespace varlo::db
