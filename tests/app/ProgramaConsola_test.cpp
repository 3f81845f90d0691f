// The console program as an operator meets it: options, the program's
// folder, the definitions path, one run per folder, exit statuses, signals
// and the terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "PantallaPrueba.h"
#include "ProgramaPrueba.h"
#include "common/CerrojoCarpeta.h"
#include "common/Codificacion.h"
#include "common/Fechas.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/Definiciones.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using prueba::CarpetaTemporal;
using prueba::Ejecucion;
using prueba::EscribeBytes;
using prueba::LeeBytes;
using prueba::Salida;

const std::string kPruebe = "Pruebe 'varlodi --help'\n";
const std::string kDetenida = "...Importación detenida por un error\n";

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
    Ejecucion e = Ejecucion().Carpeta(tmp.Ruta()).Stderr(prueba::Errores::Terminal);
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
  // The absence planning (employee, date, type) from p.txt.
  std::string Planeacion() const {
    return "[Planeacion Faltas]\r\nOrigen=" + tmp.Archivo("p.txt") +
           "\r\nFormato=3\r\nColumnas=3\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\n"
           "CampoColumna3=ID_Tipo\r\n";
  }
  // The log the run wrote (found in the folder: the clock may have moved on).
  std::string Bitacora() const { return prueba::LogDeLaCorrida(tmp.Ruta()); }
  CarpetaTemporal tmp;
  std::string cadena = prueba::BaseDatosPrueba::SQLite(tmp.Ruta());
};

TEST_F(Consola, OptionsHelpAndUsageErrors) {
  struct Caso {
    std::vector<std::string> args;
    int estado;
    std::string out, err;
  };
  const Caso casos[] = {
      {{"--version"}, 0, std::string("VarloDI ") + VARLODI_VERSION + "\n", ""},
      {{"--nada", "defs.ini"}, 2, "", "varlodi: opción no reconocida: --nada\n" + kPruebe},
  };
  for (const Caso& c : casos) {
    Salida s = Corre(c.args);
    EXPECT_EQ(s.estado, c.estado) << c.args[0];
    EXPECT_EQ(s.out, c.out) << c.args[0];
    EXPECT_EQ(s.err, c.err) << c.args[0];
  }
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

// An unquoted path with spaces arrives whole; an option value that
// overflows stops the program before anything is written.
TEST_F(Consola, PathWithSpacesAndARunTimeError) {
  fs::create_directory(tmp.Archivo("mis datos"));
  fs::rename(Definiciones(), tmp.Archivo("mis datos/defs.ini"));
  Salida s = Corre({tmp.Archivo("mis"), "datos/defs.ini"});
  EXPECT_EQ(s.estado, 0) << s.err;

  EscribeBytes(tmp.Archivo("desborda.ini"), "[Opciones]\r\nReporteLog=40000\r\n");
  Salida d = Corre({tmp.Archivo("desborda.ini")}, Ejecucion().Carpeta(tmp.Archivo("otra")));
  EXPECT_EQ(d.estado, 2);
  EXPECT_EQ(d.err, "Error 6: Desbordamiento\n" + kDetenida);
  EXPECT_FALSE(fs::exists(tmp.Archivo("otra/Log")));
}

TEST_F(Consola, ProgramFolderFromOptionOrVariable) {
  const std::string defs = Definiciones();
  EXPECT_EQ(
      Corre({defs},
            Ejecucion().Carpeta(tmp.Archivo("a/b")).Variable("VARLODI_CARPETA=" + tmp.Archivo("v")))
          .estado,
      0);
  EXPECT_TRUE(fs::exists(tmp.Archivo("a/b/Log")));
  EXPECT_FALSE(fs::exists(tmp.Archivo("v")));
  Ejecucion porVariable = Ejecucion().Variable("VARLODI_CARPETA=" + tmp.Archivo("v"));
  porVariable.args = {defs};
  EXPECT_EQ(prueba::Ejecuta(tmp, porVariable).estado, 0);
  EXPECT_TRUE(fs::exists(tmp.Archivo("v/Log")));

  EscribeBytes(tmp.Archivo("archivo"), "x");
  Salida s = Corre({defs}, Ejecucion().Carpeta(tmp.Archivo("archivo/sub")));
  EXPECT_EQ(s.estado, 2);
  EXPECT_EQ(s.err, "varlodi: no se puede usar la carpeta del programa (" +
                       tmp.Archivo("archivo/sub") + "): No es un directorio\n");
  fs::create_directory(tmp.Archivo("cerrada"));
  fs::permissions(tmp.Archivo("cerrada"), fs::perms::owner_write, fs::perm_options::remove);
  fs::permissions(defs, fs::perms::others_read, fs::perm_options::add);
  Salida p = Corre({defs}, Ejecucion().Carpeta(tmp.Archivo("cerrada/sub")).ComoNadie());
  EXPECT_EQ(p.estado, 2);
  EXPECT_EQ(p.err, "varlodi: no se puede usar la carpeta del programa (" +
                       tmp.Archivo("cerrada/sub") + "): Permiso denegado\n");
}

TEST_F(Consola, UnusableDefinitionsFileStopsBeforeAnythingIsWritten) {
  ASSERT_EQ(mkfifo(tmp.Archivo("fifo.ini").c_str(), 0644), 0);
  fs::create_directory(tmp.Archivo("carpeta.ini"));
  EscribeBytes(tmp.Archivo("cerrado.ini"), "[Tablas]\r\nTotal=0\r\n");
  fs::permissions(tmp.Archivo("cerrado.ini"), fs::perms::none);
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
       }) {
    Salida s = Corre({c.ruta}, Ejecucion().Carpeta(tmp.Archivo("programa")).ComoNadie(c.comoNadie));
    EXPECT_EQ(s.estado, 2) << c.ruta;
    EXPECT_EQ(s.err, c.err + "\n" + kDetenida);
    EXPECT_FALSE(fs::exists(tmp.Archivo("programa/Log"))) << c.ruta;
  }
}

