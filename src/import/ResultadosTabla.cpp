#include "import/ResultadosTabla.h"

namespace varlo {

void ResultadosTabla::Inicia(const std::string& archivoEr, bool reporteEr,
                             const std::string& archivoOk, bool reporteOk) {
  Cierra();
  if (reporteEr) Er.Inicia(archivoEr, Codificacion::Ansi);
  if (reporteOk) Ok.Inicia(archivoOk, Codificacion::Ansi);
}

void ResultadosTabla::Rechazado(const std::string& linea, const std::vector<Rechazo>& rechazos) {
  if (!Er.Activo()) return;
  for (const Rechazo& r : rechazos)
    Er.Escribe(linea + "(" + r.descripcion + ", Columna:" + std::to_string(r.columna) + ")");
}

void ResultadosTabla::Ambos(void (ArchivoResultado::*cierra)()) {
  try {
    (Er.*cierra)();
  } catch (...) {
    Ok.Cierra();
    throw;
  }
  (Ok.*cierra)();
}

}  // namespace varlo
