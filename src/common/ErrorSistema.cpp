#include "common/ErrorSistema.h"

#include <cerrno>
#include <cstring>

namespace varlo {

std::string TextoErrorSistema(int numero) {
  switch (numero) {
    case EACCES:
      return "Permiso denegado";
    case EPERM:
      return "Operación no permitida";
    case ENOENT:
      return "No existe el archivo o el directorio";
    case ENOTDIR:
      return "No es un directorio";
    case EISDIR:
      return "Es un directorio";
    case EEXIST:
      return "El archivo ya existe";
    case EROFS:
      return "Sistema de archivos de sólo lectura";
    case ENOSPC:
      return "No queda espacio en el dispositivo";
    case EDQUOT:
      return "Se ha excedido la cuota de disco";
    case ENAMETOOLONG:
      return "Nombre de archivo demasiado largo";
    case ELOOP:
      return "Demasiados niveles de enlaces simbólicos";
    case EIO:
      return "Error de entrada/salida";
    case EBUSY:
      return "Dispositivo o recurso ocupado";
    default:
      return std::strerror(numero);
  }
}

ErrorVarlo ErrorDeSistema(int numero, const std::string& ruta) {
  long n = errores::ErrorAcceso;
  if (numero == EACCES || numero == EPERM || numero == EROFS)
    n = errores::PermisoDenegado;
  else if (numero == ENOENT || numero == ENOTDIR)
    n = errores::RutaNoEncontrada;
  else if (numero == ENOSPC || numero == EDQUOT)
    n = errores::DiscoLleno;
  return ErrorVarlo(n, kFuentePrograma, TextoErrorSistema(numero) + " (" + ruta + ")");
}

}  // namespace varlo