// A second run on a folder another run holds does nothing at all.
TEST_F(Consola, BusyFolderExitsFiveTouchingNothing) {
  const std::string defs = Definiciones(Jerarquias("J.txt"));
  EscribeBytes(tmp.Archivo("J.txt"), "_0A\r\n");
  fs::create_directory(tmp.Archivo("Log"));
  {
    CerrojoCarpeta otraCorrida(tmp.Archivo("Log/.varlodi.lock"));
    ASSERT_TRUE(otraCorrida.Tomado());
    Salida s = Corre({defs});
    EXPECT_EQ(s.estado, 5);
    EXPECT_EQ(s.err, "Otra corrida usa la carpeta del programa (" + tmp.Ruta() +
                         "); esta no hizo nada\n...No se importó nada: otra corrida usa la misma "
                         "carpeta\n");
    EXPECT_EQ(Corre({tmp.Archivo("no.ini")}).estado, 2) << "2 antes que 5";
    std::vector<std::string> enLog;
    for (const auto& e : fs::directory_iterator(tmp.Archivo("Log")))
      enLog.push_back(e.path().filename().string());
    EXPECT_EQ(enLog, std::vector<std::string>{".varlodi.lock"});
  }
  EXPECT_EQ(Corre({defs}).estado, 0);
  EXPECT_TRUE(fs::exists(tmp.Archivo("Log/Jerarquias_Ok.txt")));
}

TEST_F(Consola, ExitStatusAndWhatStderrTells) {
  auto empleado = [&](const std::string& tabla) {
    return prueba::ListaTablas({tabla}) + prueba::SeccionComas(tabla, tmp.Archivo("E.txt"),
                                                               "ID_Empleado",
                                                               {"ID_Empleado", "Nombre"});
  };
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n,Sin llave\r\n");

  // The last line: how the run ended and, unless it exited 0, where its log is.
  auto fin = [this](const std::string& titular) {
    return titular + ". Vea la bitácora: " + Bitacora() + "\n";
  };
  Salida limpia = Corre({"-q", Definiciones()});
  EXPECT_EQ(limpia.estado, 0);
  EXPECT_EQ(limpia.err, "") << "silenciosa y sin errores";
  // an absence planning alone, clean too: its summaries, no headline
  EscribeBytes(tmp.Archivo("p.txt"), "7,2006-08-01,VAC\r\n");
  Salida faltas = Corre({"-q", Definiciones("[Tablas]\r\nTotal=0\r\n" + Planeacion())});
  EXPECT_EQ(faltas.estado, 0) << faltas.err;
  EXPECT_EQ(faltas.err.find("...Importación"), std::string::npos) << faltas.err;
  EXPECT_NE(AnsiAUtf8(LeeBytes(Bitacora())).find("\r\nFin de importación de Incidencias ("),
            std::string::npos);
  Salida conAvance = Corre({Definiciones()});
  EXPECT_NE(conAvance.err.find("Conectando con la base de datos...\n"), std::string::npos);
  EXPECT_TRUE(conAvance.err.ends_with("\n...Importación terminada!\n")) << conAvance.err;

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
  const std::size_t error = bitacora.find("] Error: -");
  ASSERT_NE(error, std::string::npos) << bitacora;
  const std::size_t inicio = bitacora.rfind('\n', error) + 1;
  const std::size_t sello = bitacora.rfind(" (", bitacora.find("\r\n", error));
  const std::string linea = bitacora.substr(inicio, sello - inicio);
  EXPECT_EQ(sinTabla.err.rfind(linea + "\n", 0), 0u) << sinTabla.err;
  EXPECT_TRUE(sinTabla.err.ends_with("\n" + fin("...Importación terminada con errores")))
      << sinTabla.err;

  cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("no/hay/v.db");
  Salida sinBase = Corre({"-q", Definiciones(empleado("Empleado"))});
  EXPECT_EQ(sinBase.estado, 3);
  EXPECT_TRUE(sinBase.err.ends_with(
      "\n" + fin("...Importación detenida: sin conexión con la base de datos")))
      << sinBase.err;
}

