#include "incidences/ResultadosIncidencias.h"

namespace varlo {

void ResultadosIncidencias::EstableceCodificacion(Codificacion c) {
  Ok.EstableceCodificacion(c);
  Er.EstableceCodificacion(c);
}

void ResultadosIncidencias::Importado(const std::string& linea) {
  if (Ok.Activo()) Ok.Escribe(linea);
}

void ResultadosIncidencias::Rechazado(const std::string& linea, const std::string& descripcion,
                                      long columna) {
  if (alRechazar_) alRechazar_();
  if (Er.Activo()) Er.Escribe(LineaRechazo(linea, descripcion, columna));
}

std::string ResultadosIncidencias::LineaRechazo(const std::string& linea,
                                                const std::string& descripcion, long columna) {
  return linea + "(" + descripcion + "," + std::to_string(columna) + ")";
}

}  // namespace varlo
