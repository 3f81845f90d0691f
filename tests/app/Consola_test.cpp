// The console front end: options, usage, exit status, and the console window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/LineaComandos.h"
#include "app/VentanaConsola.h"
#include "common/Codificacion.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::EscribeBytes;
using prueba::LeeBytes;

struct Salida {
  int estado;
  std::string err;
  std::string out;
};

// Runs a copy of the console program from its own folder, stdin closed.
Salida Ejecuta(const CarpetaTemporal& tmp, const std::string& args) {
  std::string exe = tmp.Archivo("varlodi");
  if (!std::filesystem::exists(exe))
    std::filesystem::copy_file(std::string(VARLODI_BIN_DIR) + "/varlodi", exe);
  std::string cmd = "cd '" + tmp.Ruta() + "' && LC_ALL=C '" + exe + "' " + args + " </dev/null >'" +
                    tmp.Archivo("out.txt") + "' 2>'" + tmp.Archivo("err.txt") + "'";
  int r = std::system(cmd.c_str());
  return {WEXITSTATUS(r), LeeBytes(tmp.Archivo("err.txt")), LeeBytes(tmp.Archivo("out.txt"))};
}

TEST(ConsoleProgram, VersionAndHelpExitZero) {
  CarpetaTemporal tmp;
  Salida v = Ejecuta(tmp, "--version");
  EXPECT_EQ(v.estado, 0);
  EXPECT_EQ(v.out, std::string("VarloDI ") + VARLODI_VERSION + "\n");
  Salida h = Ejecuta(tmp, "--help");
  EXPECT_EQ(h.estado, 0);
  EXPECT_NE(h.out.find("--fotos"), std::string::npos);
}

