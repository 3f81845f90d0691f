#include "common/ErrorVarlo.h"

namespace varlo {

ErrorVarlo::ErrorVarlo(long numero, std::string fuente, std::string descripcion)
    : std::runtime_error(descripcion),
      numero_(numero),
      fuente_(std::move(fuente)),
      descripcion_(std::move(descripcion)) {}

std::string DescripcionError(long numero) {
  switch (numero) {
    case errores::ArgumentoNoValido: return "Llamada a procedimiento o argumento no válidos";
    case errores::Desbordamiento: return "Desbordamiento";
    case errores::SubindiceFueraDeIntervalo: return "El subíndice está fuera del intervalo";
    case errores::TiposNoCoinciden: return "No coinciden los tipos";
    case errores::ArchivoNoEncontrado: return "No se encontró el archivo";
    case errores::RutaNoEncontrada: return "No se encontró la ruta de acceso";
    case errores::ElementoNoEncontrado:
      return "No se encontró el elemento en la colección que corresponde con el nombre o el "
             "ordinal pedido.";
    case errores::SinRegistroActual:
      return "BOF o EOF es True, o el registro actual se eliminó. La operación requiere un "
             "registro actual.";
    default: return "Error definido por la aplicación o por el objeto";
  }
}

void LanzaError(long numero) { throw ErrorVarlo(numero, kFuentePrograma, DescripcionError(numero)); }

void LanzaError(long numero, std::string descripcion) {
  throw ErrorVarlo(numero, kFuentePrograma, std::move(descripcion));
}

std::string LineaError(const ErrorVarlo& e) {
  return "[" + e.Fuente() + "] Error: " + std::to_string(e.Numero()) + " " + e.Descripcion();
}

}  // namespace varlo
