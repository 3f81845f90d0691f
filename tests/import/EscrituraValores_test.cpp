// Values by type as the record write converts them, and the result lines.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "import/EscrituraRegistro.h"
#include "import/MascaraFecha.h"
#include "import/ResultadosTabla.h"

namespace varlo::prueba {
namespace {

TEST(EscrituraValores, Booleanos) {
  for (const char* falso : {"No", "no", "N", "n", "F", "falso", "False", "0", "0.0", "-0"})
    EXPECT_FALSE(ValorBooleano(falso)) << falso;
  for (const char* cierto : {"Si", "S", "Verdadero", "true", "1", "-1", "2", "x"})
    EXPECT_TRUE(ValorBooleano(cierto)) << cierto;
}

TEST(EscrituraValores, FechasConMascara) {
  MascaraFecha dma = MascaraFecha::Desde("DD/MM/YYYY");
  EXPECT_EQ(FechaDeMascara("25/12/2005", dma), (FechaHora{2005, 12, 25, 0, 0, 0}));
  // month and day beyond their range carry over
  EXPECT_EQ(FechaDeMascara("31/02/2006", dma), (FechaHora{2006, 3, 3, 0, 0, 0}));
  EXPECT_EQ(FechaDeMascara("01/13/2006", dma), (FechaHora{2007, 1, 1, 0, 0, 0}));
  // a month or day of 0 (or not a number) leaves the column as it was
  EXPECT_EQ(FechaDeMascara("25/00/2005", dma), std::nullopt);
  EXPECT_EQ(FechaDeMascara("00/12/2005", dma), std::nullopt);
  EXPECT_EQ(FechaDeMascara("xx/12/2005", dma), std::nullopt);

  MascaraFecha corta = MascaraFecha::Desde("YYMMDD");
  EXPECT_EQ(FechaDeMascara("051225", corta), (FechaHora{2005, 12, 25, 0, 0, 0}));
  EXPECT_EQ(FechaDeMascara("291225", corta), (FechaHora{2029, 12, 25, 0, 0, 0}));
  EXPECT_EQ(FechaDeMascara("301225", corta), (FechaHora{1930, 12, 25, 0, 0, 0}));
  EXPECT_EQ(FechaDeMascara("991225", corta), (FechaHora{1999, 12, 25, 0, 0, 0}));

  // the untrimmed value is cut: a leading space moves every part
  MascaraFecha iso = MascaraFecha::Desde("YYYY-MM-DD");
  EXPECT_EQ(FechaDeMascara("2005-12-25  ", iso), (FechaHora{2005, 12, 25, 0, 0, 0}));
}

TEST(EscrituraValores, FechasQueNoSePuedenFormar) {
  auto numeroDeError = [](const std::string& valor, const std::string& mascara) -> long {
    try {
      FechaDeMascara(valor, MascaraFecha::Desde(mascara));
    } catch (const ErrorVarlo& e) {
      return e.Numero();
    }
    return 0;
  };
  EXPECT_EQ(numeroDeError("25/12/20x5", "DD/MM/YYYY"), errores::TiposNoCoinciden);
  EXPECT_EQ(numeroDeError("25/1x/2005", "DD/MM/YYYY"), errores::TiposNoCoinciden);
  EXPECT_EQ(numeroDeError("25/12/2005", "DD/MM"), errores::ArgumentoNoValido);    // no year letter
  EXPECT_EQ(numeroDeError("25/12/2005", "MM/YYYY"), errores::ArgumentoNoValido);  // no day letter
  EXPECT_EQ(numeroDeError("99999/12/2005", "DDDDD/MM/YYYY"), errores::Desbordamiento);
}

TEST(EscrituraValores, LineaDeRechazo) {
  EXPECT_EQ(LineaRechazo("0001  Juan", "No coinciden los tipos", 3),
            "0001  Juan(No coinciden los tipos, Columna:3)");
  EXPECT_EQ(LineaRechazo("", "x", 0), "(x, Columna:0)");
}

}  // namespace
}  // namespace varlo::prueba
