#include "incidences/ResultadosIncidencias.h"

namespace varlo {

void ResultadosIncidencias::Importado(const std::string& linea) {
  if (Ok.Activo()) Anota({true, linea});
}

void ResultadosIncidencias::Rechazado(const std::string& linea, const std::string& descripcion,
                                      long columna) {
  if (alRechazar_) alRechazar_();
  if (Er.Activo()) Anota({false, linea + "(" + descripcion + "," + std::to_string(columna) + ")"});
}

void ResultadosIncidencias::Anota(LineaRetenida l) {
  if (retener_)
    retenidas_.push_back(std::move(l));
  else
    (l.importada ? Ok : Er).Escribe(l.texto);
}

void ResultadosIncidencias::Escribe(const Retenidas& lineas) {
  for (const LineaRetenida& l : lineas) (l.importada ? Ok : Er).Escribe(l.texto);
}

}  // namespace varlo
