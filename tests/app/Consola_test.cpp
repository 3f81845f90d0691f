// The console front end in the process: reading the options, and the
// console window.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>

#include "app/LineaComandos.h"
#include "app/VentanaConsola.h"

namespace varlo {
namespace {

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

// On a terminal an error line takes the bar's place and the bar is drawn
// again below it.
TEST(ConsoleWindow, ErrorLineOnATerminalMovesTheBarDown) {
  std::istringstream entrada;
  std::ostringstream terminal;
  {
    VentanaConsola v(entrada, terminal, false, true);
    v.EstableceEstado("Importando datos (Empleado)...");
    v.MuestraError("[VarloDI] Error: 6 Desbordamiento");
  }
  EXPECT_EQ(terminal.str(),
            "\r\x1b[K[--------------------] Importando datos (Empleado)...\r\x1b[K"
            "[VarloDI] Error: 6 Desbordamiento\n"
            "\r\x1b[K[--------------------] Importando datos (Empleado)...\n");
}

TEST(ConsoleWindow, TablePickerReadsNumbersOrAllAndAsksAgainOtherwise) {
  using Sel = std::optional<std::vector<bool>>;
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("1, 3", 3), (Sel{{true, false, true}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("2,2 ", 3), (Sel{{false, true, false}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas(" Todas", 2), (Sel{{true, true}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("*", 2), (Sel{{true, true}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("", 2), (Sel{{false, false}}));
  for (const char* malo : {"4", "0", "1 x", "2x", "-1", "99999999999999"})
    EXPECT_EQ(VentanaConsola::LeeSeleccionTablas(malo, 3), std::nullopt) << malo;

  // An answer it cannot read is asked again; the choice is repeated back.
  std::istringstream entrada("1 y\n2\n");
  std::ostringstream salida;
  VentanaConsola v(entrada, salida, true, false);
  EXPECT_EQ(v.EligeTablas({"Empleado", "Kardex"}), (std::vector<bool>{false, true}));
  EXPECT_NE(salida.str().find("No se entiende la respuesta"), std::string::npos) << salida.str();
  EXPECT_NE(salida.str().find("Tablas elegidas: Kardex\n"), std::string::npos) << salida.str();
}

}  // namespace
}  // namespace varlo
