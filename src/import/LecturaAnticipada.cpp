#include "import/LecturaAnticipada.h"

#include <utility>

namespace varlo {

LecturaAnticipada::LecturaAnticipada(LectorRegistros& lector, const DivisorLineas* divisor)
    : lector_(lector), divisor_(divisor), hilo_([this](std::stop_token alto) { Lector(alto); }) {}

void LecturaAnticipada::Lector(const std::stop_token& alto) {
  for (;;) {
    Tanda t;
    std::size_t bytes = 0;
    try {
      while (t.registros.size() < kRegistrosPorTanda && bytes < kBytesPorTanda) {
        if (alto.stop_requested()) return;
        if (lector_.AtEndOfStream()) {
          t.fin = true;
          break;
        }
        LineaLeida& r = t.registros.emplace_back(lector_.Lee());
        bytes += r.texto.size();
        if (divisor_ && !r.defecto) {
          try {
            divisor_->Divide(r.texto, r.valores);
            r.dividida = true;
            for (const std::string& v : r.valores) bytes += v.size();
          } catch (const ErrorVarlo&) {
            r.valores.clear();  // split again where it is processed, error and all
          }
        }
      }
    } catch (...) {
      // nothing is read after an error: the caller meets it in its place
      t.error = std::current_exception();
    }
    const bool ultima = t.fin || t.error;
    {
      std::unique_lock bloqueo(mutex_);
      if (!cambio_.wait(bloqueo, alto, [this] { return listas_.size() < kTandasAdelantadas; }))
        return;
      listas_.push_back(std::move(t));
    }
    cambio_.notify_all();
    if (ultima) return;
  }
}

void LecturaAnticipada::Espera() {
  while (siguiente_ >= servida_.registros.size() && !servida_.fin && !servida_.error) {
    {
      std::unique_lock bloqueo(mutex_);
      cambio_.wait(bloqueo, [this] { return !listas_.empty(); });
      servida_ = std::move(listas_.front());
      listas_.pop_front();
    }
    siguiente_ = 0;
    cambio_.notify_all();
  }
}

bool LecturaAnticipada::AlFinal() {
  Espera();
  return siguiente_ >= servida_.registros.size() && servida_.fin;
}

LineaLeida LecturaAnticipada::Lee() {
  Espera();
  if (siguiente_ < servida_.registros.size()) return std::move(servida_.registros[siguiente_++]);
  if (servida_.error) std::rethrow_exception(servida_.error);
  return {};
}

void LecturaAnticipada::Detiene() noexcept {
  if (!hilo_.joinable()) return;
  hilo_.request_stop();
  hilo_.join();
  listas_.clear();
  servida_ = Tanda{};
  servida_.fin = true;  // nothing more comes once the reader stopped
  siguiente_ = 0;
}

}  // namespace varlo
