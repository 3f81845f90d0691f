#include "common/ErrorVarlo.h"

#include <new>

namespace varlo {

ErrorVarlo::ErrorVarlo(long numero, std::string fuente, std::string descripcion)
    : std::runtime_error(descripcion),
      numero_(numero),
      fuente_(std::move(fuente)),
      descripcion_(std::move(descripcion)) {}

std::string DescripcionError(long numero) {
  switch (numero) {
    case errores::ArgumentoNoValido:
      return "Llamada a procedimiento o argumento no válidos";
    case errores::Desbordamiento:
      return "Desbordamiento";
    case errores::MemoriaInsuficiente:
      return "Memoria insuficiente";
    case errores::SubindiceFueraDeIntervalo:
      return "El subíndice está fuera del intervalo";
    case errores::TiposNoCoinciden:
      return "No coinciden los tipos";
    case errores::NombreArchivoIncorrecto:
      return "Nombre o número de archivo incorrecto";
    case errores::ArchivoNoEncontrado:
      return "No se encontró el archivo";
    case errores::ErrorEntradaSalida:
      return "Error de E/S de dispositivo";
    case errores::DiscoLleno:
      return "Disco lleno";
    case errores::PermisoDenegado:
      return "Permiso denegado";
    case errores::ErrorAcceso:
      return "Error de acceso a la ruta o el archivo";
    case errores::RutaNoEncontrada:
      return "No se encontró la ruta de acceso";
    case errores::VariableObjeto:
      return "Variable de objeto o bloque With no establecido";
    case errores::UsoNoValidoDeNull:
      return "Uso no válido de Null";
    case errores::ImagenNoValida:
      return "Imagen no válida";
    case errores::ElementoNoEncontrado:
      return "No se encontró el elemento en la colección que corresponde con el nombre o el "
             "ordinal pedido.";
    case errores::SinRegistroActual:
      return "BOF o EOF es True, o el registro actual se eliminó. La operación requiere un "
             "registro actual.";
    default:
      return "Error definido por la aplicación o por el objeto";
  }
}

void LanzaError(long numero) {
  throw ErrorVarlo(numero, kFuentePrograma, DescripcionError(numero));
}

void LanzaError(long numero, std::string descripcion) {
  throw ErrorVarlo(numero, kFuentePrograma, std::move(descripcion));
}

void LanzaErrorEn(long numero, const std::string& detalle) {
  throw ErrorVarlo(numero, kFuentePrograma, DescripcionError(numero) + " (" + detalle + ")");
}

ErrorVarlo ErrorCapturado() {
  try {
    throw;
  } catch (const ErrorVarlo& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return ErrorVarlo(errores::MemoriaInsuficiente, kFuentePrograma,
                      DescripcionError(errores::MemoriaInsuficiente));
  } catch (const std::exception& e) {
    return ErrorVarlo(errores::ExcepcionAjena, kFuentePrograma, e.what());
  } catch (...) {
    return ErrorVarlo(errores::ExcepcionAjena, kFuentePrograma, DescripcionError(0));
  }
}

std::string TextoError(const ErrorVarlo& e) {
  return "Error " + std::to_string(e.Numero()) + ": " + e.Descripcion();
}

std::string LineaError(const ErrorVarlo& e) {
  return "[" + e.Fuente() + "] Error: " + std::to_string(e.Numero()) + " " + e.Descripcion();
}

}  // namespace varlo
