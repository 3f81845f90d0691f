// The console program as an operator meets it: options, the program's
// folder, the definitions path, one run per folder, exit statuses, signals,
// the terminal, and the run's JSON summary (--resumen) as a monitor reads
// it: parsed with a JSON parser and held against the result files, the
// database (read with the sqlite3 shell) and the process's exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "PantallaPrueba.h"
#include "ProgramaPrueba.h"
#include "app/ResumenJson.h"
#include "common/CerrojoCarpeta.h"
#include "common/Codificacion.h"
#include "common/Fechas.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/CorridaEnCurso.h"
#include "support/Definiciones.h"
#include "support/Orden.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using prueba::CarpetaTemporal;
using prueba::Ejecucion;
using prueba::EscribeBytes;
using prueba::LeeBytes;
using prueba::Salida;

const std::string kDetenida = "...Importación detenida por un error\n";

// What a command prints on stdout, its last line end removed.
std::string Imprime(const std::string& orden) {
  std::string texto = prueba::SalidaDeOrden(orden);
  if (!texto.empty() && texto.back() == '\n') texto.pop_back();
  return texto;
}

long Lineas(const std::string& ruta) {
  const std::string bytes = LeeBytes(ruta);
  return static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// Names in `carpeta` ending in `extension` (".tmp": what a write of the
// summary left behind), or all of them.
std::vector<std::string> Nombres(const std::string& carpeta, const std::string& extension = "") {
  std::vector<std::string> r;
  for (const auto& e : fs::directory_iterator(carpeta))
    if (extension.empty() || e.path().extension() == extension)
      r.push_back(e.path().filename().string());
  return r;
}

class Consola : public ::testing::Test {
 protected:
  Salida Corre(std::vector<std::string> args, Ejecucion e = {}) {
    e.args = std::move(args);
    if (e.carpeta.empty()) e.carpeta = tmp.Ruta();
    return prueba::Ejecuta(tmp, e);
  }
  // A definitions file on a new SQLite database with the example schema;
  // `tablas` is the "[Tablas]" section and what follows.
  std::string Definiciones(const std::string& tablas = "[Tablas]\r\nTotal=0\r\n") {
    const std::string ruta = tmp.Archivo("defs.ini");
    EscribeBytes(ruta, "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + cadena +
                           "\r\n" + tablas);
    return ruta;
  }
  // The program with stdin, stdout and stderr on one terminal, as a person
  // runs it: `out` is all the terminal received, its line ends back to "\n".
  Salida EnPantalla(std::vector<std::string> args) {
    Ejecucion e{.carpeta = tmp.Ruta(), .errores = prueba::Errores::Terminal};
    e.args = std::move(args);
    Salida s = prueba::EnTerminal(tmp, e).Termina();
    for (std::size_t k; (k = s.out.find("\r\n")) != std::string::npos;) s.out.erase(k, 1);
    return s;
  }
  // Jerarquias (Key, Parent) from `origen`, the only table.
  std::string Jerarquias(const std::string& origen = "j.txt") const {
    return prueba::ListaTablas({"Jerarquias"}) +
           prueba::SeccionComas("Jerarquias", tmp.Archivo(origen), "Key", {"Key", "Parent"});
  }
  // Empleado (ID_Empleado, Nombre) from E.txt.
  std::string Empleado(const std::string& tabla = "Empleado") const {
    return prueba::SeccionComas(tabla, tmp.Archivo("E.txt"), "ID_Empleado",
                                {"ID_Empleado", "Nombre"});
  }
  // The absence planning (employee, first and last day, type) from p.txt.
  std::string Planeacion() const {
    return "[Planeacion Faltas]\r\nOrigen=" + tmp.Archivo("p.txt") +
           "\r\nFormato=3\r\nColumnas=4\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\n"
           "CampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\n";
  }
  // The log the run wrote (found in the folder: the clock may have moved on).
  std::string Bitacora() const { return prueba::LogDeLaCorrida(tmp.Ruta()); }
  // Rows of `tabla`, as the sqlite3 shell counts them.
  long Filas(const std::string& tabla) const {
    const std::string base = cadena.substr(cadena.find("Data Source=") + 12);
    return std::stol(Imprime("sqlite3 '" + base + "' 'SELECT count(*) FROM " + tabla + "'"));
  }
  json Documento(const std::string& nombre = "resumen.json") const {
    return json::parse(LeeBytes(tmp.Archivo(nombre)));
  }
  CarpetaTemporal tmp;
  std::string cadena = prueba::BaseDatosPrueba::SQLite(tmp.Ruta());
};

TEST_F(Consola, OptionsHelpAndUsageErrors) {
  auto todo = [](const Salida& s) { return std::tuple(s.estado, s.out, s.err); };
  EXPECT_EQ(todo(Corre({"--version"})), std::tuple(0, "VarloDI " VARLODI_VERSION "\n", ""));
  EXPECT_EQ(
      todo(Corre({"--nada", "defs.ini"})),
      std::tuple(2, "",
                 std::string("varlodi: opción no reconocida: --nada\nPruebe 'varlodi --help'\n")));
  Salida h = Corre({"-h"});
  EXPECT_EQ(h.estado, 0);
  EXPECT_NE(h.out.find("\nCarpeta del programa: " + tmp.Ruta() + "\n"), std::string::npos);
  for (const char* texto : {"--fotos", "--simular", "--lote N", "--max-rechazos N", "--silencioso",
                            "\n  5    otra corrida", "\n  130  interrumpido"})
    EXPECT_NE(h.out.find(texto), std::string::npos) << texto;

  // Without a path and without a terminal nobody can choose one.
  Salida u = Corre({});
  EXPECT_EQ(u.estado, 2);
  EXPECT_NE(u.err.find("Uso: varlodi"), std::string::npos);
  EXPECT_FALSE(fs::exists(tmp.Archivo("Log")));
}

// The program's folder from --carpeta before VARLODI_CARPETA; a folder it
// cannot use stops it. An unquoted path with spaces arrives whole.
TEST_F(Consola, ProgramFolderFromOptionOrVariable) {
  fs::create_directory(tmp.Archivo("mis datos"));
  const std::string defs = tmp.Archivo("mis datos/defs.ini");
  fs::rename(Definiciones(), defs);
  const std::string variable = "VARLODI_CARPETA=" + tmp.Archivo("v");
  const Salida a = Corre({tmp.Archivo("mis"), "datos/defs.ini"},
                         {.carpeta = tmp.Archivo("a/b"), .entorno = {variable}});
  EXPECT_EQ(a.estado, 0) << a.err;
  EXPECT_TRUE(fs::exists(tmp.Archivo("a/b/Log")));
  EXPECT_FALSE(fs::exists(tmp.Archivo("v")));
  EXPECT_EQ(prueba::Ejecuta(tmp, {.args = {defs}, .entorno = {variable}}).estado, 0);
  EXPECT_TRUE(fs::exists(tmp.Archivo("v/Log")));

  EscribeBytes(tmp.Archivo("archivo"), "x");
  Salida s = Corre({defs}, {.carpeta = tmp.Archivo("archivo/sub")});
  EXPECT_EQ(s.estado, 2);
  EXPECT_EQ(s.err, "varlodi: no se puede usar la carpeta del programa (" +
                       tmp.Archivo("archivo/sub") + "): No es un directorio\n");
  fs::create_directory(tmp.Archivo("cerrada"));
  fs::permissions(tmp.Archivo("cerrada"), fs::perms::owner_write, fs::perm_options::remove);
  fs::permissions(defs, fs::perms::others_read, fs::perm_options::add);
  Salida p = Corre({defs}, {.carpeta = tmp.Archivo("cerrada/sub"), .comoNadie = true});
  EXPECT_EQ(p.estado, 2);
  EXPECT_EQ(p.err, "varlodi: no se puede usar la carpeta del programa (" +
                       tmp.Archivo("cerrada/sub") + "): Permiso denegado\n");
}

// An unusable definitions file, or an option value in it that overflows,
// stops the program before anything is written; the summary gives the line
// stderr gave.
TEST_F(Consola, UnusableDefinitionsFileStopsBeforeAnythingIsWritten) {
  ASSERT_EQ(mkfifo(tmp.Archivo("fifo.ini").c_str(), 0644), 0);
  fs::create_directory(tmp.Archivo("carpeta.ini"));
  EscribeBytes(tmp.Archivo("cerrado.ini"), "[Tablas]\r\nTotal=0\r\n");
  fs::permissions(tmp.Archivo("cerrado.ini"), fs::perms::none);
  EscribeBytes(tmp.Archivo("desborda.ini"), "[Opciones]\r\nReporteLog=40000\r\n");
  fs::create_directory(tmp.Archivo("programa"));  // user nobody may write there
  fs::permissions(tmp.Archivo("programa"), fs::perms::all);
  struct Caso {
    std::string ruta, err;
    bool comoNadie = false;
  };
  const std::string noSe = "No se puede leer el archivo de definiciones (";
  for (const Caso& c : {
           Caso{tmp.Archivo("no hay.ini"),
                "No se encontró el archivo de definiciones (" + tmp.Archivo("no hay.ini") + ")"},
           Caso{tmp.Archivo("carpeta.ini"),
                noSe + tmp.Archivo("carpeta.ini") + "): Es un directorio"},
           Caso{tmp.Archivo("fifo.ini"),
                noSe + tmp.Archivo("fifo.ini") + "): No es un archivo regular"},  // never waits
           Caso{"/dev/zero", noSe + "/dev/zero): No es un archivo regular"},
           Caso{tmp.Archivo("cerrado.ini"),
                noSe + tmp.Archivo("cerrado.ini") + "): Permiso denegado", true},
           Caso{tmp.Archivo("desborda.ini"), "Error 6: Desbordamiento"},
       }) {
    Salida s = Corre({"--resumen", tmp.Archivo("programa/r.json"), c.ruta},
                     {.carpeta = tmp.Archivo("programa"), .comoNadie = c.comoNadie});
    EXPECT_EQ(s.estado, 2) << c.ruta;
    EXPECT_EQ(s.err, c.err + "\n" + kDetenida);
    EXPECT_FALSE(fs::exists(tmp.Archivo("programa/Log"))) << c.ruta;
    const json d = Documento("programa/r.json");
    EXPECT_EQ(d["estado_salida"], 2);
    EXPECT_EQ(d[d["error"].is_null() ? "motivo_fin" : "error"], c.err);
  }
}

// A second run on a folder another run holds does nothing at all but its
// summary; a missing definitions file says 2 first, a relative path in the
// summary made absolute.
TEST_F(Consola, BusyFolderExitsFiveTouchingNothing) {
  const std::string defs = Definiciones(Jerarquias("J.txt"));
  EscribeBytes(tmp.Archivo("J.txt"), "_0A\r\n");
  fs::create_directory(tmp.Archivo("Log"));
  {
    CerrojoCarpeta otraCorrida(tmp.Archivo("Log/.varlodi.lock"));
    ASSERT_TRUE(otraCorrida.Tomado());
    Salida s = Corre({"--resumen", tmp.Archivo("resumen.json"), defs});
    EXPECT_EQ(s.estado, 5);
    EXPECT_EQ(s.err, "Otra corrida usa la carpeta del programa (" + tmp.Ruta() +
                         "); esta no hizo nada\n...No se importó nada: otra corrida usa la misma "
                         "carpeta\n");
    json d = Documento();
    EXPECT_EQ(d["estado_salida"], 5);
    EXPECT_NE(d["motivo_fin"].get<std::string>().find("Otra corrida"), std::string::npos);
    EXPECT_EQ(d["importaciones"], json::array());

    EXPECT_EQ(Corre({"--resumen", "resumen.json", "no.ini"}, {.directorio = tmp.Ruta()}).estado, 2)
        << "2 antes que 5";
    d = Documento();
    EXPECT_EQ(d["estado_salida"], 2);
    EXPECT_EQ(d["motivo_fin"], "No se encontró el archivo de definiciones (no.ini)");
    EXPECT_EQ(d["archivo_definiciones"], tmp.Archivo("no.ini"));
    EXPECT_TRUE(d["bitacora"].is_null());
    EXPECT_EQ(d["importaciones"], json::array());
    EXPECT_EQ(Nombres(tmp.Archivo("Log")), std::vector<std::string>{".varlodi.lock"});
  }
  EXPECT_EQ(Corre({defs}).estado, 0);
  EXPECT_TRUE(fs::exists(tmp.Archivo("Log/Jerarquias_Ok.txt")));
}

TEST_F(Consola, ExitStatusAndWhatStderrTells) {
  auto empleado = [&](const std::string& tabla) {
    return prueba::ListaTablas({tabla}) + Empleado(tabla);
  };
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n,Sin llave\r\n");

  // The last line: how the run ended and, unless it exited 0, where its log is.
  auto fin = [this](const std::string& titular) {
    return titular + ". Vea la bitácora: " + Bitacora() + "\n";
  };
  // an absence planning alone, clean: its summaries, no headline
  EscribeBytes(tmp.Archivo("p.txt"), "7,2006-08-01,2006-08-01,VAC\r\n");
  Salida faltas = Corre({"-q", Definiciones("[Tablas]\r\nTotal=0\r\n" + Planeacion())});
  EXPECT_EQ(faltas.estado, 0) << faltas.err;
  EXPECT_EQ(faltas.err.find("...Importación"), std::string::npos) << faltas.err;
  EXPECT_NE(AnsiAUtf8(LeeBytes(Bitacora())).find("\r\nFin de importación de Incidencias ("),
            std::string::npos);

  Salida rechazo = Corre({"-q", Definiciones(empleado("Empleado"))});
  EXPECT_EQ(rechazo.estado, 1);
  // with -q only the summary and the headline, which names the log
  const std::string resumen =
      "Resumen Empleado: 2 leídas, 1 agregadas, 0 actualizadas, 1 rechazadas";
  EXPECT_EQ(rechazo.err.rfind(resumen, 0), 0u) << rechazo.err;
  EXPECT_EQ(rechazo.err.substr(rechazo.err.find('\n') + 1),
            fin("...Importación terminada con registros rechazados"));

  // An error line of the log reaches stderr without its date stamp.
  Salida sinTabla = Corre({"--silencioso", Definiciones(empleado("NoExiste"))});
  EXPECT_EQ(sinTabla.estado, 4);
  const std::string bitacora = AnsiAUtf8(LeeBytes(Bitacora()));
  std::smatch linea;  // the log's error line, its stamp left out
  ASSERT_TRUE(std::regex_search(
      bitacora, linea, std::regex(R"(\n([^\r\n]*\] Error: -[^\r\n]*) \([^()\r\n]*\)\r\n)")))
      << bitacora;
  EXPECT_EQ(sinTabla.err.rfind(linea[1].str() + "\n", 0), 0u) << sinTabla.err;
  EXPECT_TRUE(sinTabla.err.ends_with("\n" + fin("...Importación terminada con errores")))
      << sinTabla.err;

  // A database that cannot be opened: 3, and its summary replaces the last
  // one in one step (a link to the old file keeps the old text).
  const std::string viejo = "{\"estado_salida\": 0}\n";
  EscribeBytes(tmp.Archivo("resumen.json"), viejo);
  fs::create_hard_link(tmp.Archivo("resumen.json"), tmp.Archivo("anterior.json"));
  cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("no/hay/v.db");
  Salida sinBase =
      Corre({"-q", "--resumen", tmp.Archivo("resumen.json"), Definiciones(empleado("Empleado"))});
  EXPECT_EQ(sinBase.estado, 3);
  EXPECT_TRUE(sinBase.err.ends_with(
      "\n" + fin("...Importación detenida: sin conexión con la base de datos")))
      << sinBase.err;
  EXPECT_EQ(Documento()["estado_salida"], 3);
  EXPECT_EQ(LeeBytes(tmp.Archivo("anterior.json")), viejo) << "rewritten in place";
  EXPECT_EQ(Nombres(tmp.Ruta(), ".tmp"), std::vector<std::string>{});
}

// A closed or broken stderr never stops the work.
TEST_F(Consola, BrokenOrClosedStderrDoesNotStopTheRun) {
  const std::string defs = Definiciones();
  for (prueba::Errores errores : {prueba::Errores::TuberiaCerrada, prueba::Errores::Cerrado}) {
    fs::remove_all(tmp.Archivo("Log"));
    Salida s = Corre({defs}, {.errores = errores});
    EXPECT_EQ(s.estado, 0);
    EXPECT_NE(LeeBytes(Bitacora()).find("Fin de importaci"), std::string::npos);
    EXPECT_EQ(LeeBytes(tmp.Archivo("Log/.varlodi.lock")), "") << "el cerrojo recibió texto";
  }
}

// On a terminal the person is left with each stage on its own line (the
// counting one with its last counter and a full bar), no bar after the
// summary, and the headline of how the run ended, naming the log when it failed.
TEST_F(Consola, OnATerminalTheScreenEndsWithHowTheRunEnded) {
  const std::string tabla = Jerarquias();
  EscribeBytes(tmp.Archivo("j.txt"), "_0A,\r\n_1B,_0A\r\n_1C,_0A\r\n");
  const std::string defs = Definiciones(tabla);
  Salida limpia = EnPantalla({defs});
  EXPECT_EQ(limpia.estado, 0);
  // No planning configured: no stage of it.
  EXPECT_TRUE(prueba::PantallaEs(
      limpia.out, {"Conectando con la base de datos...",
                   "Obteniendo información del archivo de definiciones (" + defs + ")...",
                   "Abriendo archivo origen (" + tmp.Archivo("j.txt") + ")...",
                   "[####################] Importando datos (Jerarquias)... (3 de 3)…",
                   "Resumen Jerarquias: 3 leídas, 3 agregadas, 0 actualizadas, 0 rechazadas, …",
                   "...Importación terminada!"}));
  EXPECT_EQ(prueba::TrasUltimoBorrado(limpia.out), "...Importación terminada!\n");

  // A rejected line, and a planning whose source is missing.
  EscribeBytes(tmp.Archivo("j.txt"), "_0Z,\r\n,sin llave\r\n");
  Definiciones(tabla + Planeacion());
  Salida falla = EnPantalla({defs});
  EXPECT_EQ(falla.estado, 4);
  const std::string titular =
      "...Importación terminada con errores. Vea la bitácora: " + Bitacora();
  // The planning is configured: its stage shows, with no bar after the summary.
  EXPECT_TRUE(prueba::PantallaEs(
      falla.out,
      {"Conectando con la base de datos...",
       "Obteniendo información del archivo de definiciones (" + defs + ")...",
       "Abriendo archivo origen (" + tmp.Archivo("j.txt") + ")...",
       "[####################] Importando datos (Jerarquias)... (2 de 2)…",
       "Resumen Jerarquias: 2 leídas, 1 agregadas, 0 actualizadas, 1 rechazadas …",
       "...Importación terminada!",
       "Obteniendo información del archivo de definiciones (" + defs + ")...",
       "Resumen Planeacion Faltas: no importada — Archivo origen no existe (" +
           tmp.Archivo("p.txt") + ")",
       "Resumen total: 2 leídas, 1 agregadas, 0 actualizadas, 1 rechazadas, 0 sin procesar; …",
       titular}));
  EXPECT_EQ(prueba::TrasUltimoBorrado(falla.out), titular + "\n");
}

// Questions go to the terminal even when stderr goes to a file; the path
// answered, the run goes on with its stages on stderr. Ctrl+C or SIGTERM
// while a question waits: nothing more is asked, and the status tells which
// signal it was.
TEST_F(Consola, QuestionsAreAskedOnTheTerminalUntilASignal) {
  const std::string defs = Definiciones();
  for (int senal : {0, SIGINT, SIGTERM}) {
    prueba::EnTerminal t(tmp, {.carpeta = tmp.Ruta()});
    EXPECT_NE(
        t.LeeHasta("): ").find("Archivo de definiciones (Archivos de definiciones (*.ini)): "),
        std::string::npos);
    if (senal == 0)
      t.Teclea(defs + "\n");
    else if (senal == SIGINT)
      t.Teclea("\x03");  // the terminal sends SIGINT
    else
      kill(t.Pid(), SIGTERM);
    Salida s = t.Termina();
    EXPECT_EQ(s.estado, senal == 0 ? 0 : 128 + senal) << s.err;
    EXPECT_EQ(s.out.find("Desea crear"), std::string::npos) << s.out;
    EXPECT_EQ(s.err.find("Archivo de definiciones"), std::string::npos) << s.err;
    EXPECT_EQ(s.err.find("Conectando con la base de datos...\n") != std::string::npos, senal == 0);
    EXPECT_TRUE(s.err.ends_with(senal == 0 ? "\n...Importación terminada!\n"
                                           : "...Importación interrumpida\n"))
        << s.err;
  }
}

// A table imported with a rejected record, a table whose source is missing
// and an absence planning: every count of the summary is what the result
// files and the database hold, and every path is absolute and there. The
// manual's monitoring example, its jq filter run by jq on the document,
// gives Prometheus lines whose values are the process's exit status and the
// lines of the "_Er.txt" file.
TEST_F(Consola, SummaryCountsAreTheResultFilesAndTheRows) {
  Definiciones(prueba::ListaTablas({"Empleado", "Jerarquias"}) + Empleado() +
               prueba::SeccionComas("Jerarquias", tmp.Archivo("falta.txt"), "Key", {"Key"}) +
               Planeacion());
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n,Sin llave\r\n0002,Beto\r\n0001,Ana Maria\r\n");
  EscribeBytes(tmp.Archivo("p.txt"),
               "7,2006-08-01,2006-08-03,VAC\r\n7,2006-02-31,2006-03-01,VAC\r\n"
               "8,2006-08-10,2006-08-10,INC\r\n");
  const int estado =
      Corre({"-q", "--resumen", "resumen.json", "defs.ini"}, {.directorio = tmp.Ruta()}).estado;
  EXPECT_EQ(estado, 4) << "a table not imported comes before rejections";

  const json d = Documento();
  EXPECT_EQ(d["estado_salida"].get<int>(), estado);
  EXPECT_EQ(d["carpeta_programa"], tmp.Ruta());
  EXPECT_EQ(d["archivo_definiciones"], tmp.Archivo("defs.ini"));
  EXPECT_TRUE(d["motivo_fin"].is_null());
  EXPECT_TRUE(d["error"].is_null());
  EXPECT_EQ(d["bitacora"], Bitacora());
  // The end in ISO 8601 with its offset is the same moment as fin_unix, as
  // date(1) reads it.
  const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
  EXPECT_TRUE(std::regex_match(d["inicio"].get<std::string>(), iso)) << d["inicio"];
  ASSERT_TRUE(std::regex_match(d["fin"].get<std::string>(), iso)) << d["fin"];
  EXPECT_EQ(Imprime("date -d '" + d["fin"].get<std::string>() + "' +%s"),
            std::to_string(d["fin_unix"].get<long long>()));
  EXPECT_GE(d["segundos"].get<double>(), 0.0);

  const json& imp = d["importaciones"];
  ASSERT_EQ(imp.size(), 3u) << d.dump(2);
  const json &empleado = imp[0], &jerarquias = imp[1], &planeacion = imp[2];
  // The planning counts lines read and rejected, and Kardex rows per day;
  // its "_Ok.txt" file holds a line's text once per day written.
  for (const auto& [i, tipo, nombre, fuente, tabla] :
       {std::tuple{&empleado, "tabla", "Empleado", "E.txt", "Empleado"},
        std::tuple{&planeacion, "planeacion", "Planeacion Faltas", "p.txt", "Kardex"}}) {
    SCOPED_TRACE(nombre);
    EXPECT_EQ((*i)["tipo"], tipo);
    EXPECT_EQ((*i)["nombre"], nombre);
    EXPECT_EQ((*i)["estado"], "importada");
    EXPECT_TRUE((*i)["motivo"].is_null());
    EXPECT_EQ((*i)["leidas"].get<long>(), Lineas(tmp.Archivo(fuente)));
    EXPECT_EQ((*i)["rechazadas"].get<long>(), 1);
    EXPECT_EQ((*i)["rechazadas"].get<long>(), Lineas((*i)["archivo_er"].get<std::string>()));
    EXPECT_EQ((*i)["agregadas"].get<long>() + (*i)["actualizadas"].get<long>(),
              Lineas((*i)["archivo_ok"].get<std::string>()));
    EXPECT_EQ((*i)["agregadas"].get<long>(), Filas(tabla));
    EXPECT_EQ((*i)["sin_procesar"].get<long>(), 0);
  }
  EXPECT_EQ(empleado["actualizadas"].get<long>(), 1) << "0001 twice";
  EXPECT_EQ(planeacion["agregadas"].get<long>(), 4);

  EXPECT_EQ(jerarquias["tipo"], "tabla");
  EXPECT_EQ(jerarquias["estado"], "no importada");
  const std::string motivo = jerarquias["motivo"].get<std::string>();
  EXPECT_NE(motivo.find(tmp.Archivo("falta.txt")), std::string::npos) << motivo;
  EXPECT_NE(AnsiAUtf8(LeeBytes(Bitacora())).find(motivo), std::string::npos)
      << "the log gives the same reason";
  EXPECT_EQ(jerarquias["leidas"].get<long>(), 0);
  EXPECT_TRUE(jerarquias["archivo_ok"].is_null());

  for (const json& i : imp)
    for (const char* clave : {"archivo_ok", "archivo_er"})
      if (!i[clave].is_null()) {
        const std::string ruta = i[clave].get<std::string>();
        EXPECT_TRUE(fs::path(ruta).is_absolute() && fs::exists(ruta)) << ruta;
      }
  EXPECT_TRUE(fs::exists(d["bitacora"].get<std::string>()));
  EXPECT_EQ(Nombres(tmp.Ruta(), ".tmp"), std::vector<std::string>{});

  // The manual's jq filter, its groff escapes undone.
  const std::string manual = LeeBytes(std::string(VARLODI_SOURCE_DIR) + "/man/varlodi.1");
  const std::size_t marca = manual.find("El filtro de jq");
  ASSERT_NE(marca, std::string::npos);
  const std::size_t ex = manual.find("\n.EX\n", marca), ee = manual.find("\n.EE\n", marca);
  ASSERT_LT(ex, ee);
  std::string ejemplo = manual.substr(ex + 5, ee - ex - 5);
  for (auto [groff, texto] : {std::pair<std::string, std::string>{"\\(aq", "'"},
                              {"\\-", "-"},
                              {"\\&", ""},
                              {"\\e", "\\"}})
    for (std::size_t i = 0; (i = ejemplo.find(groff, i)) != std::string::npos; i += texto.size())
      ejemplo.replace(i, groff.size(), texto);
  const std::size_t desde = ejemplo.find('\''), hasta = ejemplo.rfind('\'');
  ASSERT_LT(desde, hasta) << ejemplo;
  EscribeBytes(tmp.Archivo("filtro.jq"), ejemplo.substr(desde + 1, hasta - desde - 1));
  const std::string metricas =
      Imprime("jq -r -f '" + tmp.Archivo("filtro.jq") + "' '" + tmp.Archivo("resumen.json") + "'");

  // name{labels} value, one a line, as the textfile collector reads them
  const std::regex patron(
      R"re(([a-z_]+)\{definiciones="([^"]*)"(,importacion="([^"]*)")?\} (\S+))re");
  std::map<std::string, std::string> valor;
  std::istringstream lineas(metricas);
  for (std::string l; std::getline(lineas, l);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, patron)) << l;
    EXPECT_EQ(m[2], tmp.Archivo("defs.ini"));
    valor[m[1].str() + (m[4].matched ? "/" + m[4].str() : "")] = m[5];
  }
  EXPECT_EQ(valor["varlodi_estado_salida"], std::to_string(estado));
  EXPECT_EQ(valor["varlodi_importada/Empleado"], "1");
  EXPECT_EQ(valor["varlodi_rechazadas/Empleado"],
            std::to_string(Lineas(tmp.Archivo("Log/Empleado_Er.txt"))));
  EXPECT_EQ(valor["varlodi_sin_procesar/Empleado"], "0");
  EXPECT_EQ(valor["varlodi_importada/Jerarquias"], "0");
  EXPECT_EQ(valor["varlodi_fin_timestamp_seconds"], std::to_string(d["fin_unix"].get<long long>()));
  EXPECT_EQ(valor.size(), 2 + 3 * imp.size()) << metricas;
}

