#pragma once
// The iconv command as the judge of an encoding: text converted by it, not by
// the program's own conversion.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

// `bytes` in `de` converted to `a`, as `iconv -f de -t a` writes them.
inline std::string Iconv(const std::string& bytes, const std::string& de, const std::string& a) {
  CarpetaTemporal tmp;
  EscribeBytes(tmp.Archivo("entrada"), bytes);
  const std::string orden = "iconv -f '" + de + "' -t '" + a + "' '" + tmp.Archivo("entrada") +
                            "' > '" + tmp.Archivo("salida") + "'";
  if (std::system(orden.c_str()) != 0) throw std::runtime_error("falló: " + orden);
  return LeeBytes(tmp.Archivo("salida"));
}

// `utf8` in `codificacion`.
inline std::string ConIconv(const std::string& utf8, const std::string& codificacion) {
  return Iconv(utf8, "UTF-8", codificacion);
}

}  // namespace varlo::prueba
