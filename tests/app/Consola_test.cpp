// The console front end: options, usage, exit status, and the console window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/LineaComandos.h"
#include "app/VentanaConsola.h"
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

// Options come first; the rest is the definitions path joined by spaces.
TEST(Arguments, OptionsThenThePathJoinedBySpaces) {
  Argumentos a = LeeArgumentos({"--simular", "--lote", "500", "--max-rechazos=20", "-q",
                                "--carpeta", "/srv/varlo", "--fotos", "C:", "mis", "datos.ini"});
  EXPECT_EQ(a.error, "");
  EXPECT_TRUE(a.opciones.simular && a.opciones.silencioso && a.fotos);
  EXPECT_EQ(a.opciones.lote, 500);
  EXPECT_EQ(a.opciones.maxRechazos, 20);
  EXPECT_EQ(a.carpeta, "/srv/varlo");
  EXPECT_EQ(a.texto, "C: mis datos.ini");

  struct Caso {
    std::vector<std::string> args;
    std::string texto;
    bool ayuda;
  };
  for (const Caso& c :
       {Caso{{"-h"}, "", true}, Caso{{"-qh"}, "", true},
        Caso{{"defs.ini", "--help"}, "defs.ini --help", false},
        Caso{{"--", "-raro.ini"}, "-raro.ini", false}, Caso{{"a\tb.ini"}, "a\tb.ini", false}}) {
    Argumentos b = LeeArgumentos(c.args);
    EXPECT_EQ(b.error, "") << c.args[0];
    EXPECT_EQ(b.texto, c.texto) << c.args[0];
    EXPECT_EQ(b.ayuda, c.ayuda) << c.args[0];
  }
  // A value that is not a whole number above zero is refused.
  for (const char* malo : {"0", "-1", "+1", "12x", "", " 5", "99999999999999999999"})
    EXPECT_EQ(LeeArgumentos({"--lote", malo, "d.ini"}).error,
              std::string("valor no válido para --lote: '") + malo +
                  "' (se espera un número entero mayor que cero)");
  EXPECT_EQ(LeeArgumentos({"--sil"}).error, "") << "abreviatura única";
  EXPECT_EQ(LeeArgumentos({"--s"}).error, "opción no reconocida: --s") << "ambigua";
  EXPECT_EQ(LeeArgumentos({"--carpeta"}).error, "falta el valor de --carpeta");
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