// SIGTERM in the middle of a table: the summary says 143, the table is
// incomplete, and its counts are still the lines of its "_Ok.txt" file and
// the rows that were committed.
TEST_F(Consola, InterruptedRunLeavesAWholeSummary) {
  Definiciones(prueba::ListaTablas({"Empleado"}) + Empleado());
  constexpr int kLineas = 100000;
  std::string fuente;
  for (int i = 1; i <= kLineas; ++i) fuente += std::to_string(i) + ",N\r\n";
  EscribeBytes(tmp.Archivo("E.txt"), fuente);
  const std::string ok = tmp.Archivo("Log/Empleado_Ok.txt");

  prueba::CopiaPrograma(tmp.Ruta());
  const pid_t pid = prueba::LanzaHastaQueEscriba(tmp.Ruta(), ok, "--resumen resumen.json");
  ASSERT_GT(pid, 0) << "the program ended before it could be stopped";
  kill(pid, SIGTERM);
  const int estado = prueba::detalle::Espera(pid);
  EXPECT_EQ(estado, 143);

  const json d = Documento();
  EXPECT_EQ(d["estado_salida"].get<int>(), estado);
  ASSERT_EQ(d["importaciones"].size(), 1u);
  const json& e = d["importaciones"][0];
  EXPECT_EQ(e["estado"], "incompleta");
  EXPECT_FALSE(e["motivo"].is_null());
  EXPECT_EQ(e["leidas"].get<long>(), kLineas);
  EXPECT_GT(e["sin_procesar"].get<long>(), 0);
  EXPECT_EQ(e["agregadas"].get<long>(), Lineas(ok));
  EXPECT_EQ(e["agregadas"].get<long>(), Filas("Empleado"));
  EXPECT_EQ(e["agregadas"].get<long>() + e["sin_procesar"].get<long>(), kLineas);
  EXPECT_EQ(Nombres(tmp.Ruta(), ".tmp"), std::vector<std::string>{});
}

