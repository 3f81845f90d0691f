#pragma once
// The iconv command as the judge of an encoding: text converted by it, not by
// the program's own conversion.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

// `utf8` in `codificacion`, as `iconv -f UTF-8 -t codificacion` writes it.
inline std::string ConIconv(const std::string& utf8, const std::string& codificacion) {
  CarpetaTemporal tmp;
  EscribeBytes(tmp.Archivo("entrada"), utf8);
  const std::string orden = "iconv -f UTF-8 -t '" + codificacion + "' '" + tmp.Archivo("entrada") +
                            "' > '" + tmp.Archivo("salida") + "'";
  if (std::system(orden.c_str()) != 0) throw std::runtime_error("falló: " + orden);
  return LeeBytes(tmp.Archivo("salida"));
}

}  // namespace varlo::prueba
