// The console program as an operator meets it: options, the program's
// folder, the definitions path, one run per folder, exit statuses, signals
// and the terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ProgramaPrueba.h"
#include "common/CerrojoCarpeta.h"
#include "common/Codificacion.h"
#include "common/Fechas.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using prueba::CarpetaTemporal;
using prueba::Ejecucion;
using prueba::EscribeBytes;
using prueba::LeeBytes;
using prueba::Salida;

const std::string kPruebe = "Pruebe 'varlodi --help'\n";

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
      {{"--lote", "0", "defs.ini"},
       2,
       "",
       "varlodi: valor no válido para --lote: '0' (se espera un número entero mayor que "
       "cero)\n" +
           kPruebe},
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
  EXPECT_EQ(d.err, "Error 6: Desbordamiento\n");
  EXPECT_FALSE(fs::exists(tmp.Archivo("otra/Log")));
}

TEST_F(Consola, ProgramFolderFromOptionVariableOrExecutable) {
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

  // A copy of the program in a folder of its own writes beside itself.
  fs::create_directory(tmp.Archivo("copia"));
  fs::copy_file(prueba::detalle::Programa(), tmp.Archivo("copia/varlodi"));
  Ejecucion copia;
  copia.args = {"-h"};
  copia.programa = tmp.Archivo("copia/varlodi");
  EXPECT_NE(
      prueba::Ejecuta(tmp, copia).out.find("Carpeta del programa: " + tmp.Archivo("copia") + "\n"),
      std::string::npos);

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
    EXPECT_EQ(s.err, c.err + "\n");
    EXPECT_FALSE(fs::exists(tmp.Archivo("programa/Log"))) << c.ruta;
  }
}

// A second run on a folder another run holds does nothing at all.
TEST_F(Consola, BusyFolderExitsFiveTouchingNothing) {
  const std::string defs = Definiciones(
      "[Tablas]\r\nTotal=1\r\nTabla1=Jerarquias\r\n[Jerarquias]\r\nOrigen=" + tmp.Archivo("J.txt") +
      "\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=1\r\nCampoColumna1=Key\r\n");
  EscribeBytes(tmp.Archivo("J.txt"), "_0A\r\n");
  fs::create_directory(tmp.Archivo("Log"));
  {
    CerrojoCarpeta otraCorrida(tmp.Archivo("Log/.varlodi.lock"));
    ASSERT_TRUE(otraCorrida.Tomado());
    Salida s = Corre({defs});
    EXPECT_EQ(s.estado, 5);
    EXPECT_EQ(s.err,
              "Otra corrida usa la carpeta del programa (" + tmp.Ruta() + "); esta no hizo nada\n");
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
    return "[Tablas]\r\nTotal=1\r\nTabla1=" + tabla + "\r\n[" + tabla +
           "]\r\nOrigen=" + tmp.Archivo("E.txt") +
           "\r\nFormato=3\r\nNombreIndice=ID_Empleado\r\nColumnas=2\r\nCampoColumna1=ID_Empleado"
           "\r\nCampoColumna2=Nombre\r\n";
  };
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n,Sin llave\r\n");

  Salida limpia = Corre({"-q", Definiciones()});
  const std::string verBitacora = "Vea la bitácora: " + Bitacora() + "\n";
  EXPECT_EQ(limpia.estado, 0);
  EXPECT_EQ(limpia.err, "") << "silenciosa y sin errores";
  Salida conAvance = Corre({Definiciones()});
  EXPECT_NE(conAvance.err.find("Conectando con la base de datos...\n"), std::string::npos);

  Salida rechazo = Corre({"-q", Definiciones(empleado("Empleado"))});
  EXPECT_EQ(rechazo.estado, 1);
  // with -q only the summary and, as the run did not exit 0, where its log is
  const std::string resumen =
      "Resumen Empleado: 2 leídas, 1 agregadas, 0 actualizadas, 1 rechazadas";
  EXPECT_EQ(rechazo.err.rfind(resumen, 0), 0u) << rechazo.err;
  EXPECT_EQ(rechazo.err.substr(rechazo.err.find('\n') + 1), verBitacora);

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
  EXPECT_EQ(sinTabla.err.substr(sinTabla.err.size() - verBitacora.size()), verBitacora);

  cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("no/hay/v.db");
  EXPECT_EQ(Corre({"-q", Definiciones(empleado("Empleado"))}).estado, 3);
}