// A summary that cannot be written is said on stderr with the system's
// reason; the exit status stays the run's, and nothing is left behind.
TEST_F(Consola, AFailedSummaryWriteChangesNeitherTheStatusNorTheTarget) {
  const std::string defs = Definiciones();
  fs::create_directory(tmp.Archivo("carpeta.json"));
  for (const auto& [ruta, motivo] :
       {std::pair{tmp.Archivo("carpeta.json"), "Es un directorio"},
        std::pair{tmp.Archivo("no/hay/r.json"), "No existe el archivo o el directorio"}}) {
    Salida s = Corre({"-q", "--resumen", ruta, defs});
    EXPECT_EQ(s.estado, 0) << ruta;
    EXPECT_EQ(s.err, "No se pudo escribir el resumen (" + ruta + "): " + motivo + "\n");
  }
  EXPECT_TRUE(fs::is_empty(tmp.Archivo("carpeta.json")));
  EXPECT_EQ(Nombres(tmp.Ruta(), ".tmp"), std::vector<std::string>{});
}

// The offset from UTC and the moment, as date(1) gives them for the same
// local time: a zone west of UTC in summer time, a half-hour zone, UTC.
TEST(ResumenFechas, OffsetAndMomentAreWhatDateSays) {
  const char* previa = std::getenv("TZ");
  const std::string zonaPrevia = previa ? previa : "";
  for (const char* zona : {"America/Mexico_City", "America/St_Johns", "Asia/Kolkata", "UTC"}) {
    for (const FechaHora& f :
         {FechaHora{2006, 8, 3, 17, 28, 36}, FechaHora{2026, 1, 15, 2, 5, 0}}) {
      setenv("TZ", zona, 1);
      tzset();
      char local[32];
      std::snprintf(local, sizeof local, "%04d-%02d-%02d %02d:%02d:%02d", f.anio, f.mes, f.dia,
                    f.hora, f.minuto, f.segundo);
      const std::string orden = std::string("TZ=") + zona + " date -d '" + local + "' ";
      EXPECT_EQ(FechaIso8601(f), Imprime(orden + "+%Y-%m-%dT%H:%M:%S%:z")) << zona << " " << local;
      EXPECT_EQ(std::to_string(SegundosUnix(f)), Imprime(orden + "+%s")) << zona << " " << local;
    }
  }
  if (previa)
    setenv("TZ", zonaPrevia.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace varlo
