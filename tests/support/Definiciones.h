#pragma once
// Pieces of a definitions file the tests write again and again.
#include <string>
#include <vector>

namespace varlo::prueba {

// "[Tablas]" listing `tablas` in order.
inline std::string ListaTablas(const std::vector<std::string>& tablas) {
  std::string s = "[Tablas]\r\nTotal=" + std::to_string(tablas.size()) + "\r\n";
  for (std::size_t i = 0; i < tablas.size(); ++i)
    s += "Tabla" + std::to_string(i + 1) + "=" + tablas[i] + "\r\n";
  return s;
}

// A table section of comma-separated lines from `origen`, keyed by `llave`.
inline std::string SeccionComas(const std::string& tabla, const std::string& origen,
                                const std::string& llave,
                                const std::vector<std::string>& columnas) {
  std::string s = "[" + tabla + "]\r\nOrigen=" + origen +
                  "\r\nFormato=3\r\nFormatoFecha=DD/MM/YYYY\r\nNombreIndice=" + llave +
                  "\r\nColumnas=" + std::to_string(columnas.size()) + "\r\n";
  for (std::size_t i = 0; i < columnas.size(); ++i)
    s += "CampoColumna" + std::to_string(i + 1) + "=" + columnas[i] + "\r\n";
  return s;
}

}  // namespace varlo::prueba
