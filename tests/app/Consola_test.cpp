// The console front end in the process: reading the options, and the
// console window with its questions.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>

#include "PantallaPrueba.h"
#include "app/LineaComandos.h"
#include "app/VentanaConsola.h"

namespace varlo {
namespace {

// Options come first; the rest is the definitions path joined by spaces.
TEST(Arguments, OptionsThenThePathJoinedBySpaces) {
  Argumentos a =
      LeeArgumentos({"--simular", "--lote", "500", "--max-rechazos=20", "-q", "--carpeta",
                     "/srv/varlo", "--resumen", "/v/r.json", "--fotos", "C:", "mis", "datos.ini"});
  EXPECT_EQ(a.error, "");
  EXPECT_TRUE(a.opciones.simular && a.opciones.silencioso && a.fotos);
  EXPECT_EQ(a.opciones.lote, 500);
  EXPECT_EQ(a.opciones.maxRechazos, 20);
  EXPECT_EQ(a.carpeta, "/srv/varlo");
  EXPECT_EQ(a.resumen, "/v/r.json");
  EXPECT_EQ(a.texto, "C: mis datos.ini");

  const std::tuple<std::vector<std::string>, std::string, bool> casos[] = {
      {{"-h"}, "", true},
      {{"-qh"}, "", true},
      {{"defs.ini", "--help"}, "defs.ini --help", false},
      {{"--", "-raro.ini"}, "-raro.ini", false},
      {{"a\tb.ini"}, "a\tb.ini", false}};
  for (const auto& [args, texto, ayuda] : casos) {
    Argumentos b = LeeArgumentos(args);
    EXPECT_EQ(std::tuple(b.error, b.texto, b.ayuda), std::tuple("", texto, ayuda)) << args[0];
  }
  // A value that is not a whole number above zero is refused.
  for (const char* malo : {"0", "-1", "+1", "12x", "", " 5", "99999999999999999999"})
    EXPECT_EQ(LeeArgumentos({"--lote", malo, "d.ini"}).error,
              std::string("valor no válido para --lote: '") + malo +
                  "' (se espera un número entero mayor que cero)");
  EXPECT_EQ(LeeArgumentos({"--sil"}).error, "") << "abreviatura única";
  EXPECT_EQ(LeeArgumentos({"--s"}).error, "opción no reconocida: --s") << "ambigua";
  EXPECT_EQ(LeeArgumentos({"--carpeta"}).error, "falta el valor de --carpeta");
  EXPECT_EQ(LeeArgumentos({"--resumen"}).error, "falta el valor de --resumen");
  EXPECT_EQ(LeeArgumentos({"--resumen=", "d.ini"}).error, "--resumen necesita un archivo");
}

// A console window's input and what it wrote.
class ConsoleWindow : public ::testing::Test {
 protected:
  std::istringstream entrada;
  std::ostringstream salida;
};

TEST_F(ConsoleWindow, WithoutTerminalPrintsStatusChangesAndAnswersNo) {
  entrada.str("s\n");
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
    v.MuestraFin("...Importación terminada!");
  }
  std::string s = salida.str();
  EXPECT_EQ(s.find("Conectando con la base de datos...\n"), 0u);
  EXPECT_EQ(s.find("Conectando", 1), std::string::npos) << "repetido";
  EXPECT_NE(s.find("VarloDI: Desea crear uno nuevo?\n"), std::string::npos);
  // The headline that says what the last status said is not said twice.
  EXPECT_TRUE(s.ends_with("\n...Importación terminada!\n")) << s;
  EXPECT_EQ(s.find("...Importación terminada!"), s.rfind("...Importación terminada!")) << s;
  EXPECT_EQ(entrada.tellg(), 0) << "leyó la entrada sin terminal";
}

TEST_F(ConsoleWindow, WithoutTerminalCountersOfAStageAreThinnedButTheLastIsKept) {
  {
    VentanaConsola v(entrada, salida, false, false);
    v.EstableceEstado("Importando datos (Empleado)...");
    for (int i = 1; i <= 2000; ++i)
      v.EstableceEstado("Importando datos (Empleado)... (" + std::to_string(i) + " de 2000)");
    v.EstableceEstado("...Importación terminada!");
    for (int i = 1; i <= 3; ++i)
      v.EstableceEstado("Asignando fotografías...(" + std::to_string(i) + " de 3)");
    v.MuestraFin("...Importación terminada con errores. Vea la bitácora: /v/x.log");
    v.EstableceEstado("Obteniendo información del archivo de definiciones (d.ini)...");
  }
  std::string s = salida.str();
  EXPECT_EQ(s.find("Importando datos (Empleado)...\n"), 0u);
  std::size_t ultimo = s.find("Importando datos (Empleado)... (2000 de 2000)\n");
  ASSERT_NE(ultimo, std::string::npos) << s;
  EXPECT_LT(ultimo, s.find("...Importación terminada!\n"));
  EXPECT_LT(s.find("...Importación terminada!\n"), s.find("Asignando fotografías...(1 de 3)\n"));
  // The last counter held back comes out before the headline, which is last.
  EXPECT_TRUE(
      s.ends_with("Asignando fotografías...(3 de 3)\n...Importación terminada con errores. "
                  "Vea la bitácora: /v/x.log\n"))
      << s;
  EXPECT_LT(std::count(s.begin(), s.end(), '\n'), 100) << "una línea por registro";
}

// A table imported on a terminal, as the engines drive the window: the
// status changes before its progress, and a counter names the line being
// read before the bar moves past it.
void ImportaTabla(VentanaConsola& v, const std::string& tabla, int lineas) {
  v.EstableceEstado("Abriendo archivo origen (" + tabla + ".txt)...");
  v.EstableceMaximo(lineas);
  v.EstableceValor(0);
  v.EstableceEstado("Importando datos (" + tabla + ")...");
  for (int i = 1; i <= lineas; ++i) {
    v.EstableceEstado("Importando datos (" + tabla + ")... (" + std::to_string(i) + " de " +
                      std::to_string(lineas) + ")");
    v.ProcesaEventos();
    v.EstableceValor(i);
  }
}

// Each stage is left on its own line, a counting one with its last counter
// and a full bar; the summary follows its table, and the headline is the
// last line, in place of the engine's last status when they say the same.
TEST_F(ConsoleWindow, OnATerminalEachStageEndsOnItsOwnLineAndTheHeadlineLast) {
  VentanaConsola v(entrada, salida, false, true);
  v.EstableceEstado("");
  v.EstableceEstado("Conectando con la base de datos...");
  EXPECT_EQ(salida.str(), "Conectando con la base de datos...") << "sin barra ni contador";
  ImportaTabla(v, "Jerarquias", 7);
  v.MuestraResumen("Resumen Jerarquias: 7 leídas");
  ImportaTabla(v, "Empleado", 250);
  v.MuestraResumen("Resumen Empleado: 250 leídas");
  v.EstableceEstado("...Importación terminada!");
  v.MuestraFin("...Importación terminada!");
  const std::string alTerminar = salida.str();
  // Nothing is drawn once the run has ended.
  v.EstableceEstado("Obteniendo información del archivo de definiciones (d.ini)...");
  v.EstableceValor(3);
  v.ProcesaEventos();
  v.MuestraFin("...Importación terminada con errores");
  v.Termina();
  EXPECT_EQ(salida.str(), alTerminar);

  EXPECT_TRUE(prueba::PantallaEs(
      alTerminar,
      {"Conectando con la base de datos...", "Abriendo archivo origen (Jerarquias.txt)...",
       "[####################] Importando datos (Jerarquias)... (7 de 7)…",
       "Resumen Jerarquias: 7 leídas", "Abriendo archivo origen (Empleado.txt)...",
       "[####################] Importando datos (Empleado)... (250 de 250)…",
       "Resumen Empleado: 250 leídas", "...Importación terminada!"}));
  EXPECT_EQ(prueba::TrasUltimoBorrado(alTerminar), "...Importación terminada!\n");
}

// An error line in the middle of a stage stands below the stage's line as it
// was then; the stage goes on on a line of its own and ends with its last
// counter. Photo counters have no space before their parenthesis.
TEST_F(ConsoleWindow, AnErrorLineInTheMiddleOfAStageLeavesNoStaleBar) {
  {
    VentanaConsola v(entrada, salida, false, true);
    v.EstableceEstado("Preparando asignación de fotografías...");
    v.EstableceMaximo(4);
    for (int i = 1; i <= 4; ++i) {
      v.EstableceEstado("Asignando fotografías...(" + std::to_string(i) + " de 4)");
      v.EstableceValor(i);
      if (i == 2) v.MuestraError("[VarloDI] Error: 53 No se encontró el archivo");
    }
    v.EstableceEstado("...asignación de fotografías terminada!");
  }  // a window that ends without a headline finishes its line
  EXPECT_TRUE(
      prueba::PantallaEs(salida.str(), {"Preparando asignación de fotografías...",
                                        "[##########----------] Asignando fotografías...(2 de 4)…",
                                        "[VarloDI] Error: 53 No se encontró el archivo",
                                        "[####################] Asignando fotografías...(4 de 4)…",
                                        "...asignación de fotografías terminada!"}));
  EXPECT_EQ(salida.str().back(), '\n');
}

// With -q on a terminal: no status, no bar; the summary and the headline.
TEST_F(ConsoleWindow, SilentOnATerminalPrintsOnlySummaryAndHeadline) {
  VentanaConsola v(entrada, salida, false, true);
  v.EstableceSilencioso(true);
  ImportaTabla(v, "Empleado", 3);
  v.MuestraResumen("Resumen Empleado: 3 leídas, 1 rechazadas");
  v.MuestraFin("...Importación terminada con registros rechazados. Vea la bitácora: /v/x.log");
  EXPECT_EQ(salida.str(),
            "Resumen Empleado: 3 leídas, 1 rechazadas\n\r\x1b[K...Importación terminada con "
            "registros rechazados. Vea la bitácora: /v/x.log\n");
}

TEST_F(ConsoleWindow, TablePickerReadsNumbersOrAllAndAsksAgainOtherwise) {
  using Sel = std::optional<std::vector<bool>>;
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("1, 3", 3), (Sel{{true, false, true}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("2,2 ", 3), (Sel{{false, true, false}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas(" Todas", 2), (Sel{{true, true}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("*", 2), (Sel{{true, true}}));
  EXPECT_EQ(VentanaConsola::LeeSeleccionTablas("", 2), (Sel{{false, false}}));
  for (const char* malo : {"4", "0", "1 x", "2x", "-1", "99999999999999"})
    EXPECT_EQ(VentanaConsola::LeeSeleccionTablas(malo, 3), std::nullopt) << malo;

  // An answer it cannot read is asked again; the choice is repeated back.
  entrada.str("1 y\n2\n");
  VentanaConsola v(entrada, salida, true, false);
  EXPECT_EQ(v.EligeTablas({"Empleado", "Kardex"}), (std::vector<bool>{false, true}));
  EXPECT_NE(salida.str().find("No se entiende la respuesta"), std::string::npos) << salida.str();
  EXPECT_NE(salida.str().find("Tablas elegidas: Kardex\n"), std::string::npos) << salida.str();
}

// The PostgreSQL prompts write the native provider's string.
TEST(ConsoleConnection, PostgreSqlPromptsWriteTheNativeString) {
  // the first try lacks the database and is not tried; the second is
  // refused by the server; the third opens (the port kept at its default)
  std::istringstream entrada(
      "4\ndb.local\n\n\nana\nx\n"
      "4\n\n\nno_existe\n\n x;y \n"
      "4\n\n\nrh\n\n x;y \n");
  std::ostringstream salida;
  std::vector<std::string> probadas;
  auto probar = [&](const std::string& c) {
    probadas.push_back(c);
    return c.find("no_existe") != std::string::npos ? std::string("no existe") : std::string();
  };
  VentanaConsola v(entrada, salida, true, false);
  const std::optional<std::string> cadena = v.ComponeConexion("", probar);
  const std::string esperada =
      "Provider=PostgreSQL;Data Source=db.local;Port=5432;Initial Catalog=rh;User ID=ana;"
      "Password=\" x;y \"";
  EXPECT_EQ(cadena, esperada);
  EXPECT_EQ(probadas.size(), 2u);
  const std::string s = salida.str();
  EXPECT_NE(s.find("La prueba de conexión falló: Falta la base de datos.\n"), std::string::npos)
      << s;
  EXPECT_NE(s.find("La prueba de conexión falló: no existe\n"), std::string::npos) << s;
}

}  // namespace
}  // namespace varlo
