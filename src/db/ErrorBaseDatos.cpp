#include "db/ErrorBaseDatos.h"

namespace varlo::db {

ErrorBaseDatos::Clase ClaseDe(const ErrorVarlo& e) {
  const auto* bd = dynamic_cast<const ErrorBaseDatos*>(&e);
  return bd ? bd->ClaseError() : ErrorBaseDatos::Clase::Otro;
}

bool EsClaseDeCorrida(ErrorBaseDatos::Clase c) {
  return c == ErrorBaseDatos::Clase::ConexionPerdida || c == ErrorBaseDatos::Clase::Bloqueo ||
         c == ErrorBaseDatos::Clase::Almacenamiento;
}

bool EsConexionPerdida(const ErrorVarlo& e) {
  return ClaseDe(e) == ErrorBaseDatos::Clase::ConexionPerdida;
}

bool EsBloqueo(const ErrorVarlo& e) {
  return ClaseDe(e) == ErrorBaseDatos::Clase::Bloqueo;
}

bool EsClaveDuplicada(const ErrorVarlo& e) {
  return ClaseDe(e) == ErrorBaseDatos::Clase::ClaveDuplicada;
}

void RelanzaConDescripcion(const ErrorVarlo& e, std::string descripcion) {
  if (dynamic_cast<const ErrorBaseDatos*>(&e))
    throw ErrorBaseDatos(e.Numero(), e.Fuente(), std::move(descripcion), ClaseDe(e));
  throw ErrorVarlo(e.Numero(), e.Fuente(), std::move(descripcion));
}

}  // namespace varlo::db
