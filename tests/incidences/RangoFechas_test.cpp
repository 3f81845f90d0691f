// The days of a record: the mask, carry, the two-digit-year window, the end
// date from the column after "Fecha1", and dates that cannot be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "incidences/AyudaIncidencias.h"
#include "incidences/RangoFechas.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::LeeDefinicionDe;

FechaHora F(int a, int m, int d) { return FechaHora{a, m, d, 0, 0, 0}; }

// The parts go through the common date rules (carry, two-digit-year window).
TEST(IncidencesDates, MaskCarryAndWindow) {
  MascaraFecha iso = MascaraFecha::Desde("YYYY-MM-DD");
  EXPECT_EQ(LeeFecha(iso, "2006-08-03"), F(2006, 8, 3));
  EXPECT_EQ(LeeFecha(iso, "  2006-08-03  "), F(2006, 8, 3));  // trimmed before the mask
  EXPECT_EQ(LeeFecha(iso, "2006-13-01"), F(2007, 1, 1));
  EXPECT_EQ(LeeFecha(iso, "0000-01-01"), F(2000, 1, 1));
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("dd/mm/yy"), "01/02/30"), F(1930, 2, 1));
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("yyyymmdd"), "20060803"), F(2006, 8, 3));
  // Parts are floored: " 3.7" as a day part is 3.
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("YYYY-MM-DDDD"), "2006-08-3.7 "), F(2006, 8, 3));
}

// The error number a reading fails with; 0 when it does not fail.
template <typename Lectura>
long NumeroError(Lectura lee) {
  try {
    lee();
  } catch (const ErrorVarlo& e) {
    return e.Numero();
  }
  return 0;
}

TEST(IncidencesDates, UnreadableParts) {
  struct Caso {
    std::string mascara, valor;
    long numero;
  };
  for (const Caso& c : std::vector<Caso>{{"YYYY-MM-DD", "2006-AB-03", 13},
                                         {"YYYY-MM-DD", "", 13},
                                         {"YYYY-MM-DD", "2006-08", 13},  // the day part is empty
                                         {"YYYY-MM-DD", "   ", 13},
                                         {"YYYYY-MM-DD", "99999-01-01", 6},  // 16-bit overflow
                                         // No day in the mask: the part at position 0.
                                         {"YYYY-MM", "2006-08-03", 5}})
    EXPECT_EQ(NumeroError([&] { LeeFecha(MascaraFecha::Desde(c.mascara), c.valor); }), c.numero)
        << c.mascara << " " << c.valor;
}

// "Hasta" follows "Fecha1"; with "Fecha2" configured it is the end date.
TEST(IncidencesRange, DaysFromFecha1ToTheColumnAfterIt) {
  CarpetaTemporal tmp;
  const std::string ini =
      "[Planeacion Faltas]\r\nFormato=3\r\nColumnas=4\r\nCampoColumna1=Id_Empleado\r\n"
      "CampoColumna2=Fecha1\r\nCampoColumna3=Hasta\r\n";
  auto con = LeeDefinicionDe(tmp, ini + "CampoColumna4=Fecha2\r\n").d;
  auto sin = LeeDefinicionDe(tmp, ini).d;
  struct Caso {
    bool fecha2;
    std::string desde, hasta;
    FechaHora inicial, final_;
    int dias;
  };
  for (const Caso& c : std::vector<Caso>{
           {true, "2006-08-30", "2006-09-02", F(2006, 8, 30), F(2006, 9, 2), 4},
           {true, "2006-12-31", "2007-01-01", F(2006, 12, 31), F(2007, 1, 1), 2},
           {true, "2006-08-30", "2006-08-29", F(2006, 8, 30), F(2006, 8, 29), 0},  // none
           {false, "2006-08-30", "2006-09-02", F(2006, 8, 30), F(2006, 8, 30), 1}}) {
    RangoFechas r = RangoDe(c.fecha2 ? con : sin, {"7", c.desde, c.hasta, "1999-01-01"});
    EXPECT_EQ(r.FechaInicial, c.inicial) << c.desde << " " << c.hasta;
    EXPECT_EQ(r.FechaFinal, c.final_) << c.desde << " " << c.hasta;
    EXPECT_EQ(r.Dias(), c.dias) << c.desde << " " << c.hasta;
  }

  auto falla = [&](std::vector<std::string> valores) -> std::pair<long, int> {
    try {
      RangoDe(con, valores);
    } catch (const ErrorFecha& e) {
      return {e.Numero(), e.Columna()};
    }
    return {0, 0};
  };
  // An unreadable date names its column.
  EXPECT_EQ(falla({"7", "2006-O8-30", "2006-09-02", ""}), (std::pair<long, int>{13, 2}));
  EXPECT_EQ(falla({"7", "2006-08-30", "", ""}), (std::pair<long, int>{13, 3}));
  EXPECT_EQ(falla({"7", "2006-08-30", "mañana", ""}), (std::pair<long, int>{13, 3}));
  EXPECT_EQ(falla({"", "", "", ""}), (std::pair<long, int>{13, 2}));
}

}  // namespace
}  // namespace varlo