TEST(ConsoleProgram, NoPathAndNoTerminalPrintsUsageWithoutLog) {
  CarpetaTemporal tmp;
  Salida s = Ejecuta(tmp, "");
  EXPECT_EQ(s.estado, 2);
  EXPECT_NE(s.err.find("Uso: varlodi"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(tmp.Archivo("Log")));
  EXPECT_EQ(Ejecuta(tmp, "--nada").estado, 2);
  EXPECT_EQ(Ejecuta(tmp, "--fotos").estado, 2);
}

TEST(ConsoleProgram, OverflowingOptionIsARunTimeError) {
  CarpetaTemporal tmp;
  EscribeBytes(tmp.Archivo("defs.ini"), "[Opciones]\r\nReporteLog=40000\r\n");
  Salida s = Ejecuta(tmp, "defs.ini");
  EXPECT_EQ(s.estado, 2);
  EXPECT_EQ(s.err, "Error 6: Desbordamiento\n");
  EXPECT_FALSE(std::filesystem::exists(tmp.Archivo("Log")));
}

// One cause per run: a clean run is 0; a rejected record, an error line or a
// configured table or absence planning that could not be read is 1.
TEST(ConsoleProgram, ExitStatusOfARunThatEnds) {
  const std::string tabla =
      "[Jerarquias]\r\nOrigen=j.txt\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=2\r\n";
  const std::string columnas = "CampoColumna1=Key\r\nCampoColumna2=Parent\r\n";
  const std::string unaTabla = "[Tablas]\r\nTotal=1\r\nTabla1=Jerarquias\r\n" + tabla;
  const std::string planeacion =
      "[Tablas]\r\nTotal=0\r\n[Planeacion Faltas]\r\nOrigen=p.txt\r\nFormato=3\r\n";
  const std::string planeacionCompleta = planeacion +
                                         "Columnas=3\r\nCampoColumna1=ID_Empleado\r\n"
                                         "CampoColumna2=Fecha1\r\nCampoColumna3=ID_Tipo\r\n";
  struct Caso {
    std::string nombre;
    std::string definiciones;  // after the connection
    std::string jerarquias;    // j.txt; not written when empty
    std::string faltas;        // p.txt; not written when empty
    int estado;
    std::string lineaLog;  // a line the log must hold (the cause)
  };
  const std::vector<Caso> casos = {
      {"limpia", unaTabla + columnas, "_0A,\r\n", "", 0, "Fin de importación"},
      {"limpia con planeacion", planeacionCompleta, "", "7,2006-08-01,VAC\r\n", 0,
       "Fin de importación de Incidencias"},
      {"registro rechazado", unaTabla + columnas, "_0A,\r\n,sin llave\r\n", "", 1,
       "Fin de importación"},
      {"fuente de la tabla falta", unaTabla + columnas, "", "", 1,
       "Archivo origen no existe (j.txt)"},
      {"llave sin columna", unaTabla + "CampoColumna1=Parent\r\n", "_0A,\r\n", "", 1,
       "No tiene definida la columna índice (Key)"},
      {"ninguna columna nombrada", unaTabla, "_0A,\r\n", "", 1,
       "No tiene definida ni una sola columna"},
      {"fuente de la planeacion falta", planeacionCompleta, "", "", 1, "Archivo origen no existe"},
      {"planeacion sin columna nombrada", planeacion + "Columnas=2\r\n", "", "7,2006-08-01\r\n", 1,
       "No tiene definida ni una sola columna"},
      {"planeacion sin empleado", planeacion + "Columnas=1\r\nCampoColumna1=Fecha1\r\n", "",
       "2006-08-01\r\n", 1, "No tiene definida la columna Id_Empleado"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    CarpetaTemporal tmp;
    const std::string cadena = prueba::BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
    EscribeBytes(tmp.Archivo("defs.ini"),
                 "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + cadena + "\r\n" +
                     Utf8AAnsi(c.definiciones));
    if (!c.jerarquias.empty()) EscribeBytes(tmp.Archivo("j.txt"), c.jerarquias);
    if (!c.faltas.empty()) EscribeBytes(tmp.Archivo("p.txt"), c.faltas);
    Salida s = Ejecuta(tmp, "defs.ini");
    EXPECT_EQ(s.estado, c.estado) << s.err;
    const std::string log = AnsiAUtf8(LeeBytes(prueba::LogDeLaCorrida(tmp.Ruta())));
    EXPECT_NE(log.find("\r\n" + c.lineaLog + " ("), std::string::npos) << log;
  }
  // the database cannot be reached
  CarpetaTemporal tmp;
  EscribeBytes(tmp.Archivo("defs.ini"), "[Base de Datos]\r\nConexion=Provider=SQLite;Data Source=" +
                                            tmp.Archivo("no/existe.db") +
                                            "\r\n[Tablas]\r\nTotal=1\r\n");
  EXPECT_EQ(Ejecuta(tmp, "defs.ini").estado, 1);
}

TEST(ConsoleProgram, PathWithSpacesArrivesWhole) {
  CarpetaTemporal tmp;
  std::filesystem::create_directory(tmp.Archivo("mis datos"));
  EscribeBytes(tmp.Archivo("mis datos/defs.ini"),
               "[Opciones]\r\nReporteLog=0\r\n[Base de Datos]\r\nConexion=Provider=SQLite;Data "
               "Source=" +
                   tmp.Archivo("mis datos/v.db") + "\r\n[Tablas]\r\nTotal=0\r\n");
  Salida s = Ejecuta(tmp, "mis datos/defs.ini");
  EXPECT_EQ(s.estado, 0) << s.err;
}

TEST(Arguments, OptionsComeFirstAndTheRestIsJoinedBySpaces) {
  Argumentos a = LeeArgumentos({"--fotos", "C:", "mis", "datos.ini"});
  EXPECT_TRUE(a.fotos);
  EXPECT_EQ(a.texto, "C: mis datos.ini");
  Argumentos b = LeeArgumentos({"defs.ini", "--help"});
  EXPECT_FALSE(b.ayuda);
  EXPECT_EQ(b.texto, "defs.ini --help");
  EXPECT_FALSE(LeeArgumentos({"--x"}).error.empty());
}

TEST(ConsoleWindow, WithoutTerminalPrintsStatusChangesAndAnswersNo) {
  std::istringstream entrada("s\n");
  std::ostringstream salida;
  {
    VentanaConsola v(entrada, salida, false, false);
    v.EstableceEstado("Conectando con la base de datos...");
    v.EstableceEstado("Conectando con la base de datos...");
    EXPECT_EQ(v.MuestraMensaje("Desea crear uno nuevo?", Botones::SiNo, Icono::Pregunta, "VarloDI"),
              Respuesta::No);
    EXPECT_EQ(v.MuestraAbrir(DialogoArchivo{"Archivo de definiciones", ".ini", "/", "x|*.ini", ""}),
              "");
    EXPECT_FALSE(v.ComponeConexion("", nullptr).has_value());
    EXPECT_EQ(v.EligeTablas({"A", "B"}), (std::vector<bool>{false, false}));
    v.EstableceEstado("...Importación terminada!");
  }
  std::string s = salida.str();
  EXPECT_EQ(s.find("Conectando con la base de datos...\n"), 0u);
  EXPECT_EQ(s.find("Conectando", 1), std::string::npos) << "repetido";
  EXPECT_NE(s.find("VarloDI: Desea crear uno nuevo?\n"), std::string::npos);
  EXPECT_NE(s.find("...Importación terminada!\n"), std::string::npos);
  EXPECT_EQ(entrada.tellg(), 0) << "leyó la entrada sin terminal";
}

TEST(ConsoleWindow, WithoutTerminalCountersOfAStageAreThinnedButTheLastIsKept) {
  std::istringstream entrada;
  std::ostringstream salida;
  {
    VentanaConsola v(entrada, salida, false, false);
    v.EstableceEstado("Importando datos (Empleado)...");
    for (int i = 1; i <= 2000; ++i)
      v.EstableceEstado("Importando datos (Empleado)... (" + std::to_string(i) + " de 2000)");
    v.EstableceEstado("...Importación terminada!");
    v.EstableceEstado("Asignando fotografías...(1 de 3)");
  }
  std::string s = salida.str();
  EXPECT_EQ(s.find("Importando datos (Empleado)...\n"), 0u);
  std::size_t ultimo = s.find("Importando datos (Empleado)... (2000 de 2000)\n");
  ASSERT_NE(ultimo, std::string::npos) << s;
  EXPECT_LT(ultimo, s.find("...Importación terminada!\n"));
  EXPECT_NE(s.find("Asignando fotografías...(1 de 3)\n"), std::string::npos);
  EXPECT_LT(std::count(s.begin(), s.end(), '\n'), 100) << "una línea por registro";
}

}  // namespace
}  // namespace varlo
