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

TEST(IncidencesDates, MaskCarryAndWindow) {
  MascaraFecha iso = MascaraFecha::Desde("YYYY-MM-DD");
  EXPECT_EQ(LeeFecha(iso, "2006-08-03"), F(2006, 8, 3));
  EXPECT_EQ(LeeFecha(iso, "  2006-08-03  "), F(2006, 8, 3));  // trimmed before the mask
  EXPECT_EQ(LeeFecha(iso, "2006-13-01"), F(2007, 1, 1));
  EXPECT_EQ(LeeFecha(iso, "2006-03-00"), F(2006, 2, 28));
  EXPECT_EQ(LeeFecha(iso, "2004-02-30"), F(2004, 3, 1));
  EXPECT_EQ(LeeFecha(iso, "2006-00-15"), F(2005, 12, 15));
  EXPECT_EQ(LeeFecha(iso, "0000-01-01"), F(2000, 1, 1));  // year 0 goes through the window

  MascaraFecha corta = MascaraFecha::Desde("dd/mm/yy");
  EXPECT_EQ(LeeFecha(corta, "01/02/29"), F(2029, 2, 1));
  EXPECT_EQ(LeeFecha(corta, "01/02/30"), F(1930, 2, 1));
  EXPECT_EQ(LeeFecha(corta, "31/12/99"), F(1999, 12, 31));
  EXPECT_EQ(LeeFecha(corta, "15/06/00"), F(2000, 6, 15));

  MascaraFecha compacta = MascaraFecha::Desde("yyyymmdd");
  EXPECT_EQ(LeeFecha(compacta, "20060803"), F(2006, 8, 3));
  // Parts are floored: " 3.7" as a day part is 3.
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("YYYY-MM-DDDD"), "2006-08-3.7 "), F(2006, 8, 3));
}

TEST(IncidencesDates, UnreadableParts) {
  MascaraFecha iso = MascaraFecha::Desde("YYYY-MM-DD");
  auto numero = [&](const std::string& valor) -> long {
    try {
      LeeFecha(iso, valor);
    } catch (const ErrorVarlo& e) {
      return e.Numero();
    }
    return 0;
  };
  EXPECT_EQ(numero("2006-AB-03"), 13);
  EXPECT_EQ(numero(""), 13);
  EXPECT_EQ(numero("2006-08"), 13);  // the day part is empty
  EXPECT_EQ(numero("   "), 13);
  try {
    LeeFecha(MascaraFecha::Desde("YYYYY-MM-DD"), "99999-01-01");
    FAIL() << "a 16-bit overflow";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), 6);
    EXPECT_EQ(e.Descripcion(), "Desbordamiento");
  }
  // A mask without a day: the part at position 0 is an invalid argument.
  try {
    LeeFecha(MascaraFecha::Desde("YYYY-MM"), "2006-08-03");
    FAIL() << "no day in the mask";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), 5);
  }
}

class IncidencesRange : public ::testing::Test {
 protected:
  DefinicionIncidencias Definicion(bool conFecha2) {
    std::string ini =
        "[Planeacion Faltas]\r\nFormato=3\r\nColumnas=4\r\nCampoColumna1=Id_Empleado\r\n"
        "CampoColumna2=Fecha1\r\nCampoColumna3=Hasta\r\n";
    if (conFecha2) ini += "CampoColumna4=Fecha2\r\n";
    return LeeDefinicionDe(tmp_, ini).d;
  }
  CarpetaTemporal tmp_;
};

TEST_F(IncidencesRange, EndDateComesFromTheColumnAfterFecha1) {
  auto d = Definicion(true);
  RangoFechas r = RangoDe(d, {"7", "2006-08-30", "2006-09-02", "1999-01-01"});
  EXPECT_EQ(r.FechaInicial, F(2006, 8, 30));
  EXPECT_EQ(r.FechaFinal, F(2006, 9, 2));
  EXPECT_EQ(r.Dias(), 4);

  RangoFechas reves = RangoDe(d, {"7", "2006-08-30", "2006-08-29", ""});
  EXPECT_EQ(reves.Dias(), 0);  // end before start: no day at all
  EXPECT_EQ(RangoDe(d, {"7", "2006-12-31", "2007-01-01", ""}).Dias(), 2);
}

TEST_F(IncidencesRange, WithoutFecha2OneDay) {
  auto d = Definicion(false);
  RangoFechas r = RangoDe(d, {"7", "2006-08-30", "2006-09-02", ""});
  EXPECT_EQ(r.FechaInicial, F(2006, 8, 30));
  EXPECT_EQ(r.FechaFinal, F(2006, 8, 30));
  EXPECT_EQ(r.Dias(), 1);
}

TEST_F(IncidencesRange, UnreadableDateNamesItsColumn) {
  auto d = Definicion(true);
  auto falla = [&](std::vector<std::string> valores) -> std::pair<long, int> {
    try {
      RangoDe(d, valores);
    } catch (const ErrorFecha& e) {
      return {e.Numero(), e.Columna()};
    }
    return {0, 0};
  };
  EXPECT_EQ(falla({"7", "2006-O8-30", "2006-09-02", ""}), (std::pair<long, int>{13, 2}));
  EXPECT_EQ(falla({"7", "2006-08-30", "", ""}), (std::pair<long, int>{13, 3}));
  EXPECT_EQ(falla({"7", "2006-08-30", "mañana", ""}), (std::pair<long, int>{13, 3}));
  EXPECT_EQ(falla({"", "", "", ""}), (std::pair<long, int>{13, 2}));
}

}  // namespace
}  // namespace varlo
