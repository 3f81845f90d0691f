#pragma once
// The two result files of the absence planning: the lines imported (one per
// day written) and the lines rejected, each followed by "(" reason ","
// column ")". A file is written only when its option started it.
#include <functional>
#include <string>

#include "common/ArchivoResultado.h"

namespace varlo {

class ResultadosIncidencias {
 public:
  // `alRechazar` is told of every rejection, written or not (the exit status).
  explicit ResultadosIncidencias(std::function<void()> alRechazar)
      : alRechazar_(std::move(alRechazar)) {}

  ArchivoResultado Ok;
  ArchivoResultado Er;

  // Result files follow the encoding of the source file.
  void EstableceCodificacion(Codificacion c);

  // Raises the error of a line that cannot be written.
  void Importado(const std::string& linea);
  void Rechazado(const std::string& linea, const std::string& descripcion, long columna);

  static std::string LineaRechazo(const std::string& linea, const std::string& descripcion,
                                  long columna);

 private:
  std::function<void()> alRechazar_;
};

}  // namespace varlo
