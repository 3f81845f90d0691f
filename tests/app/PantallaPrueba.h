#pragma once
// What a person sees on a terminal after the program wrote `salida` to it:
// the lines left on the screen, once carriage returns, erased lines and line
// breaks have done their work. Enough for the console's own drawing: "\r",
// "\n", "\x1b[K" (erase to the end of the line) and the auto-wrap switches
// "\x1b[?7l"/"\x1b[?7h" (no width, so nothing wraps).
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varlo::prueba {

inline std::vector<std::string> Pantalla(const std::string& salida) {
  std::vector<std::string> lineas(1);
  std::size_t columna = 0;
  for (std::size_t i = 0; i < salida.size(); ++i) {
    const char c = salida[i];
    if (c == '\r') {
      columna = 0;
    } else if (c == '\n') {
      lineas.emplace_back();
      columna = 0;
    } else if (salida.compare(i, 3, "\x1b[K") == 0) {
      lineas.back().resize(columna);
      i += 2;
    } else if (salida.compare(i, 5, "\x1b[?7l") == 0 || salida.compare(i, 5, "\x1b[?7h") == 0) {
      i += 4;
    } else {
      std::string& l = lineas.back();
      if (columna < l.size())
        l[columna] = c;
      else
        l.push_back(c);
      ++columna;
    }
  }
  if (lineas.back().empty()) lineas.pop_back();  // the cursor on a new, empty line
  return lineas;
}

// The screen line matches `esperada`, where "…" stands for any text (a time
// and rate that depend on the clock).
inline bool Coincide(const std::string& linea, const std::string& esperada) {
  const std::string comodin = "…";
  const std::size_t k = esperada.find(comodin);
  if (k == std::string::npos) return linea == esperada;
  const std::string antes = esperada.substr(0, k), despues = esperada.substr(k + comodin.size());
  return linea.size() >= antes.size() + despues.size() && linea.starts_with(antes) &&
         linea.ends_with(despues);
}

// The screen `salida` leaves has as many lines as `esperadas`, each matching
// its own; else the failure shows the screen.
inline ::testing::AssertionResult PantallaEs(const std::string& salida,
                                             const std::vector<std::string>& esperadas) {
  const std::vector<std::string> pantalla = Pantalla(salida);
  bool igual = pantalla.size() == esperadas.size();
  for (std::size_t i = 0; igual && i < pantalla.size(); ++i)
    igual = Coincide(pantalla[i], esperadas[i]);
  if (igual) return ::testing::AssertionSuccess();
  ::testing::AssertionResult fallo = ::testing::AssertionFailure() << "la pantalla:\n";
  for (const std::string& l : pantalla) fallo << l << "\n";
  return fallo;
}

// Everything after the last "\r\x1b[K": the line drawn last in place.
inline std::string TrasUltimoBorrado(const std::string& salida) {
  const std::size_t k = salida.rfind("\r\x1b[K");
  return k == std::string::npos ? salida : salida.substr(k + 4);
}

}  // namespace varlo::prueba
