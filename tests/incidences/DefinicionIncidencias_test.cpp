// The settings of the absence planning, the days of a record and the Kardex
// lookup of one day.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "db/Dialecto.h"
#include "incidences/EscenarioIncidencias.h"
#include "incidences/EscrituraKardex.h"
#include "incidences/RangoFechas.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal, prueba::LeeDefinicionDe;
using V = std::vector<std::string>;

const std::string kCuatro =
    "[Planeacion Faltas]\r\nFormato=3\r\nColumnas=4\r\nCampoColumna1=ID_Empleado\r\n"
    "CampoColumna2=Fecha1\r\nCampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\n";

FechaHora F(int a, int m, int d) {
  return FechaHora{a, m, d, 0, 0, 0};
}

// Blank columns keep their place with no width, trailing blank ones drop out,
// "Fecha1" reads as "Fecha", and "Fecha2" anywhere only marks its presence.
TEST(IncidencesSettings, ColumnList) {
  // Columns | names | selected | widths | Fecha2 | column of the date | separator.
  auto resumen = [](const DefinicionIncidencias& d) {
    std::string anchos;
    for (auto a : d.Longitudes) anchos += std::to_string(a) + ",";
    return std::to_string(d.Columnas) + "|" + Une(d.Campos, ",") + "|" + Une(d.CamposSelect, ",") +
           "|" + anchos + "|" + (d.HayFecha2 ? "Fecha2" : "-") + "|" +
           std::to_string(d.ColumnaFecha) + "|" + d.Separador;
  };
  for (const auto& [seccion, esperado] : std::vector<std::pair<std::string, std::string>>{
           {"Columnas=6\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=\r\nCampoColumna3=Fecha1\r\n"
            "CampoColumna4=[Dato0_FAL]\r\nCampoColumna5=   \r\nLongitudColumna1=4\r\n"
            "LongitudColumna2=9\r\nLongitudColumna3=10\r\nLongitudColumna4=3\r\n"
            "LongitudColumna5=7\r\nLongitudColumna6=7\r\n",
            "4|Id_Empleado,,Fecha,[Dato0_FAL]|Id_Empleado,Fecha,[Dato0_FAL]|4,0,10,3,|-|3|"},
           {"columnas=4\r\nCampoColumna1=FECHA2\r\nCampoColumna2=fecha1\r\nCampoColumna3=Hasta\r\n"
            "CampoColumna4=ID_EMPLEADO\r\nLongitudColumna1=10\r\nLongitudColumna2=10\r\n"
            "LongitudColumna3=10\r\nLongitudColumna4=5\r\n",
            "4|,Fecha,Hasta,ID_EMPLEADO|Fecha,Hasta,ID_EMPLEADO|10,10,10,5,|Fecha2|2|"},
           {"Formato=3\r\nColumnas=3\r\nCampoColumna1=Fecha1\r\nCampoColumna2=Fecha2\r\n"
            "CampoColumna3=ID_Empleado\r\n",
            "3|Fecha,,ID_Empleado|Fecha,ID_Empleado|0,0,0,|Fecha2|1|,"}}) {
    CarpetaTemporal tmp;
    auto d = LeeDefinicionDe(tmp, "[planeacion faltas]\r\n" + seccion);
    EXPECT_EQ(resumen(d), esperado) << seccion;
    EXPECT_TRUE(ProblemasDefinicion(d).empty()) << seccion;
  }
}

// Dates without zeros, days that do not exist, two-digit years, ranges (an
// end before the start is a rejected line: see the whole runs).
TEST(IncidencesDates, UnpaddedImpossibleTwoDigitYearsAndRanges) {
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("dd/mm/yy"), "01/02/30"), F(1930, 2, 1));
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("dd/mm/yy"), "01/02/29"), F(2029, 2, 1));
  // written without zeros: between the mask's separators
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("YYYY-MM-DD"), " 2006-8-3 "), F(2006, 8, 3));
  EXPECT_EQ(LeeFecha(MascaraFecha::Desde("DD/MM/YYYY"), "3/8/2006"), F(2006, 8, 3));
  // a day that does not exist is refused with the value, never carried over;
  // a planned absence has no row to leave unchanged, so day or month 0 too
  for (const char* imposible :
       {"2006-13-01", "2006-02-29", "2006-8-32", "2006-00-10", "2006-1-0"}) {
    try {
      LeeFecha(MascaraFecha::Desde("YYYY-MM-DD"), imposible);
      ADD_FAILURE() << imposible;
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), errores::ArgumentoNoValido);
      EXPECT_EQ(e.Descripcion(), "Fecha inexistente (" + std::string(imposible) + ")");
    }
  }

  CarpetaTemporal tmp;
  auto d = LeeDefinicionDe(tmp, kCuatro);
  for (const auto& [desde, hasta, dias] :
       std::vector<std::tuple<std::string, std::string, int>>{{"2006-12-31", "2007-01-01", 2},
                                                              {"2006-08-30", "2006-09-02", 4},
                                                              {"2006-08-30", "2006-08-30", 1}}) {
    RangoFechas r = RangoDe(d, {"7", desde, hasta, "F"});
    EXPECT_EQ(FormatoISO(r.FechaInicial) + " " + FormatoISO(r.FechaFinal), desde + " " + hasta);
    EXPECT_EQ(DiasDesdeEpoca(r.FechaFinal) - DiasDesdeEpoca(r.FechaInicial) + 1, dias)
        << desde << " " << hasta;
  }
}

TEST(KardexQuery, TextInEachDialectDoublesTheApostrophe) {
  CarpetaTemporal tmp;
  auto d = LeeDefinicionDe(tmp, kCuatro);
  auto consulta = EscrituraKardex::ConsultaDia(d, "123", F(2006, 8, 3));
  auto apostrofo = EscrituraKardex::ConsultaDia(d, "O'Brien", F(2006, 12, 31));
  auto servidor = db::CreaDialecto(db::Motor::SqlServer)->Select(apostrofo);
  EXPECT_EQ(servidor.texto,
            "select [ID_Empleado], [Fecha], [ID_Tipo] from [Kardex] where [Id_Empleado] = "
            "'O''Brien' and [Fecha]={d '2006-12-31'}");
  EXPECT_TRUE(servidor.parametros.empty());

  // SQLite and PostgreSQL bind both keys: the text does not change from day to day.
  for (db::Motor motor : {db::Motor::SQLite, db::Motor::PostgreSql}) {
    auto dialecto = db::CreaDialecto(motor);
    auto s = dialecto->Select(apostrofo);
    EXPECT_EQ(s.texto, dialecto->Select(consulta).texto);
    EXPECT_EQ(s.texto.find("O'Brien"), std::string::npos);
    // SQLite binds the date in both forms, its stored form and the bare date another tool
    // may store, as a range and as the two values
    ASSERT_EQ(s.parametros.size(), motor == db::Motor::SQLite ? 5u : 2u);
    EXPECT_EQ(db::ValorComoTexto(s.parametros[0]), "O'Brien");
    EXPECT_EQ(db::ValorComoTexto(s.parametros[1]), "2006-12-31");
  }
}

}  // namespace
}  // namespace varlo
