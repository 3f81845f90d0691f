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
  void Importado(const std::string& linea) { Retiene(true, Ok.Activo() ? linea : std::string()); }
  void Rechazado(const std::string& linea, const std::string& descripcion, long columna) {
    Retiene(false, Er.Activo() ? linea + "(" + descripcion + "," + std::to_string(columna) + ")"
                               : std::string());
  }

  // TomaRetenidas hands the held lines over; Escribe writes them in order,
  // raising the error of a line that cannot be written.
  struct LineaRetenida {
    bool importada;
    std::string texto;
    long veces;  // the same result, day after day
  };
  using Retenidas = std::vector<LineaRetenida>;
  Retenidas TomaRetenidas() { return std::exchange(retenidas_, {}); }
  void Escribe(const Retenidas& lineas) {
    for (const LineaRetenida& l : lineas) {
      ArchivoResultado& archivo = l.importada ? Ok : Er;
      for (long i = 0; i < l.veces && archivo.Activo(); ++i) archivo.Escribe(l.texto);
    }
  }

 private:
  // A line's days mostly give the same result: held once with its count,
  // a range of years costs no more memory than a day.
  void Retiene(bool importada, std::string texto) {
    if (retenidas_.empty() || retenidas_.back().importada != importada ||
        retenidas_.back().texto != texto)
      retenidas_.push_back({importada, std::move(texto), 0});
    ++retenidas_.back().veces;
  }
  Retenidas retenidas_;
};

}  // namespace varlo
