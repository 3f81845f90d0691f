#pragma once
// The result files of the absence planning: the lines imported (one per
// day written) and the lines rejected, each followed by "(" reason ","
// column ")". A file is written only when its option started it.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "import/ResultadosTabla.h"

namespace varlo {

class ResultadosIncidencias : public ResultadosTabla {
 public:
  // `alRechazar` is told of every rejection, written or not (the exit status).
  explicit ResultadosIncidencias(std::function<void()> alRechazar)
      : alRechazar_(std::move(alRechazar)) {}

  // Raises the error of a line that cannot be written.
  void Importado(const std::string& linea) {
    if (Ok.Activo()) Anota({true, linea});
  }
  void Rechazado(const std::string& linea, const std::string& descripcion, long columna) {
    if (alRechazar_) alRechazar_();
    if (Er.Activo())
      Anota({false, linea + "(" + descripcion + "," + std::to_string(columna) + ")"});
  }

  // While held, the lines wait in memory until their batch committed;
  // TomaRetenidas hands them over and Escribe writes them in order.
  struct LineaRetenida {
    bool importada;
    std::string texto;
  };
  using Retenidas = std::vector<LineaRetenida>;
  void Retiene(bool retener) { retener_ = retener; }
  Retenidas TomaRetenidas() { return std::exchange(retenidas_, {}); }
  void Escribe(const Retenidas& lineas) {
    for (const LineaRetenida& l : lineas) (l.importada ? Ok : Er).Escribe(l.texto);
  }

 private:
  void Anota(LineaRetenida l) {
    if (retener_)
      retenidas_.push_back(std::move(l));
    else
      (l.importada ? Ok : Er).Escribe(l.texto);
  }

  std::function<void()> alRechazar_;
  bool retener_ = false;
  Retenidas retenidas_;
};

}  // namespace varlo
