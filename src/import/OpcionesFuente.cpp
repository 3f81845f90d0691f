#include "import/OpcionesFuente.h"

#include "common/Texto.h"

namespace varlo {

OpcionesFuente LeeOpcionesFuente(const LectorDefiniciones& ini, const std::string& seccion) {
  OpcionesFuente o;
  const std::string nombre = Recorta(ini.Texto(seccion, "Codificacion", ""));
  if (!nombre.empty()) {
    o.codificacion = CodificacionPorNombre(nombre);
    if (!o.codificacion)
      o.problema = "Codificación no soportada (" + nombre +
                   "): use UTF-8, Windows-1252 u otro nombre que conozca iconv "
                   "(ISO-8859-1, CP850, UTF-16...)";
  }
  o.lineasEncabezado = ini.Numero32(seccion, "LineasEncabezado", "0");
  if (o.lineasEncabezado < 0)
    o.problema =
        "LineasEncabezado no puede ser negativo (" + std::to_string(o.lineasEncabezado) + ")";
  o.comillas = ini.Texto(seccion, "Comillas", "");
  if (AvanzaCaracteres(o.comillas, 0, 1) < o.comillas.size())
    o.problema = "Comillas debe ser un solo carácter (" + o.comillas + ")";
  return o;
}

}  // namespace varlo
