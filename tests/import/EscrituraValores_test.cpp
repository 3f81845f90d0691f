// Values by type as the record write converts them.
#include <gtest/gtest.h>

#include "import/EscrituraRegistro.h"
#include "import/MascaraFecha.h"

namespace varlo::prueba {
namespace {

TEST(EscrituraValores, Booleanos) {
  for (const char* falso : {"No", "n", "F", "falso", "False", "0", "0.0", "-0"})
    EXPECT_FALSE(ValorBooleano(falso)) << falso;
  for (const char* cierto : {"Si", "S", "Verdadero", "true", "1", "-1", "2", "x"})
    EXPECT_TRUE(ValorBooleano(cierto)) << cierto;
}

TEST(EscrituraValores, FechasConMascara) {
  const std::optional<FechaHora> nada;
  const std::vector<std::tuple<const char*, const char*, std::optional<FechaHora>>> casos = {
      {"DD/MM/YYYY", "25/12/2005", FechaHora{2005, 12, 25, 0, 0, 0}},
      // month and day beyond their range carry over
      {"DD/MM/YYYY", "31/02/2006", FechaHora{2006, 3, 3, 0, 0, 0}},
      {"DD/MM/YYYY", "01/13/2006", FechaHora{2007, 1, 1, 0, 0, 0}},
      // a month or day of 0 (or not a number) leaves the column as it was
      {"DD/MM/YYYY", "25/00/2005", nada},
      {"DD/MM/YYYY", "00/12/2005", nada},
      {"DD/MM/YYYY", "xx/12/2005", nada},
      // two-digit years: 00-29 in this century, 30-99 in the last
      {"YYMMDD", "291225", FechaHora{2029, 12, 25, 0, 0, 0}},
      {"YYMMDD", "301225", FechaHora{1930, 12, 25, 0, 0, 0}},
  };
  for (const auto& [mascara, valor, esperada] : casos)
    EXPECT_EQ(FechaDeMascara(valor, MascaraFecha::Desde(mascara)), esperada) << valor;
}

}  // namespace
}  // namespace varlo::prueba
