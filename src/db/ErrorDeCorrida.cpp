#include "db/ErrorDeCorrida.h"

namespace varlo::db {

bool EsErrorDeCorrida(const ErrorVarlo& e) {
  (void)e;
  return false;
}

bool EsBloqueo(const ErrorVarlo& e) {
  (void)e;
  return false;
}

void RelanzaSiEsDeCorrida() {
  try {
    throw;
  } catch (const ErrorVarlo& e) {
    if (EsErrorDeCorrida(e)) throw;
  } catch (...) {
  }
}

}  // namespace varlo::db
