#include "import/ImportaDatos.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include "common/ErrorVarlo.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Corrida.h"
#include "db/ErrorDeCorrida.h"
#include "db/Identificadores.h"
#include "db/Recordset.h"
#include "definitions/LectorDefiniciones.h"
#include "images/cls_ADODBServices.h"
#include "import/BusquedasDelLote.h"
#include "import/ConsultaBusqueda.h"
#include "import/DefinicionTabla.h"
#include "import/EscrituraRegistro.h"
#include "import/LoteRegistros.h"
#include "import/MaximoRechazos.h"
#include "import/OpcionesFuente.h"
#include "import/PlanColumnas.h"
#include "import/RecorridoFuente.h"
#include "import/ResultadosTabla.h"

namespace varlo {

namespace {

// Result files of a table in one transaction wait under this suffix until it committed.
constexpr const char* kSufijoPendiente = ".pendiente";

// The result files of a table whose one transaction did not commit.
void BorraPendientes(const DefinicionTabla& d) {
  std::error_code ec;
  std::filesystem::remove(d.ArchivoOk + kSufijoPendiente, ec);
  std::filesystem::remove(d.ArchivoEr + kSufijoPendiente, ec);
}

// Why a table ends: it is done (or skipped), or the whole run must stop.
enum class FinTabla { Siguiente, TerminaCorrida };

class ImportacionTablas {
 public:
  explicit ImportacionTablas(Corrida& f)
      : f_(f), ventana_(f.ventana()), ini_(f.oIni(), f.ArchivoDefiniciones) {}

  void Ejecuta();

 private:
  FinTabla PasoTabla(std::int16_t i);
  void Sondea(DefinicionTabla& d);
  FinTabla CuerpoTabla(DefinicionTabla& d);
  void EscribeResumen(const DefinicionTabla& d);
  // A table skipped before reading its source: the reason in the log and
  // summary; the run goes on unless `fin` says otherwise.
  FinTabla NoImportada(const std::string& tabla, const std::string& motivo,
                       FinTabla fin = FinTabla::Siguiente);
  // Closes the result files outside a table's scope: a line that cannot be
  // written is an error line of its own.
  void CierraResultados();
  // After the table's one transaction committed: its result files replace the last run's.
  void PublicaResultados(const DefinicionTabla& d);

