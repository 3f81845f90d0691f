#include "incidences/ImportaIncidencias.h"

#include <filesystem>
#include <string>
#include <vector>

#include "common/LectorLineas.h"
#include "common/Texto.h"
#include "db/Corrida.h"
#include "definitions/LectorDefiniciones.h"
#include "incidences/DefinicionIncidencias.h"
#include "incidences/EscrituraKardex.h"
#include "incidences/RangoFechas.h"
#include "incidences/ResultadosIncidencias.h"

namespace varlo {

namespace {

std::string Entero(double valor) {
  return std::to_string(static_cast<long long>(valor));
}

bool ExisteArchivo(const std::string& ruta) {
  std::error_code ec;
  auto estado = std::filesystem::status(std::filesystem::u8path(ruta), ec);
  return !ec && std::filesystem::is_regular_file(estado);
}

void Importa(Corrida& f) {
  Ventana& ventana = f.ventana();
  if (EstaEnBlanco(f.ArchivoDefiniciones)) {
    f.EscribeLog("No se especificó archivo de definiciones");
    return;
  }
  ventana.EstableceEstado("Obteniendo información del archivo de definiciones (" +
                          Recorta(f.ArchivoDefiniciones) + ")...");

  DefinicionIncidencias d;
  ComponeArchivosResultado(d);
  ResultadosIncidencias resultados([&f] { f.NotaRechazo(); });
  if (f.ReporteEmpleadosNoImportados == 1) resultados.Er.Inicia(d.ArchivoEr, Codificacion::Ansi);
  if (f.ReporteEmpleadosImportados == 1) resultados.Ok.Inicia(d.ArchivoOk, Codificacion::Ansi);

  switch (LeeDefinicion(LectorDefiniciones(f.oIni(), f.ArchivoDefiniciones), d)) {
    case LecturaDefinicion::CeroColumnas:
      f.EscribeLog("Con 0 columnas definidas");
      return;
    case LecturaDefinicion::NingunaColumna:
      f.EscribeLog("No tiene definida ni una sola columna");
      f.NotaError();
      return;
    case LecturaDefinicion::Completa:
      break;
  }
  // A definition that would fail on every line is reported once, before any line is read.
  std::vector<std::string> problemas = ProblemasDefinicion(d);
  if (!problemas.empty()) {
    for (const std::string& p : problemas) f.EscribeLog(p);
    f.NotaError();
    return;
  }

  if (!ExisteArchivo(d.Origen)) {
    // configured, but nothing to read: not a clean run
    f.EscribeLog("Archivo origen no existe");
    f.NotaError();
    return;
  }
  ventana.EstableceEstado("Abriendo archivo origen (" + d.Origen + ")...");
  d.TotalLineas = static_cast<std::int32_t>(LectorLineas::CuentaLineas(d.Origen));
  if (d.TotalLineas > 0) ventana.EstableceMaximo(d.TotalLineas);
  ventana.EstableceValor(0);

  LectorLineas origen(d.Origen);
  resultados.EstableceCodificacion(origen.CodificacionArchivo());
  if (!f.ConectaBD()) return;
  ventana.EstableceEstado("Importando datos (Incidencias)...");

  const DivisorLineas divisor = DivisorDe(d);
  EscrituraKardex kardex(d, *f.cnBaseDatos(), resultados);
  std::vector<std::string> valores;
  while (!origen.AtEndOfStream()) {
    ventana.EstableceEstado("Importando datos (Incidencias)... (" + Entero(ventana.Valor() + 1) +
                            " de " + Entero(ventana.Maximo()) + ")");
    ventana.ProcesaEventos();
    const std::string linea = origen.ReadLine();
    divisor.Divide(linea, valores);

    RangoFechas rango;
    bool fechasLeidas = true;
    try {
      origen.CompruebaLinea();
      rango = RangoDe(d, valores);
    } catch (const ErrorFecha& e) {
      // One unreadable line is rejected; the lines around it still import.
      resultados.Rechazado(linea, e.Descripcion(), e.Columna());
      fechasLeidas = false;
    } catch (...) {
      resultados.Rechazado(linea, ErrorCapturado().Descripcion(), 0);
      fechasLeidas = false;
    }
    if (fechasLeidas) {
      const std::int64_t primero = DiasDesdeEpoca(rango.FechaInicial);
      const std::int64_t ultimo = DiasDesdeEpoca(rango.FechaFinal);
      for (std::int64_t dia = primero; dia <= ultimo; ++dia) {
        if (kardex.EscribeDia(linea, valores, FechaDeDias(dia)) ==
            EscrituraKardex::Resultado::RegistroAbandonado)
          break;
      }
    }
    ventana.EstableceValor(ventana.Valor() + 1);
  }
  origen.Close();
  ventana.EstableceEstado("...Importación de Incidencias terminada!");
}

}  // namespace

void ImportaIncidencias(Corrida& f) {
  f.EscribeLog(">Inicio de importación de Incidencias");
  try {
    Importa(f);
  } catch (...) {
    f.EscribeError(ErrorCapturado());
  }
  f.EscribeLog("Fin de importación de Incidencias");
}

}  // namespace varlo
