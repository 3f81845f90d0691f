#include "db/odbc/VigiaOdbc.h"

#include "db/ErrorBaseDatos.h"
#include "db/ErrorDeCorrida.h"
#include "db/odbc/ErrorOdbc.h"

namespace varlo::db::odbc {

VigiaOdbc::VigiaOdbc() : VigiaOdbc(Plazos{}) {}

VigiaOdbc::VigiaOdbc(Plazos plazos)
    : plazos_(plazos),
      cancelador_([this](std::stop_token st) { Cancelador(st); }),
      cortador_([this](std::stop_token st) { Cortador(st); }) {}

VigiaOdbc::~VigiaOdbc() {
  // The threads are told to stop (the condition variable wakes them) and joined.
  cancelador_.request_stop();
  cortador_.request_stop();
}

VigiaOdbc::Guardia VigiaOdbc::Vigila(Reloj::duration espera, std::string que,
                                     std::function<void()> cancela) {
  {
    std::lock_guard l(m_);
    armada_ = true;
    ++turno_;
    inicio_ = Reloj::now();
    espera_ = espera;
    que_ = std::move(que);
    cancela_ = std::move(cancela);
  }
  cv_.notify_all();
  return Guardia(*this);
}

void VigiaOdbc::Desarma() noexcept {
  {
    std::unique_lock l(m_);
    // A cancel under way still uses the statement handle: it must end
    // before the handle is used again or freed. Step 3 stays armed meanwhile.
    cv_.wait(l, [this] { return !cancelando_; });
    armada_ = false;
    cancela_ = nullptr;
  }
  cv_.notify_all();
}

void VigiaOdbc::EstableceCorte(std::function<void()> corta) {
  std::lock_guard l(m_);
  corta_ = std::move(corta);
}

bool VigiaOdbc::Cortada() const {
  std::lock_guard l(m_);
  return cortada_;
}

std::string VigiaOdbc::DescripcionCorte() const {
  std::lock_guard l(m_);
  return descripcionCorte_;
}

bool VigiaOdbc::SigueEn(std::unique_lock<std::mutex>& l, std::stop_token& st, std::uint64_t turno,
                        Reloj::time_point plazo) {
  const bool termino = cv_.wait_until(l, st, plazo, [&] { return !armada_ || turno_ != turno; });
  return !termino && !st.stop_requested();
}

void VigiaOdbc::Cancelador(std::stop_token st) {
  std::unique_lock l(m_);
  while (!st.stop_requested()) {
    if (!cv_.wait(l, st, [this] { return armada_; })) return;
    const std::uint64_t turno = turno_;
    if (SigueEn(l, st, turno, inicio_ + espera_ + plazos_.cancelacion) && cancela_) {
      std::function<void()> cancela = cancela_;
      cancelando_ = true;
      l.unlock();
      cancela();
      l.lock();
      cancelando_ = false;
      cv_.notify_all();
    }
    // the same call is not cancelled twice
    cv_.wait(l, st, [&] { return !armada_ || turno_ != turno; });
  }
}

void VigiaOdbc::Cortador(std::stop_token st) {
  std::unique_lock l(m_);
  while (!st.stop_requested()) {
    if (!cv_.wait(l, st, [this] { return armada_; })) return;
    const std::uint64_t turno = turno_;
    const Reloj::time_point corte = inicio_ + espera_ + plazos_.cancelacion + plazos_.corte;
    if (SigueEn(l, st, turno, corte)) {
      const auto segundos =
          std::chrono::duration_cast<std::chrono::seconds>(Reloj::now() - inicio_).count();
      descripcionCorte_ =
          "El servidor de base de datos no respondió en " + std::to_string(segundos) + " s (" +
          que_ + ", espera de " +
          std::to_string(std::chrono::duration_cast<std::chrono::seconds>(espera_).count()) +
          " s): se da por perdida la conexión";
      cortada_ = true;
      if (corta_) corta_();
      if (SigueEn(l, st, turno, corte + plazos_.fin)) {
        const ErrorBaseDatos error(NumeroDeEstado("HYT01"), "ODBC", descripcionCorte_,
                                   ErrorBaseDatos::Clase::ConexionPerdida);
        l.unlock();
        TerminaCorridaForzada(error);
      }
    }
    cv_.wait(l, st, [&] { return !armada_ || turno_ != turno; });
  }
}

}  // namespace varlo::db::odbc
