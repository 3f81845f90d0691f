#include "common/Resumen.h"

#include <cmath>
#include <cstdio>

namespace varlo {

namespace {
// One decimal with a decimal comma, as the program's Spanish texts write it.
std::string UnDecimal(double x) {
  char texto[64];
  std::snprintf(texto, sizeof texto, "%.1f", x);
  std::string r = texto;
  for (char& c : r)
    if (c == '.') c = ',';
  return r;
}
}  // namespace

ResumenImportacion& ResumenImportacion::operator+=(const ResumenImportacion& otro) {
  leidas += otro.leidas;
  omitidas += otro.omitidas;
  agregadas += otro.agregadas;
  actualizadas += otro.actualizadas;
  rechazadas += otro.rechazadas;
  sinProcesar += otro.sinProcesar;
  segundos += otro.segundos;
  simulado = simulado || otro.simulado;
  return *this;
}

std::string TextoResumen(const std::string& nombre, const ResumenImportacion& r) {
  std::string t = std::string(r.simulado ? "Resumen (simulación) " : "Resumen ") + nombre + ": " +
                  std::to_string(r.leidas) + " leídas, " +
                  (r.omitidas > 0 ? std::to_string(r.omitidas) + " omitidas, " : "") +
                  std::to_string(r.agregadas) + " agregadas, " + std::to_string(r.actualizadas) +
                  " actualizadas, " + std::to_string(r.rechazadas) + " rechazadas";
  if (!r.archivoEr.empty() && r.rechazadas > 0) t += " (" + r.archivoEr + ")";
  t += ", " + std::to_string(r.sinProcesar) + " sin procesar, " + UnDecimal(r.segundos) + " s";
  const long hechas = r.agregadas + r.actualizadas + r.rechazadas;
  if (r.segundos > 0)
    t += ", " + std::to_string(std::lround(static_cast<double>(hechas) / r.segundos)) + " por s";
  return t;
}

}  // namespace varlo
