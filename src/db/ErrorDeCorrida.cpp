#include "db/ErrorDeCorrida.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "db/ErrorBaseDatos.h"

namespace varlo::db {

namespace {
std::mutex& MutexFin() {
  static std::mutex m;
  return m;
}
FinForzado& Fin() {
  static FinForzado fin;
  return fin;
}

// The class of the error being handled (the class travels with the object).
ErrorBaseDatos::Clase ClaseCapturada() {
  try {
    throw;
  } catch (const ErrorVarlo& e) {
    return ClaseDe(e);
  } catch (...) {
    return ErrorBaseDatos::Clase::Otro;
  }
}
}  // namespace

bool CapturadoEsDeCorrida() {
  return EsClaseDeCorrida(ClaseCapturada());
}

bool CapturadoEsBloqueo() {
  return ClaseCapturada() == ErrorBaseDatos::Clase::Bloqueo;
}

bool CapturadoEsTransaccionPerdida() {
  return ClaseCapturada() == ErrorBaseDatos::Clase::TransaccionPerdida;
}

void RelanzaSiEsDeCorrida() {
  const ErrorBaseDatos::Clase c = ClaseCapturada();
  if (EsClaseDeCorrida(c) || c == ErrorBaseDatos::Clase::TransaccionPerdida) throw;
}

void EstableceFinForzado(FinForzado fin) {
  std::lock_guard l(MutexFin());
  Fin() = std::move(fin);
}

void TerminaCorridaForzada(const ErrorVarlo& e) noexcept {
  // Taken for good: a second watchdog waits here until the process ends.
  MutexFin().lock();
  try {
    if (Fin())
      Fin()(e);
    else  // no front end said how: at least the error line, where a journal keeps it
      std::fprintf(stderr, "[%s] Error: %ld %s\n", e.Fuente().c_str(), e.Numero(),
                   e.Descripcion().c_str());
  } catch (...) {
    // the status still says the connection was lost
  }
  std::fflush(nullptr);
  std::_Exit(kSalidaConexionPerdida);
}

}  // namespace varlo::db