  Corrida& f_;
  Ventana& ventana_;
  LectorDefiniciones ini_;
  ResultadosTabla resultados_;
  // Counts of the table whose source is being read.
  ResumenImportacion resumen_;
  bool conResumen_ = false;
  // The table's one transaction is open: ending the table now rolls it all back.
  bool sinConfirmar_ = false;
  std::chrono::steady_clock::time_point inicioTabla_;
};

FinTabla ImportacionTablas::NoImportada(const std::string& tabla, const std::string& motivo,
                                        FinTabla fin) {
  f_.EscribeLog(motivo);
  f_.EscribeNoImportada(tabla, motivo, false);
  return fin;
}

void ImportacionTablas::EscribeResumen(const DefinicionTabla& d) {
  if (!conResumen_) return;
  conResumen_ = false;
  if (sinConfirmar_) {
    // nothing it counted stayed in the database, and no result file was published
    sinConfirmar_ = false;
    resumen_.deshecha = true;
    resumen_.agregadas = resumen_.actualizadas = resumen_.rechazadas = 0;
    resumen_.archivoEr.clear();
    resumen_.archivoOk.clear();
  }
  resumen_.sinProcesar = resumen_.leidas - resumen_.omitidas - resumen_.agregadas -
                         resumen_.actualizadas - resumen_.rechazadas;
  resumen_.segundos =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - inicioTabla_).count();
  f_.EscribeResumen(d.Tabla, resumen_);
}

void ImportacionTablas::CierraResultados() {
  try {
    resultados_.Cierra();
  } catch (...) {
    f_.EscribeError(ErrorCapturado());
  }
}

void ImportacionTablas::PublicaResultados(const DefinicionTabla& d) {
  for (const std::string& archivo : {d.ArchivoOk, d.ArchivoEr}) {
    std::error_code ec;
    if (!std::filesystem::exists(archivo + kSufijoPendiente, ec) ||
        ReemplazaAtomico(archivo + kSufijoPendiente, archivo))
      continue;
    // The rows are committed: the last run's file would list lines whose
    // rows are gone, so it goes, and the operator is told where the lines are.
    std::filesystem::remove(archivo, ec);
    f_.EscribeFalla("Los archivos de resultado de la tabla " + d.Tabla +
                    " no reemplazaron a los de la corrida anterior: las líneas de esta corrida "
                    "están en " +
                    archivo + kSufijoPendiente);
  }
  LlevaCarpetaADisco(CarpetaPadre(d.ArchivoOk));
}

void ImportacionTablas::Ejecuta() {
  f_.EscribeLog(">Inicio de importación");
  try {
    if (Recorta(f_.ArchivoDefiniciones).empty()) {
      f_.EscribeLog("No se especificó archivo de definiciones");
    } else if (f_.ConectaBD()) {
      ventana_.EstableceEstado("Obteniendo información del archivo de definiciones (" +
                               Recorta(f_.ArchivoDefiniciones) + ")...");
      std::int16_t total = ini_.NumeroEstricto("Tablas", "Total", "1");
      if (total == 0) {
        f_.EscribeLog("Con 0 tablas definidas");
      } else {
        FinTabla fin = FinTabla::Siguiente;
        for (std::int16_t i = 1; fin == FinTabla::Siguiente && i >= 1 && i <= total; ++i) {
          fin = PasoTabla(i);
          if (i == 32767) break;
        }
        // Only a run without an error line may say it simply ended.
        if (fin == FinTabla::Siguiente)
          ventana_.EstableceEstado(f_.HuboErrores() ? "...Importación terminada con errores"
                                                    : "...Importación terminada!");
      }
    }
  } catch (...) {
    f_.EscribeError(ErrorCapturado());
  }
  CierraResultados();
  f_.EscribeLog("Fin de importación");
}

FinTabla ImportacionTablas::PasoTabla(std::int16_t i) {
  DefinicionTabla d;
  d.Tabla = ini_.Texto("Tablas", LectorDefiniciones::ClaveNumerada("Tabla", i), "Empleado");
  if (EstaEnBlanco(d.Tabla))
    return NoImportada("(tabla " + std::to_string(i) + ")",
                       "No tiene nombre definido para la tabla " + std::to_string(i));
  // The table scope: what fails here is logged and the table is skipped.
  conResumen_ = false;
  sinConfirmar_ = false;
  try {
    Sondea(d);
    FinTabla fin = CuerpoTabla(d);
    EscribeResumen(d);
    return fin;
  } catch (...) {
    const bool deCorrida = db::CapturadoEsDeCorrida(), bloqueo = db::CapturadoEsBloqueo();
    ErrorVarlo e = ErrorCapturado();
    CierraResultados();
    BorraPendientes(d);
    f_.EscribeError(e);
    // Before its source was opened the table read nothing; after, its
    // summary says how far it got and why it stopped.
    if (conResumen_) {
      resumen_.motivo = LineaError(e);
      EscribeResumen(d);
    } else {
      f_.EscribeNoImportada(d.Tabla, TextoError(e), false);
    }
    if (deCorrida) {
      // A locked database ends this table; a lost one ends the run.
      f_.NotaBaseDatosPerdida();
      if (!bloqueo) return FinTabla::TerminaCorrida;
    }
    return FinTabla::Siguiente;
  }
}

void ImportacionTablas::Sondea(DefinicionTabla& d) {
  const db::Consulta sonda{
      .select = "Select ", .top = 0, .columnas = {}, .tabla = Recorta(d.Tabla), .condiciones = {}};
  auto rs = f_.cnBaseDatos()->AbreConsulta(sonda, 1);
  for (int c = 0; c < rs->FieldCount(); ++c) {
    d.NombresTabla.push_back(rs->Field(c).nombre);
    d.TiposTabla.push_back(rs->Field(c).tipo);
  }
  rs->Close();
}

FinTabla ImportacionTablas::CuerpoTabla(DefinicionTabla& d) {
  d.BorrarAntes = ini_.InterruptorTexto(d.Tabla, "Borrar antes de importar", "0");
  const ModoLote modo = f_.opciones.simular ? ModoLote::Simulacion
                        : d.BorrarAntes     ? ModoLote::UnaTransaccion
                                            : ModoLote::Lotes;
  // A simulation never replaces a real run's result files; a table in one
  // transaction writes them aside until it committed.
  const std::string carpetaLog = UneRuta(CarpetaPrograma(), "Log");
  const std::string marca = modo == ModoLote::Simulacion ? "_Simulado" : "";
  // "rrhh.Empleado" names its files "Empleado.rrhh_Ok.txt"...
  const std::string nombreArchivos = db::NombreDeArchivos(d.Tabla);
  d.ArchivoEr = UneRuta(carpetaLog, nombreArchivos + marca + "_Er.txt");
  d.ArchivoOk = UneRuta(carpetaLog, nombreArchivos + marca + "_Ok.txt");
  const std::string pendiente = modo == ModoLote::UnaTransaccion ? kSufijoPendiente : "";
  resultados_.Inicia(d.ArchivoEr + pendiente, f_.ReporteEmpleadosNoImportados == 1,
                     d.ArchivoOk + pendiente, f_.ReporteEmpleadosImportados == 1);

  d.NombreIndice = ini_.Texto(d.Tabla, "NombreIndice", "ID_Empleado");
  d.Indices = Divide(d.NombreIndice, ",");
  d.Origen = ini_.Texto(d.Tabla, "Origen", UneRuta(CarpetaPrograma(), nombreArchivos + ".txt"));
  d.ColumnaJerarquia = ini_.EnteroTruncado(d.Tabla, "Jerarquia unica en columna", "0");
  d.Mascara = MascaraFecha::Desde(ini_.Texto(d.Tabla, "FormatoFecha", "YYYY-MM-DD"));
  const std::string carpeta = CarpetaPadre(d.Origen), sinBlancos = RecortaDer(carpeta);
  d.DirectorioOrigen =
      carpeta.empty() || sinBlancos.ends_with(kSeparador) ? carpeta : carpeta + kSeparador;

  d.Columnas = ini_.Numero(d.Tabla, "Columnas", "0");
  if (d.Columnas == 0) {
    f_.EscribeLog("Con 0 columnas definidas");
    return FinTabla::Siguiente;
  }
  if (!ConstruyePlan(ini_, d))
    return NoImportada(d.Tabla, "No tiene definida ni una sola columna", FinTabla::TerminaCorrida);
  // A key that no column carries would make every lookup fail: the table is
  // skipped before any record is read.
  if (auto llave = IndiceSinColumna(d))
    return NoImportada(d.Tabla, "No tiene definida la columna índice (" + *llave + ")");

  std::error_code ec;
  // a table that was configured but could not be read is not a clean run
  if (!std::filesystem::is_regular_file(d.Origen, ec))
    return NoImportada(d.Tabla, "Archivo origen no existe (" + d.Origen + ")");
  const OpcionesFuente fuente = LeeOpcionesFuente(ini_, d.Tabla);
  if (!fuente.problema.empty()) return NoImportada(d.Tabla, fuente.problema);
  resumen_ = ResumenImportacion{};
  resumen_.simulado = modo == ModoLote::Simulacion;
  // A quote that is part of the separator stops the table before any record is read.
  const DivisorLineas divisor = DivisorDe(d).ConComillas(fuente.comillas);
  RecorridoFuente recorrido(f_, d.Tabla, d.Tabla, d.Origen, divisor, fuente, resumen_);
  if (f_.ReporteEmpleadosNoImportados == 1)
    resumen_.archivoEr = UneRuta("Log", std::filesystem::path(d.ArchivoEr).filename().string());
  if (f_.ReporteEmpleadosImportados == 1)
    resumen_.archivoOk = UneRuta("Log", std::filesystem::path(d.ArchivoOk).filename().string());
  inicioTabla_ = std::chrono::steady_clock::now();
  conResumen_ = true;
  sinConfirmar_ = modo == ModoLote::UnaTransaccion;
  resultados_.EstableceCodificacion(recorrido.CodificacionArchivo());

  db::Conexion& cn = *f_.cnBaseDatos();
  ConsultaBusqueda busqueda(d, cn.MotorBD());
  cls_ADODBServices imagenes(ventana_);
  EscrituraRegistro escritura(d, cn, imagenes);
  std::vector<std::string> partes;  // a record's values, when split here

  // The record scope: what one record does wrong goes to its "_Er.txt"
  // line. Errors of the run leave it. The lookup's row set is reopened.
  std::unique_ptr<db::Recordset> busquedaAnterior;
  BusquedasDelLote busquedas;
  busquedas.AvisaFallas([&](const std::string& linea) { f_.EscribeLog(linea); });
  auto registro = [&](const LineaLeida& linea) {
    ResultadoRegistro r;
    std::unique_ptr<db::Recordset> rs;
    try {
      const std::vector<std::string>& v = linea.Valores(divisor, partes);
      rs = busquedas.Reabre(cn, busqueda.Para(v), std::move(busquedaAnterior));
      r = escritura.Escribe(*rs, v);
      if (r.Importado()) busquedas.Cambiada(cn, *rs, escritura.CamposLeidos());
    } catch (...) {
      db::RelanzaSiEsDeCorrida();
      r.rechazos.push_back({ErrorCapturado().Descripcion(), 0});
    }
    if (rs) {
      rs->CierraSinEscribir();
      busquedaAnterior = std::move(rs);
    }
    return r;
  };
  auto reporta = [&](const LineaLeida& linea, const ResultadoRegistro& r) {
    if (r.Importado()) {
      ++(r.agregado ? resumen_.agregadas : resumen_.actualizadas);
      resultados_.Importado(linea.texto);
    } else {
      ++resumen_.rechazadas;
      f_.NotaRechazo();
      resultados_.Rechazado(linea.texto, r.rechazos);
    }
  };
  auto rechazoConfirmacion = [](const LineaLeida&, const ErrorVarlo& e) {
    return ResultadoRegistro{.rechazos = {{e.Descripcion(), 0}}};
  };
  LoteRegistros<ResultadoRegistro> lote(cn, modo, f_.opciones.lote, registro, reporta,
                                        rechazoConfirmacion);
  lote.AvisaRepeticiones([&](const std::string& linea) { f_.EscribeLog(linea); });
  MaximoRechazos maximo(f_, "La tabla " + d.Tabla, resumen_, lote.RechazosSinReportar(),
                        d.BorrarAntes);  // a dry run of a reload says so too
  // The reload replaces the last run's rows and result files together: it
  // does not commit when its files are not whole on disk, nor at its maximum
  // of rejections, where part of a file mostly wrong would replace the table.
  if (modo == ModoLote::UnaTransaccion)
    lote.EstableceAntesDeConfirmar([&] {
      if (maximo.SeDetuvo()) return false;
      resultados_.CierraEnDisco();
      return true;
    });
  // A record reads a row's keys, pictures and hierarchy levels only: the
  // other columns of a batch's rows need not be read.
  std::vector<std::string> columnasLeidas = d.ColumnasNivel;
  if (!d.CampoJerarquia.empty()) columnasLeidas.push_back(QuitaCorchetes(d.CampoJerarquia));
  if (cn.AnticipaBusquedas(busqueda.Actual())) {
    // The batch's lookups in one query; a line whose key cannot be read is
    // left to its own lookup, which gives its reason.
    auto anticipa = [&](const std::vector<LineaLeida>& lineas) {
      std::vector<db::Valor> llaves;
      llaves.reserve(lineas.size() * busqueda.Actual().condiciones.size());
      for (const LineaLeida& l : lineas) {
        try {
          for (const db::Predicado& p : busqueda.Para(l.Valores(divisor, partes)).condiciones)
            llaves.push_back(p.valor);
        } catch (const ErrorVarlo&) {
        }
      }
      busquedas.Busca(cn, busqueda.Actual(), llaves, &columnasLeidas);
    };
    lote.Anticipa(anticipa, [&] { return !maximo.Alcanzado(); });
  }

  if (modo != ModoLote::Lotes) lote.Inicia();
  if (d.BorrarAntes) {
    // A failing delete is logged; the import goes on over the existing rows.
    // It commits with the records: an interrupted run leaves the old rows.
    try {
      cn.Execute(cn.DialectoBD().DeleteFrom(cn.NombreTabla(d.Tabla)));
    } catch (...) {
      db::RelanzaSiEsDeCorrida();
      f_.EscribeError(ErrorCapturado());
    }
  }

  ventana_.EstableceEstado("Importando datos (" + d.Tabla + ")...");
  const FinRecorrido fin = recorrido.Recorre([&](LineaLeida l) { lote.Procesa(std::move(l)); },
                                             [&] { resultados_.Vacia(); }, maximo);
  if (fin == FinRecorrido::Interrumpido) {
    lote.Interrumpe();
    resultados_.Cierra();
    BorraPendientes(d);
    resumen_.motivo = "Importación interrumpida en la tabla " + d.Tabla + ", después de " +
                      recorrido.LineasHechas() + " líneas";
    f_.EscribeFalla(resumen_.motivo);
    return FinTabla::TerminaCorrida;
  }
  if (!lote.Termina()) {
    resultados_.Cierra();
    BorraPendientes(d);
    return FinTabla::Siguiente;
  }
  sinConfirmar_ = false;
  // The rollback gives back rows, not the sequence values their inserts took.
  resumen_.consumioSecuencias =
      resumen_.simulado && resumen_.agregadas > 0 && cn.MotorBD() != db::Motor::SQLite;
  maximo.SeDetuvo();
  f_.AvanceImportacion(d.Tabla, resumen_);
  resultados_.Cierra();
  if (modo == ModoLote::UnaTransaccion) PublicaResultados(d);
  return FinTabla::Siguiente;
}

}  // namespace

void ImportaDatos(Corrida& f) {
  ImportacionTablas(f).Ejecuta();
}

}  // namespace varlo