// A closed or broken stderr never stops the work.
TEST_F(Consola, BrokenOrClosedStderrDoesNotStopTheRun) {
  const std::string defs = Definiciones();
  for (prueba::Errores errores : {prueba::Errores::TuberiaCerrada, prueba::Errores::Cerrado}) {
    fs::remove_all(tmp.Archivo("Log"));
    Salida s = Corre({defs}, Ejecucion().Stderr(errores));
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
  std::vector<std::string> pantalla = prueba::Pantalla(limpia.out);
  // No planning configured: no stage of it.
  EXPECT_TRUE(prueba::PantallaEs(
      pantalla, {"Conectando con la base de datos...",
                 "Obteniendo información del archivo de definiciones (" + defs + ")...",
                 "Abriendo archivo origen (" + tmp.Archivo("j.txt") + ")...",
                 "[####################] Importando datos (Jerarquias)... (3 de 3)…",
                 "Resumen Jerarquias: 3 leídas, 3 agregadas, 0 actualizadas, 0 rechazadas, …",
                 "...Importación terminada!"}))
      << prueba::Junta(pantalla);
  EXPECT_EQ(prueba::TrasUltimoBorrado(limpia.out), "...Importación terminada!\n");

  // A rejected line, and a planning whose source is missing.
  EscribeBytes(tmp.Archivo("j.txt"), "_0Z,\r\n,sin llave\r\n");
  Definiciones(tabla + Planeacion());
  Salida falla = EnPantalla({defs});
  EXPECT_EQ(falla.estado, 4);
  pantalla = prueba::Pantalla(falla.out);
  const std::string titular =
      "...Importación terminada con errores. Vea la bitácora: " + Bitacora();
  ASSERT_FALSE(pantalla.empty());
  EXPECT_EQ(pantalla.back(), titular) << prueba::Junta(pantalla);
  EXPECT_EQ(prueba::TrasUltimoBorrado(falla.out), titular + "\n");
  const auto contador = std::find_if(pantalla.begin(), pantalla.end(), [](const std::string& l) {
    return prueba::Coincide(l, "[####################] Importando datos (Jerarquias)... (2 de 2)…");
  });
  const auto resumen = std::find_if(pantalla.begin(), pantalla.end(), [](const std::string& l) {
    return l.starts_with("Resumen Jerarquias: 2 leídas, 1 agregadas, 0 actualizadas, 1 rechazadas");
  });
  ASSERT_NE(contador, pantalla.end()) << prueba::Junta(pantalla);
  EXPECT_EQ(resumen, contador + 1) << prueba::Junta(pantalla);
  // The planning is configured: its stage shows, and no bar is drawn after the summary.
  EXPECT_EQ(std::count_if(resumen, pantalla.end(),
                          [](const std::string& l) { return l.starts_with("Obteniendo"); }),
            1)
      << prueba::Junta(pantalla);
  EXPECT_EQ(
      std::find_if(resumen, pantalla.end(),
                   [](const std::string& l) { return l.starts_with("[#") || l.starts_with("[-"); }),
      pantalla.end())
      << prueba::Junta(pantalla);
}

// Questions go to the terminal even when stderr goes to a file.
TEST_F(Consola, QuestionsAreAskedOnTheTerminal) {
  const std::string defs = Definiciones();
  prueba::EnTerminal t(tmp, Ejecucion().Carpeta(tmp.Ruta()));
  EXPECT_NE(t.LeeHasta("): ").find("Archivo de definiciones (Archivos de definiciones (*.ini)): "),
            std::string::npos);
  t.Teclea(defs + "\n");
  Salida s = t.Termina();
  EXPECT_EQ(s.estado, 0) << s.err;
  EXPECT_EQ(s.err.find("Archivo de definiciones"), std::string::npos);
  EXPECT_NE(s.err.find("Conectando con la base de datos"), std::string::npos);
}

// Ctrl+C or SIGTERM while a question waits: nothing more is asked, and the
// status tells which signal it was.
TEST_F(Consola, InterruptedRunExitsWith128PlusTheSignal) {
  for (int senal : {SIGINT, SIGTERM}) {
    prueba::EnTerminal t(tmp, Ejecucion().Carpeta(tmp.Ruta()));
    t.LeeHasta("): ");
    if (senal == SIGINT)
      t.Teclea("\x03");  // the terminal sends SIGINT
    else
      kill(t.Pid(), SIGTERM);
    Salida s = t.Termina();
    EXPECT_EQ(s.estado, 128 + senal);
    EXPECT_EQ(s.out.find("Desea crear"), std::string::npos) << s.out;
    EXPECT_TRUE(s.err.ends_with("...Importación interrumpida\n")) << s.err;
  }
}

}  // namespace
}  // namespace varlo