// One cause per run: a clean run is 0, a rejected record 1, and a table or
// absence planning that is configured but cannot be imported 4.
TEST_F(Consola, ExitStatusOfEachCause) {
  const std::string tabla = "[Jerarquias]\r\nOrigen=" + tmp.Archivo("j.txt") +
                            "\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=2\r\n";
  const std::string columnas = "CampoColumna1=Key\r\nCampoColumna2=Parent\r\n";
  const std::string unaTabla = "[Tablas]\r\nTotal=1\r\nTabla1=Jerarquias\r\n" + tabla;
  const std::string planeacion =
      "[Tablas]\r\nTotal=0\r\n[Planeacion Faltas]\r\nOrigen=" + tmp.Archivo("p.txt") +
      "\r\nFormato=3\r\n";
  const std::string planeacionCompleta = planeacion +
                                         "Columnas=3\r\nCampoColumna1=ID_Empleado\r\n"
                                         "CampoColumna2=Fecha1\r\nCampoColumna3=ID_Tipo\r\n";
  struct Caso {
    std::string nombre;
    std::string tablas;      // after the connection
    std::string jerarquias;  // j.txt; not written when empty
    std::string faltas;      // p.txt; not written when empty
    int estado;
    std::string lineaLog;  // a line the log must hold (the cause)
  };
  const std::vector<Caso> casos = {
      {"limpia", unaTabla + columnas, "_0A,\r\n", "", 0, "Fin de importación"},
      {"limpia con planeacion", planeacionCompleta, "", "7,2006-08-01,VAC\r\n", 0,
       "Fin de importación de Incidencias"},
      {"registro rechazado", unaTabla + columnas, "_0A,\r\n,sin llave\r\n", "", 1,
       "Fin de importación"},
      {"fuente de la tabla falta", unaTabla + columnas, "", "", 4,
       "Archivo origen no existe (" + tmp.Archivo("j.txt") + ")"},
      {"llave sin columna", unaTabla + "CampoColumna1=Parent\r\n", "_0A,\r\n", "", 4,
       "No tiene definida la columna índice (Key)"},
      {"ninguna columna nombrada", unaTabla, "_0A,\r\n", "", 4,
       "No tiene definida ni una sola columna"},
      {"fuente de la planeacion falta", planeacionCompleta, "", "", 4, "Archivo origen no existe"},
      {"planeacion sin columna nombrada", planeacion + "Columnas=2\r\n", "", "7,2006-08-01\r\n", 4,
       "No tiene definida ni una sola columna"},
      {"planeacion sin empleado", planeacion + "Columnas=1\r\nCampoColumna1=Fecha1\r\n", "",
       "2006-08-01\r\n", 4, "No tiene definida la columna Id_Empleado"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    fs::remove_all(tmp.Archivo("Log"));
    fs::remove(tmp.Archivo("j.txt"));
    fs::remove(tmp.Archivo("p.txt"));
    const std::string defs = Definiciones(Utf8AAnsi(c.tablas));
    if (!c.jerarquias.empty()) EscribeBytes(tmp.Archivo("j.txt"), c.jerarquias);
    if (!c.faltas.empty()) EscribeBytes(tmp.Archivo("p.txt"), c.faltas);
    Salida s = Corre({"-q", defs});
    EXPECT_EQ(s.estado, c.estado) << s.err;
    const std::string log = AnsiAUtf8(LeeBytes(Bitacora()));
    EXPECT_NE(log.find("\r\n" + c.lineaLog + " ("), std::string::npos) << log;
  }
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
  }
}

}  // namespace
}  // namespace varlo
