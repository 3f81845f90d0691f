#pragma once
// The result files of the absence planning: the lines imported (one per
// day written) and the lines rejected, each followed by "(" reason ","
// column ")". A file is written only when its option started it; its lines
// wait in memory until their batch committed.
#include <string>
#include <utility>
#include <vector>

#include "import/ResultadosTabla.h"

namespace varlo {

class ResultadosIncidencias : public ResultadosTabla {
 public:
  // Every result is held, its text only where its file is on: the counts
  // of the summary and of --max-rechazos come from what is held.
  void Importado(const std::string& linea) {
    retenidas_.push_back({true, Ok.Activo() ? linea : std::string()});
  }
  void Rechazado(const std::string& linea, const std::string& descripcion, long columna) {
    retenidas_.push_back(
        {false, Er.Activo() ? linea + "(" + descripcion + "," + std::to_string(columna) + ")"
                            : std::string()});
  }

  // TomaRetenidas hands the held lines over; Escribe writes them in order,
  // raising the error of a line that cannot be written.
  struct LineaRetenida {
    bool importada;
    std::string texto;
  };
  using Retenidas = std::vector<LineaRetenida>;
  Retenidas TomaRetenidas() { return std::exchange(retenidas_, {}); }
  void Escribe(const Retenidas& lineas) {
    for (const LineaRetenida& l : lineas) {
      ArchivoResultado& archivo = l.importada ? Ok : Er;
      if (archivo.Activo()) archivo.Escribe(l.texto);
    }
  }

 private:
  Retenidas retenidas_;
};

}  // namespace varlo
