#include "import/ResultadosTabla.h"

namespace varlo {

std::string LineaRechazo(const std::string& linea, const std::string& descripcion,
                         std::int32_t columna) {
  return linea + "(" + descripcion + ", Columna:" + std::to_string(columna) + ")";
}

void ResultadosTabla::Inicia(const std::string& archivoEr, bool reporteEr,
                             const std::string& archivoOk, bool reporteOk) {
  Cierra();
  if (reporteEr) er_.Inicia(archivoEr, Codificacion::Ansi);
  if (reporteOk) ok_.Inicia(archivoOk, Codificacion::Ansi);
}

void ResultadosTabla::EstableceCodificacion(const Codificacion& c) {
  er_.EstableceCodificacion(c);
  ok_.EstableceCodificacion(c);
}

void ResultadosTabla::Importado(const std::string& linea) {
  if (ok_.Activo()) ok_.Escribe(linea);
}

void ResultadosTabla::Rechazado(const std::string& linea, const std::vector<Rechazo>& rechazos) {
  if (!er_.Activo()) return;
  for (const Rechazo& r : rechazos) er_.Escribe(LineaRechazo(linea, r.descripcion, r.columna));
}

void ResultadosTabla::Vacia() {
  er_.Vacia();
  ok_.Vacia();
}

void ResultadosTabla::CierraEnDisco() {
  try {
    er_.CierraEnDisco();
  } catch (...) {
    ok_.Cierra();
    throw;
  }
  ok_.CierraEnDisco();
}

void ResultadosTabla::Cierra() {
  // both files are closed, whatever the first one did
  try {
    er_.Cierra();
  } catch (...) {
    ok_.Cierra();
    throw;
  }
  ok_.Cierra();
}

}  // namespace varlo
