#pragma once
// The two result files of a table (and of the absence planning, which
// holds its lines back): "_Ok.txt" gets each imported line as read,
// "_Er.txt" each rejected line followed by the reason, for a table as
// "(" reason ", Columna:" column ")". A file whose option is off is neither
// emptied nor written.
#include <cstdint>
#include <string>
#include <vector>

#include "common/ArchivoResultado.h"

namespace varlo {

struct Rechazo {
  std::string descripcion;
  std::int32_t columna = 0;
};

class ResultadosTabla {
 public:
  ArchivoResultado Ok;
  ArchivoResultado Er;

  // Empties the files whose option is on and keeps them open.
  void Inicia(const std::string& archivoEr, bool reporteEr, const std::string& archivoOk,
              bool reporteOk) {
    Cierra();
    if (reporteEr) Er.Inicia(archivoEr, Codificacion::Ansi);
    if (reporteOk) Ok.Inicia(archivoOk, Codificacion::Ansi);
  }
  // The encoding of the source file, for the lines that follow.
  void EstableceCodificacion(const Codificacion& c) {
    Er.EstableceCodificacion(c);
    Ok.EstableceCodificacion(c);
  }
  void Importado(const std::string& linea) {
    if (Ok.Activo()) Ok.Escribe(linea);
  }
  void Rechazado(const std::string& linea, const std::vector<Rechazo>& rechazos) {
    if (!Er.Activo()) return;
    for (const Rechazo& r : rechazos)
      Er.Escribe(linea + "(" + r.descripcion + ", Columna:" + std::to_string(r.columna) + ")");
  }
  // Writes the lines of the batch just reported.
  void Vacia() {
    Er.Vacia();
    Ok.Vacia();
  }
  void Cierra() { Ambos(&ArchivoResultado::Cierra); }
  // Closes both with their lines on disk, or raises an error.
  void CierraEnDisco() { Ambos(&ArchivoResultado::CierraEnDisco); }

 private:
  // Closes both files, whatever the first one did.
  void Ambos(void (ArchivoResultado::*cierra)()) {
    try {
      (Er.*cierra)();
    } catch (...) {
      Ok.Cierra();
      throw;
    }
    (Ok.*cierra)();
  }
};

}  // namespace varlo
