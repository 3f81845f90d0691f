#include "db/ErrorDeCorrida.h"

#include "db/ErrorBaseDatos.h"

namespace varlo::db {

namespace {
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

bool CapturadoEsDelLote() {
  return ClaseCapturada() == ErrorBaseDatos::Clase::LoteDiferido;
}

bool CapturadoEsTransaccionPerdida() {
  return ClaseCapturada() == ErrorBaseDatos::Clase::TransaccionPerdida;
}

void RelanzaSiEsDeCorrida() {
  const ErrorBaseDatos::Clase c = ClaseCapturada();
  if (EsClaseDeCorrida(c) || c == ErrorBaseDatos::Clase::LoteDiferido ||
      c == ErrorBaseDatos::Clase::TransaccionPerdida)
    throw;
}

}  // namespace varlo::db
