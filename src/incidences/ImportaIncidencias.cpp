#include "incidences/ImportaIncidencias.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Corrida.h"
#include "db/ErrorDeCorrida.h"
#include "definitions/LectorDefiniciones.h"
#include "import/LoteRegistros.h"
#include "import/MaximoRechazos.h"
#include "import/OpcionesFuente.h"
#include "import/RecorridoFuente.h"
#include "incidences/DefinicionIncidencias.h"
#include "incidences/EscrituraKardex.h"
#include "incidences/RangoFechas.h"
#include "incidences/ResultadosIncidencias.h"

namespace varlo {

namespace {

// The planning skipped before reading its source: the log says why in the
// lines `registro` (the reason itself without them), its summary line gives
// the reason. `porResumir`: whether the planning is part of the run and its
// summary line is still to be written, for an error that ends it.
void NoImportada(Corrida& f, bool& porResumir, const std::string& motivo,
                 const std::vector<std::string>& registro = {}) {
  if (registro.empty()) f.EscribeLog(motivo);
  for (const std::string& linea : registro) f.EscribeLog(linea);
  f.EscribeNoImportada(kSeccionIncidencias, motivo, true);
  porResumir = false;
}

void Importa(Corrida& f, bool& porResumir) {
  Ventana& ventana = f.ventana();
  if (EstaEnBlanco(f.ArchivoDefiniciones)) {
    f.EscribeLog("No se especificó archivo de definiciones");
    return;
  }
  DefinicionIncidencias d;
  // "Log/Planeacion Faltas_Incidencias_Er.txt" and "..._Ok.txt" beside the
  // program. A simulation never replaces a real run's result files.
  const std::string archivos =
      std::string(kSeccionIncidencias) + "_Incidencias" + (f.opciones.simular ? "_Simulado" : "");
  const std::string log = UneRuta(CarpetaPrograma(), "Log");
  ResultadosIncidencias resultados;
  resultados.Inicia(UneRuta(log, archivos + "_Er.txt"), f.ReporteEmpleadosNoImportados == 1,
                    UneRuta(log, archivos + "_Ok.txt"), f.ReporteEmpleadosImportados == 1);

  const LectorDefiniciones ini(f.oIni(), f.ArchivoDefiniciones);
  const LecturaDefinicion lectura = LeeDefinicion(ini, d);
  // A file without a planning shows no stage of it.
  if (lectura == LecturaDefinicion::CeroColumnas) {
    f.EscribeLog("Con 0 columnas definidas");
    return;
  }
  ventana.EstableceEstado("Obteniendo información del archivo de definiciones (" +
                          Recorta(f.ArchivoDefiniciones) + ")...");
  porResumir = true;
  if (lectura == LecturaDefinicion::NingunaColumna)
    return NoImportada(f, porResumir, "No tiene definida ni una sola columna");
  // A definition that would fail on every line is reported once, before any line is read.
  const std::vector<std::string> problemas = ProblemasDefinicion(d);
  if (!problemas.empty()) return NoImportada(f, porResumir, Une(problemas, "; "), problemas);

  std::error_code ec;
  // configured, but nothing to read: not a clean run
  if (!std::filesystem::is_regular_file(d.Origen, ec))
    return NoImportada(f, porResumir, "Archivo origen no existe (" + d.Origen + ")",
                       {"Archivo origen no existe"});
  const OpcionesFuente fuente = LeeOpcionesFuente(ini, kSeccionIncidencias);
  if (!fuente.problema.empty()) return NoImportada(f, porResumir, fuente.problema);
  // Lines of the source, and day rows of Kardex.
  ResumenImportacion resumen;
  resumen.porDias = true;
  resumen.simulado = f.opciones.simular;
  // A quote that is part of the separator stops the planning before any record is read.
  const DivisorLineas divisor = DivisorDe(d).ConComillas(fuente.comillas);
  RecorridoFuente recorrido(f, kSeccionIncidencias, "Incidencias", d.Origen, divisor, fuente,
                            resumen);
  resultados.EstableceCodificacion(recorrido.CodificacionArchivo());
  if (!f.ConectaBD()) return;
  ventana.EstableceEstado("Importando datos (Incidencias)...");

  db::Conexion& cn = *f.cnBaseDatos();
  EscrituraKardex kardex(d, cn, resultados);
  const bool porLotes = kardex.BuscaPorLotes();
  // A line's result lines and the day rows it added; it is rejected when
  // one of its result lines is.
  struct Linea {
    ResultadosIncidencias::Retenidas salida;
    long agregados = 0;
    bool Rechazado() const {
      return std::ranges::any_of(salida, [](const auto& s) { return !s.importada; });
    }
    // the days it wrote went with the transaction
    Linea SoloRechazos() && {
      std::erase_if(salida, [](const auto& s) { return s.importada; });
      return {std::move(salida), 0};
    }
  };
  if (f.ReporteEmpleadosNoImportados == 1) resumen.archivoEr = UneRuta("Log", archivos + "_Er.txt");
  if (f.ReporteEmpleadosImportados == 1) resumen.archivoOk = UneRuta("Log", archivos + "_Ok.txt");
  const auto inicio = std::chrono::steady_clock::now();
  long reportadas = 0;
  auto escribeResumen = [&] {
    resumen.sinProcesar = resumen.leidas - resumen.omitidas - reportadas;
    resumen.segundos =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    f.EscribeResumen(kSeccionIncidencias, resumen);
    porResumir = false;
  };
  // A line's values and its range of days; raises what is wrong with it.
  struct Dias {
    const std::vector<std::string>* valores;
    std::int64_t primero, ultimo;
  };
  const auto diasDe = [&](const LineaLeida& l, std::vector<std::string>& partes) {
    const std::vector<std::string>& v = l.Valores(divisor, partes);
    const RangoFechas r = RangoDe(d, v);
    return Dias{&v, DiasDesdeEpoca(r.FechaInicial), DiasDesdeEpoca(r.FechaFinal)};
  };
  // Appends the lookup keys of a line's days from `desde` on while the read
  // has room for them; gives the first day left out.
  constexpr std::size_t kDiasAnticipados = 25000;
  const auto agregaDias = [&](std::vector<db::Valor>& llaves, const Dias& dias,
                              std::int64_t desde) {
    const std::string empleado = Recorta(DeColumna(*dias.valores, d.ColumnaEmpleado));
    for (; desde <= dias.ultimo && llaves.size() < 2 * kDiasAnticipados; ++desde) {
      llaves.emplace_back(empleado);
      llaves.emplace_back(FechaDeDias(desde));
    }
    return desde;
  };
  auto registro = [&, valores = std::vector<std::string>{}](const LineaLeida& leida) mutable {
    const long antes = kardex.DiasAgregados();
    // what an attempt the server rolled back left unreported is not this one's
    resultados.TomaRetenidas();
    std::optional<Dias> dias;
    try {
      dias = diasDe(leida, valores);
    } catch (const ErrorFecha& e) {
      // One unreadable line is rejected; the lines around it still import.
      resultados.Rechazado(leida.texto, e.Descripcion(), e.columna);
    } catch (...) {
      resultados.Rechazado(leida.texto, ErrorCapturado().Descripcion(), 0);
    }
    // Days the batch did not read ahead (past its limit, or in a transaction
    // begun again) are read together, the line's next kDiasAnticipados. The
    // lines before it, whose days were read, are done.
    if (dias)
      for (std::int64_t dia = dias->primero, leidos = dia; dia <= dias->ultimo; ++dia) {
        // held rows refused: the batch is done again, this line included
        if (kardex.EscribeDia(leida.texto, *dias->valores, FechaDeDias(dia)) ==
                EscrituraKardex::Resultado::RegistroAbandonado ||
            cn.RetenidasRechazadas())
          break;
        if (porLotes && dia >= leidos && dia < dias->ultimo && kardex.DiaNoAnticipado()) {
          std::vector<db::Valor> llaves;
          leidos = agregaDias(llaves, *dias, dia + 1);
          kardex.Anticipa(llaves);
        }
      }
    return Linea{resultados.TomaRetenidas(), kardex.DiasAgregados() - antes};
  };
  // Days go to the added or updated count; a line with a rejection to the
  // rejected one, and to the exit status: an attempt the batch did again
  // is no rejection.
  auto reporta = [&](const LineaLeida&, const Linea& l) {
    ++reportadas;
    long importados = 0;
    for (const auto& s : l.salida) importados += s.importada ? s.veces : 0;
    if (l.Rechazado()) {
      ++resumen.rechazadas;
      f.NotaRechazo();
    }
    resumen.agregadas += l.agregados;
    resumen.actualizadas += importados - l.agregados;
    resultados.Escribe(l.salida);
  };
  // after the record's own lines were taken (registro), nothing is held
  auto rechazoConfirmacion = [&](const LineaLeida& linea, const ErrorVarlo& e) {
    resultados.Rechazado(linea.texto, e.Descripcion(), 0);
    return Linea{resultados.TomaRetenidas(), 0};
  };
  LoteRegistros<Linea> lote(cn, f.opciones.simular ? ModoLote::Simulacion : ModoLote::Lotes,
                            f.opciones.lote, registro, reporta, rechazoConfirmacion);
  lote.AvisaRepeticiones([&](const std::string& linea) { f.EscribeLog(linea); });
  MaximoRechazos maximo(f, "La planeación de faltas", resumen, lote.RechazosSinReportar());
  if (porLotes) {
    // Each line's employee with every day of its range, in one query; a line
    // whose range cannot be read gives its reason when processed.
    kardex.AvisaFallas([&](const std::string& linea) { f.EscribeLog(linea); });
    auto anticipa =
        [&, partes = std::vector<std::string>{}](const std::vector<LineaLeida>& lineas) mutable {
          std::vector<db::Valor> llaves;
          for (const LineaLeida& l : lineas) {
            std::optional<Dias> dias;
            try {
              dias = diasDe(l, partes);
            } catch (const ErrorVarlo&) {
              continue;
            }
            agregaDias(llaves, *dias, dias->primero);
          }
          kardex.Anticipa(llaves);
        };
    lote.Anticipa(anticipa, [&] { return !maximo.Alcanzado(); });
  }

  FinRecorrido fin;
  try {
    fin = recorrido.Recorre([&](LineaLeida l) { lote.Procesa(std::move(l)); },
                            [&] { resultados.Vacia(); }, maximo);
  } catch (...) {
    resumen.motivo = LineaError(ErrorCapturado());
    escribeResumen();
    throw;
  }
  if (fin == FinRecorrido::Interrumpido) {
    lote.Interrumpe();
    resultados.Vacia();
    resumen.motivo = "Importación de Incidencias interrumpida después de " +
                     recorrido.LineasHechas() + " líneas";
    f.EscribeFalla(resumen.motivo);
    escribeResumen();
    return;
  }
  lote.Termina();
  maximo.SeDetuvo();
  resultados.Vacia();
  escribeResumen();
  ventana.EstableceEstado(f.HuboErrores() ? "...Importación de Incidencias terminada con errores"
                                          : "...Importación de Incidencias terminada!");
}

}  // namespace

void ImportaIncidencias(Corrida& f) {
  f.EscribeLog(">Inicio de importación de Incidencias");
  bool porResumir = false;
  try {
    Importa(f, porResumir);
  } catch (...) {
    const ErrorVarlo e = ErrorCapturado();
    f.EscribeError(e);
    if (db::CapturadoEsDeCorrida()) f.NotaBaseDatosPerdida();
    if (porResumir) f.EscribeNoImportada(kSeccionIncidencias, TextoError(e), true);
  }
  f.EscribeLog("Fin de importación de Incidencias");
}

}  // namespace varlo
