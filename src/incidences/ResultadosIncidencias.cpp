#include "incidences/ResultadosIncidencias.h"

namespace varlo {

void ResultadosIncidencias::Importado(const std::string& linea) {
  if (!Ok.Activo()) return;
  if (retener_)
    retenidas_.push_back({true, linea});
  else
    Ok.Escribe(linea);
}

void ResultadosIncidencias::Rechazado(const std::string& linea, const std::string& descripcion,
                                      long columna) {
  if (alRechazar_) alRechazar_();
  if (!Er.Activo()) return;
  if (retener_)
    retenidas_.push_back({false, LineaRechazo(linea, descripcion, columna)});
  else
    Er.Escribe(LineaRechazo(linea, descripcion, columna));
}

void ResultadosIncidencias::Escribe(const Retenidas& lineas) {
  for (const LineaRetenida& l : lineas) (l.importada ? Ok : Er).Escribe(l.texto);
}

std::string ResultadosIncidencias::LineaRechazo(const std::string& linea,
                                                const std::string& descripcion, long columna) {
  return linea + "(" + descripcion + "," + std::to_string(columna) + ")";
}

}  // namespace varlo
