#include "db/ErrorDeCorrida.h"

#include "db/ErrorBaseDatos.h"

namespace varlo::db {

bool EsErrorDeCorrida(const ErrorVarlo& e) {
  return EsConexionPerdida(e) || EsBloqueo(e);
}

bool CapturadoEsDeCorrida() {
  try {
    throw;
  } catch (const ErrorVarlo& e) {
    return EsErrorDeCorrida(e);
  } catch (...) {
    return false;
  }
}

bool CapturadoEsBloqueo() {
  try {
    throw;
  } catch (const ErrorVarlo& e) {
    return EsBloqueo(e);
  } catch (...) {
    return false;
  }
}

void RelanzaSiEsDeCorrida() {
  if (CapturadoEsDeCorrida()) throw;
}

}  // namespace varlo::db
