#include "app/TextoFin.h"

namespace varlo {

std::string TextoFin(int estado) {
  switch (estado) {
    case 0:
      return "...Importación terminada!";
    case 1:
      return "...Importación terminada con registros rechazados";
    case 4:
      return "...Importación terminada con errores";
    case 3:
      return "...Importación detenida: sin conexión con la base de datos";
    case 5:
      return "...No se importó nada: otra corrida usa la misma carpeta";
    case 129:
    case 130:
    case 143:
      return "...Importación interrumpida";
    default:
      return "...Importación detenida por un error";
  }
}

}  // namespace varlo
