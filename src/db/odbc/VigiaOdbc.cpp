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
  bool despierta = false;
  {
    std::lock_guard l(m_);
    armada_ = true;
    ++turno_;
    inicio_ = Reloj::now();
    espera_ = espera;
    que_ = std::move(que);
    cancela_ = std::move(cancela);
    // Calls follow each other by the thousand: the threads are only woken
    // when they would otherwise look too late (idle, or asleep until a
    // later step of an earlier call); else they see the new call when they wake.
    despierta = despiertaCancelador_ > inicio_ + espera_ + plazos_.cancelacion ||
                despiertaCortador_ > inicio_ + espera_ + plazos_.cancelacion + plazos_.corte;
  }
  if (despierta) cv_.notify_all();
  return Guardia(*this);
}

void VigiaOdbc::Desarma() noexcept {
  std::unique_lock l(m_);
  // A cancel under way still uses the statement handle: it must end
  // before the handle is used again or freed. Step 3 stays armed meanwhile.
  cv_.wait(l, [this] { return !cancelando_; });
  armada_ = false;
  cancela_ = nullptr;
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
  cv_.wait_until(l, st, plazo, [&] { return !armada_ || turno_ != turno; });
  return armada_ && turno_ == turno && Reloj::now() >= plazo && !st.stop_requested();
}

// Each thread sleeps until the step of the call being watched, and wakes at
// the latest then: a call that ended meanwhile is seen at that moment and
// the thread goes on with whatever call is watched now.
void VigiaOdbc::Cancelador(std::stop_token st) {
  std::unique_lock l(m_);
  std::uint64_t atendido = 0;  // the last call cancelled: never twice
  while (!st.stop_requested()) {
    if (!armada_ || turno_ == atendido) {
      despiertaCancelador_ = Reloj::time_point::max();
      cv_.wait(l, st, [&] { return armada_ && turno_ != atendido; });
      continue;
    }
    const std::uint64_t turno = turno_;
    despiertaCancelador_ = inicio_ + espera_ + plazos_.cancelacion;
    if (!SigueEn(l, st, turno, despiertaCancelador_)) continue;
    atendido = turno;
    if (!cancela_) continue;
    std::function<void()> cancela = cancela_;
    cancelando_ = true;
    l.unlock();
    cancela();
    l.lock();
    cancelando_ = false;
    cv_.notify_all();
  }
}

void VigiaOdbc::Cortador(std::stop_token st) {
  std::unique_lock l(m_);
  while (!st.stop_requested()) {
    if (!armada_ || cortada_) {
      despiertaCortador_ = Reloj::time_point::max();
      cv_.wait(l, st, [&] { return armada_ && !cortada_; });
      continue;
    }
    const std::uint64_t turno = turno_;
    const Reloj::time_point corte = inicio_ + espera_ + plazos_.cancelacion + plazos_.corte;
    despiertaCortador_ = corte;
    if (!SigueEn(l, st, turno, corte)) continue;
    const auto segundos =
        std::chrono::duration_cast<std::chrono::seconds>(Reloj::now() - inicio_).count();
    descripcionCorte_ =
        "El servidor de base de datos no respondió en " + std::to_string(segundos) + " s (" + que_ +
        ", espera de " +
        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(espera_).count()) +
        " s): se da por perdida la conexión";
    cortada_ = true;
    if (corta_) corta_();
    despiertaCortador_ = corte + plazos_.fin;
    if (SigueEn(l, st, turno, despiertaCortador_)) {
      const ErrorBaseDatos error(NumeroDeEstado("HYT01"), "ODBC", descripcionCorte_,
                                 ErrorBaseDatos::Clase::ConexionPerdida);
      l.unlock();
      TerminaCorridaForzada(error);
    }
  }
}

}  // namespace varlo::db::odbc
