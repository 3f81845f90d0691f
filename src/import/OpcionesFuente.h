#pragma once
// Optional keys of a table section and of "Planeacion Faltas" for the source
// files people have: "Codificacion", the encoding of a source without a
// byte-order mark (any name iconv knows; without it the reader tells UTF-8
// from Windows-1252), "LineasEncabezado", the heading records to skip (a CSV
// header is no record), and "Comillas", the quote of fields that hold the
// separator or a line break (empty by default: none).
#include <optional>
#include <string>

#include "common/Codificacion.h"
#include "definitions/LectorDefiniciones.h"

namespace varlo {

struct OpcionesFuente {
  std::optional<Codificacion> codificacion;
  long lineasEncabezado = 0;
  std::string comillas;
  // Why the keys cannot be used ("" when they can): the source is not read.
  std::string problema;
};

OpcionesFuente LeeOpcionesFuente(const LectorDefiniciones& ini, const std::string& seccion);

}  // namespace varlo
