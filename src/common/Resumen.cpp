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

std::string Encabezado(const std::string& nombre, bool simulado) {
  return std::string(simulado ? "Resumen (simulación) " : "Resumen ") + nombre + ": ";
}

std::string N(long n) {
  return std::to_string(n);
}

// The time and the rate of what was done; a slow rate (a planning of long
// lines) with its decimal, which rounding would make 0.
std::string Ritmo(double segundos, long hechas, const char* unidad) {
  std::string t = UnDecimal(segundos) + " s";
  if (segundos <= 0) return t;
  const double ritmo = static_cast<double>(hechas) / segundos;
  return t + ", " + (ritmo < 9.95 ? UnDecimal(ritmo) : N(std::lround(ritmo))) + unidad;
}
}  // namespace

const char* NombreEstado(EstadoImportacion e) {
  switch (e) {
    case EstadoImportacion::Importada:
      return "importada";
    case EstadoImportacion::Incompleta:
      return "incompleta";
    case EstadoImportacion::NoImportada:
      return "no importada";
    case EstadoImportacion::Deshecha:
      return "deshecha";
  }
  return "";
}

std::string TextoResumen(const std::string& nombre, const ResumenImportacion& r) {
  std::string t = Encabezado(nombre, r.simulado);
  const std::string rechazadas =
      (!r.archivoEr.empty() && r.rechazadas > 0) ? " (" + r.archivoEr + ")" : "";
  if (r.porDias) {
    t += N(r.leidas) + " líneas leídas, " + (r.omitidas > 0 ? N(r.omitidas) + " omitidas, " : "") +
         N(r.rechazadas) + " rechazadas" + rechazadas + ", " + N(r.sinProcesar) +
         " sin procesar; " + N(r.agregadas) + " días agregados, " + N(r.actualizadas) +
         " días actualizados, " + Ritmo(r.segundos, r.Procesadas(), " líneas por s");
    return t;
  }
  if (r.deshecha) {
    t += N(r.leidas) + " leídas, " + (r.omitidas > 0 ? N(r.omitidas) + " omitidas, " : "") +
         "deshecha: ninguna línea quedó en la base de datos, " + N(r.sinProcesar) +
         " sin procesar, " + UnDecimal(r.segundos) + " s";
    return t;
  }
  t += N(r.leidas) + " leídas, " + (r.omitidas > 0 ? N(r.omitidas) + " omitidas, " : "") +
       N(r.agregadas) + " agregadas, " + N(r.actualizadas) + " actualizadas, " + N(r.rechazadas) +
       " rechazadas" + rechazadas + ", " + N(r.sinProcesar) + " sin procesar, " +
       Ritmo(r.segundos, r.Procesadas(), " por s");
  if (r.consumioSecuencias)
    t += "; las filas agregadas consumieron valores de secuencias o identidades, que la base de "
         "datos no devuelve al deshacer";
  return t;
}

std::string TextoNoImportada(const std::string& nombre, const std::string& motivo, bool simulado) {
  return Encabezado(nombre, simulado) + "no importada — " + motivo;
}

std::string TextoResumenTotal(const std::vector<ImportacionCorrida>& importaciones) {
  ResumenImportacion filas, dias;
  bool simulado = false, conDias = false;
  std::string noImportadas, deshechas;
  for (const ImportacionCorrida& i : importaciones) {
    const ResumenImportacion& c = i.cuentas;
    simulado = simulado || c.simulado;
    if (i.estado == EstadoImportacion::NoImportada)
      noImportadas += (noImportadas.empty() ? "" : ", ") + i.nombre;
    if (i.estado == EstadoImportacion::Deshecha)
      deshechas += (deshechas.empty() ? "" : ", ") + i.nombre;
    ResumenImportacion& destino = c.porDias ? dias : filas;
    conDias = conDias || c.porDias;
    destino.agregadas += c.agregadas;
    destino.actualizadas += c.actualizadas;
    // records of every source, whatever it writes
    filas.leidas += c.leidas;
    filas.omitidas += c.omitidas;
    filas.rechazadas += c.rechazadas;
    filas.sinProcesar += c.sinProcesar;
    filas.segundos += c.segundos;
  }
  std::string t = Encabezado("total", simulado) + N(filas.leidas) + " leídas, " +
                  (filas.omitidas > 0 ? N(filas.omitidas) + " omitidas, " : "") +
                  N(filas.agregadas) + " agregadas, " + N(filas.actualizadas) + " actualizadas, " +
                  N(filas.rechazadas) + " rechazadas, " + N(filas.sinProcesar) + " sin procesar";
  if (conDias)
    t += "; " + N(dias.agregadas) + " días agregados, " + N(dias.actualizadas) +
         " días actualizados";
  t += ", " + UnDecimal(filas.segundos) + " s";
  if (!noImportadas.empty()) t += "; no importadas: " + noImportadas;
  if (!deshechas.empty()) t += "; deshechas: " + deshechas;
  return t;
}

}  // namespace varlo
