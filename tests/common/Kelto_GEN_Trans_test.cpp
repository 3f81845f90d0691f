#include "common/Kelto_GEN_Trans.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "support/CarpetaTemporal.h"
#include "support/RelojFijo.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::EscribeBytes;
using prueba::LeeBytes;
using Args = std::vector<std::string>;

// Only tabs separate (a run of them counts as one); spaces, quotes and
// slashes stay inside the argument; missing arguments are empty.
TEST(GetCommandLine, TabsAloneSeparateArgumentsUpToTheMaximum) {
  Kelto_GEN_Trans t;
  const std::vector<std::tuple<std::string, int, Args>> casos = {
      {"/srv/Program Files/Datos/defs.ini", 1, {"/srv/Program Files/Datos/defs.ini"}},
      {"\"/a b/c.ini\"", 1, {"\"/a b/c.ini\""}},
      {"  lead.ini ", 1, {"  lead.ini "}},
      {"a\t\tb", 5, {"a", "b", "", "", ""}},
      {"\t\ta\t\t", 3, {"a", "", ""}},
      {"\t\t", 2, {"", ""}},
      {"", 5, Args(5)},
      {"a\tb\tc", 2, {"a", "b"}}};  // stops at the maximum
  for (const auto& [linea, maximo, esperados] : casos)
    EXPECT_EQ(t.GetCommandLine(linea, maximo), esperados) << linea;
  EXPECT_THROW(t.GetCommandLine("a", 0), ErrorVarlo);
}

class EscribeTxt : public ::testing::Test {
 protected:
  prueba::RelojFijo reloj;
  CarpetaTemporal tmp;
  Kelto_GEN_Trans t;
  std::string Mensual(const std::string& base, const std::string& sufijo, const std::string& ext) {
    return tmp.Archivo("Log/" + base + "_Aug2006" + sufijo + ext);
  }
};

TEST_F(EscribeTxt, CreatesTheMissingFolderAndAppendsLinesWithCrLf) {
  std::string archivo = tmp.Archivo("Log/Empleado_Ok.txt");
  t.Escribe_Txt(archivo, "uno", false, false, false);
  t.Escribe_Txt(archivo, "", false, false, false);
  t.Escribe_Txt(archivo, "dos", false, false, false);
  EXPECT_EQ(LeeBytes(archivo), "uno\r\n\r\ndos\r\n");
}

TEST_F(EscribeTxt, FreshFilePatternEmptiesAndCreateOnlyKeepsContent) {
  std::string archivo = tmp.Archivo("r.txt");
  EscribeBytes(archivo, "viejo\r\n");
  t.Escribe_Txt(archivo, "", false, true, false);
  EXPECT_EQ(LeeBytes(archivo), "viejo\r\n");
  t.Escribe_Txt(archivo, "", true, true, false);
  EXPECT_TRUE(std::filesystem::exists(archivo));
  EXPECT_EQ(std::filesystem::file_size(archivo), 0u);
  // deleting a read-only file works too
  EscribeBytes(archivo, "x");
  std::filesystem::permissions(archivo, std::filesystem::perms::owner_read);
  t.Escribe_Txt(archivo, "nuevo", true, false, false);
  EXPECT_EQ(LeeBytes(archivo), "nuevo\r\n");
}

TEST_F(EscribeTxt, MonthlyFileRollsOverAt512000Bytes) {
  std::string log = tmp.Archivo("Log/VarloDI.log");
  t.Escribe_Txt(log, "primera", false, false, true);
  std::string mensual = Mensual("VarloDI", "", ".log");
  ASSERT_EQ(LeeBytes(mensual), "primera\r\n");

  // one byte below the limit: the line still goes in and passes it
  EscribeBytes(mensual, std::string(511999, 'x'));
  t.Escribe_Txt(log, "ab", false, false, true);
  EXPECT_EQ(std::filesystem::file_size(mensual), 512003u);
  EXPECT_FALSE(std::filesystem::exists(Mensual("VarloDI", "(1)", ".log")));

  // full: the next line starts file (1); with (1) full too, file (2)
  t.Escribe_Txt(log, "uno", false, false, true);
  EXPECT_EQ(LeeBytes(Mensual("VarloDI", "(1)", ".log")), "uno\r\n");
  EscribeBytes(Mensual("VarloDI", "(1)", ".log"), std::string(512000, 'y'));
  t.Escribe_Txt(log, "dos", false, false, true);
  EXPECT_EQ(LeeBytes(Mensual("VarloDI", "(2)", ".log")), "dos\r\n");
}

TEST_F(EscribeTxt, MonthlyFileFollowsTheClockAndKeepsTheExtension) {
  std::string log = tmp.Archivo("Log/VarloDI.log");
  reloj.Pon(FechaHora{2006, 8, 31, 23, 59, 59});
  t.Escribe_Txt(log, "agosto", false, false, true);
  reloj.Pon(FechaHora{2006, 9, 1, 0, 0, 0});
  t.Escribe_Txt(log, "septiembre", false, false, true);
  EXPECT_EQ(LeeBytes(Mensual("VarloDI", "", ".log")), "agosto\r\n");
  EXPECT_EQ(LeeBytes(tmp.Archivo("Log/VarloDI_Sep2006.log")), "septiembre\r\n");
  // a name without an extension ends in a bare dot
  t.Escribe_Txt(tmp.Archivo("Log/Bitacora"), "x", false, false, true);
  EXPECT_EQ(LeeBytes(tmp.Archivo("Log/Bitacora_Sep2006.")), "x\r\n");
}

TEST_F(EscribeTxt, PathWithoutFolderOrWithMissingGrandparentIsAnError) {
  EXPECT_THROW(t.Escribe_Txt("solo.txt", "x", false, false, false), ErrorVarlo);
  try {
    t.Escribe_Txt(tmp.Archivo("no/existe/a.txt"), "x", false, false, false);
    FAIL() << "sin error";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), 76);
  }
}

}  // namespace
}  // namespace varlo
