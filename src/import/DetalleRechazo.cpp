#include "import/DetalleRechazo.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/TiposAdo.h"

namespace varlo {

std::string DetalleRechazo(const std::string& campo, const std::string& valor, int tipoAdo,
                           long tamanoDefinido, long numero, const std::string& mascara) {
  std::string que;
  if (db::EsTipoFecha(tipoAdo)) {
    // error 5: a day the calendar does not have (or a mask without a letter)
    que = numero == errores::ArgumentoNoValido ? "con la máscara " + mascara
                                               : "no es una fecha " + mascara;
  } else if (numero == errores::ArgumentoNoValido) {
    return "";  // a refusal of the record (a key that cannot be NULL), not of the value's form
  } else if (db::EsTipoNumerico(tipoAdo)) {
    que = numero == errores::Desbordamiento ? "está fuera del intervalo de la columna"
                                            : "no es un número";
  } else if (db::EsTipoTexto(tipoAdo) && numero == errores::DatosTruncados) {
    que = "pasa de los " + std::to_string(tamanoDefinido) + " caracteres de la columna";
  } else {
    return "";
  }
  return QuitaCorchetes(campo) + "='" + Recorta(valor) + "' " + que;
}

}  // namespace varlo
