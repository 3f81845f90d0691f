// The four layouts of a table section's columns.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "common/Kelto_API_INIFiles.h"
#include "definitions/LectorDefiniciones.h"
#include "import/DefinicionTabla.h"
#include "import/DivisorLineas.h"
#include "import/PlanColumnas.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {
namespace {

using V = std::vector<std::string>;

TEST(Disposicion, LasCuatroDisposiciones) {
  const std::string tres =
      "Columnas=3\r\nCampoColumna1=A\r\nCampoColumna2=B\r\nCampoColumna3=C\r\n";
  // a width of 0 gives the column an empty value and moves nothing
  const std::string anchos = "LongitudColumna1=5\r\nLongitudColumna2=0\r\nLongitudColumna3=3\r\n";
  struct Caso {
    std::string ini;  // "Otro" and the table section
    std::int16_t formato;
    std::string separador;
    std::vector<std::pair<std::string, V>> lineas;
  };
  const std::vector<Caso> casos = {
      // widths count characters, not bytes; spaces are kept
      {"[T]\r\n" + tres + anchos,
       1,
       "",
       {{"ABCDEFGHIJ", {"ABCDE", "", "FGH"}},
        {"", {"", "", ""}},
        {" ÑañuXYZW", {" Ñañu", "", "XYZ"}}}},
      // TAB: widths are not read; extra pieces dropped, missing ones empty
      {"[T]\r\nFormato=2\r\n" + tres + anchos,
       2,
       "\t",
       {{"a\t\tc\td", {"a", "", "c"}}, {"a", {"a", "", ""}}}},
      {"[T]\r\nFormato=3\r\n" + tres, 3, ",", {{" 12 , Juan ,x", {" 12 ", " Juan ", "x"}}}},
      // "Otro" matches without regard to case
      {"[Formatos Archivo Fuente]\r\nOtro=xY\r\n[T]\r\nFormato=4\r\n" + tres,
       4,
       "xY",
       {{"1XY2xy3", {"1", "2", "3"}}}},
      // any other code is fixed width, and its widths are read
      {"[Formatos Archivo Fuente]\r\nOtro=;\r\n[T]\r\nFormato=7\r\n" + tres + anchos,
       1,
       "",
       {{"12;345678", {"12;34", "", "567"}}}},
  };
  CarpetaTemporal tmp;
  for (const Caso& c : casos) {
    EscribeBytes(tmp.Archivo("defs.ini"), c.ini);
    Kelto_API_INIFiles perfil;
    LectorDefiniciones lector(perfil, tmp.Archivo("defs.ini"));
    DefinicionTabla d;
    d.Tabla = "T";
    d.NombreIndice = "A";
    d.Indices = {"A"};
    d.Columnas = lector.Numero("T", "Columnas", "0");
    EXPECT_TRUE(ConstruyePlan(lector, d));
    EXPECT_EQ(d.Formato, c.formato) << c.ini;
    EXPECT_EQ(d.Separador, c.separador) << c.ini;
    for (const auto& [linea, valores] : c.lineas) {
      V v;
      DivisorDe(d).Divide(linea, v);
      EXPECT_EQ(v, valores) << c.ini << " / " << linea;
    }
  }
}

// The position in a fixed-width line is 16-bit: 1 plus the widths so far past
// 32767 is error 6 once that column's value is taken, however large the
// width (a 32-bit one must not wrap around).
TEST(Disposicion, PosicionMasAllaDe32767EsDesbordamiento) {
  const std::vector<std::pair<std::vector<std::int32_t>, V>> casos = {
      {{32767}, {"ABC"}},
      {{2, 0, 32765}, {"AB", "", "C"}},
      {{2147483647}, {"ABC"}},
      {{2, 2147483647, 1}, {"AB", "C", ""}},
      {{-2147483647 - 1, 2147483647, 2147483647}, {"", "ABC", ""}},
  };
  for (const auto& [anchos, valores] : casos) {
    V v;
    try {
      DivisorLineas::AnchoFijo(anchos).Divide("ABC", v);
      ADD_FAILURE() << anchos.back() << ": no overflow";
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), errores::Desbordamiento) << anchos.back();
    }
    EXPECT_EQ(v, valores) << anchos.back();
  }
  V v;
  DivisorLineas::AnchoFijo({32765, 1}).Divide("ABC", v);  // ends at 32767: no error
  EXPECT_EQ(v, (V{"ABC", ""}));
}

}  // namespace
}  // namespace varlo::prueba
