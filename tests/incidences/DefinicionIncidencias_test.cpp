// The settings of the absence planning: the column list, the layouts, the
// date mask, and the mistakes found before the first line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ErrorVarlo.h"
#include "common/Plataforma.h"
#include "incidences/AyudaIncidencias.h"
#include "incidences/DefinicionIncidencias.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::LeeDefinicionDe;
using V = std::vector<std::string>;

TEST(IncidencesSettings, GeneratedSectionGivesTheFullColumnList) {
  CarpetaTemporal tmp;
  EstableceCarpetaPrograma(tmp.Ruta());
  auto [d, lectura] = LeeDefinicionDe(tmp, prueba::kSeccionGenerada);
  ASSERT_EQ(lectura, LecturaDefinicion::Completa);
  EXPECT_EQ(d.Origen, tmp.Ruta() + "/Planeacion Faltas.txt");
  EXPECT_EQ(d.Formato, 1);
  EXPECT_EQ(d.Separador, "");
  EXPECT_EQ(d.Columnas, 11);
  EXPECT_EQ(d.Campos, (V{"ID_Empleado", "Fecha", "", "ID_Tipo", "Dato0_FAL", "Dato1_FAL",
                        "Dato2_FAL", "Dato3_FAL", "Dato4_FAL", "Dato5_FAL", "Referencia"}));
  EXPECT_EQ(d.CamposSelect, (V{"ID_Empleado", "Fecha", "ID_Tipo", "Dato0_FAL", "Dato1_FAL",
                              "Dato2_FAL", "Dato3_FAL", "Dato4_FAL", "Dato5_FAL", "Referencia"}));
  EXPECT_EQ(d.Longitudes,
            (std::vector<std::int16_t>{15, 16, 16, 15, 15, 15, 15, 15, 15, 15, 50}));
  EXPECT_EQ(d.ColumnaEmpleado, 1);
  EXPECT_EQ(d.ColumnaFecha, 2);
  EXPECT_TRUE(d.HayFecha2);
  EXPECT_TRUE(ProblemasDefinicion(d).empty());

  ComponeArchivosResultado(d);
  EXPECT_EQ(d.ArchivoEr, tmp.Ruta() + "/Log/Planeacion Faltas_Incidencias_Er.txt");
  EXPECT_EQ(d.ArchivoOk, tmp.Ruta() + "/Log/Planeacion Faltas_Incidencias_Ok.txt");
}

TEST(IncidencesSettings, BlankColumnsKeepTheirPlaceAndTrailingOnesDropOut) {
  CarpetaTemporal tmp;
  auto [d, lectura] = LeeDefinicionDe(
      tmp,
      "[Planeacion Faltas]\r\nOrigen=/datos/faltas.txt\r\nColumnas=6\r\n"
      "CampoColumna1=Id_Empleado\r\nCampoColumna2=\r\nCampoColumna3=Fecha1\r\n"
      "CampoColumna4=[Dato0_FAL]\r\nCampoColumna5=   \r\n"
      "LongitudColumna1=4\r\nLongitudColumna2=9\r\nLongitudColumna3=10\r\n"
      "LongitudColumna4=3\r\nLongitudColumna5=7\r\nLongitudColumna6=7\r\n");
  ASSERT_EQ(lectura, LecturaDefinicion::Completa);
  EXPECT_EQ(d.Origen, "/datos/faltas.txt");
  EXPECT_EQ(d.Columnas, 4);  // columns 5 and 6 have no name
  EXPECT_EQ(d.Campos, (V{"Id_Empleado", "", "Fecha", "[Dato0_FAL]"}));
  // A blank column has no width, whatever its LongitudColumna says.
  EXPECT_EQ(d.Longitudes, (std::vector<std::int16_t>{4, 0, 10, 3}));
  EXPECT_EQ(d.CamposSelect, (V{"Id_Empleado", "Fecha", "[Dato0_FAL]"}));
  EXPECT_FALSE(d.HayFecha2);
  EXPECT_EQ(d.ColumnaFecha, 3);
}

TEST(IncidencesSettings, Fecha2AnywhereOnlyMarksItsPresence) {
  CarpetaTemporal tmp;
  auto [d, lectura] = LeeDefinicionDe(
      tmp,
      "[planeacion faltas]\r\ncolumnas=4\r\n"
      "CampoColumna1=FECHA2\r\nCampoColumna2=fecha1\r\nCampoColumna3=Hasta\r\n"
      "CampoColumna4=ID_EMPLEADO\r\n"
      "LongitudColumna1=10\r\nLongitudColumna2=10\r\nLongitudColumna3=10\r\n"
      "LongitudColumna4=5\r\n");
  ASSERT_EQ(lectura, LecturaDefinicion::Completa);
  EXPECT_TRUE(d.HayFecha2);
  EXPECT_EQ(d.Campos, (V{"", "Fecha", "Hasta", "ID_EMPLEADO"}));
  EXPECT_EQ(d.Longitudes, (std::vector<std::int16_t>{10, 10, 10, 5}));  // Fecha2 still takes its width
  EXPECT_EQ(d.CamposSelect, (V{"Fecha", "Hasta", "ID_EMPLEADO"}));
  EXPECT_EQ(d.ColumnaFecha, 2);
  EXPECT_EQ(d.ColumnaEmpleado, 4);
  EXPECT_TRUE(ProblemasDefinicion(d).empty());
}

TEST(IncidencesSettings, LayoutCodesAndSeparators) {
  CarpetaTemporal tmp;
  const std::string columnas =
      "Columnas=2\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha1\r\n"
      "LongitudColumna1=6\r\nLongitudColumna2=10\r\n";
  struct Caso {
    std::string formato;
    std::int16_t codigo;
    std::string separador;
    std::vector<std::int16_t> anchos;
  };
  for (const Caso& c : std::vector<Caso>{{"2", 2, "\t", {0, 0}},
                                         {"3", 3, ",", {0, 0}},
                                         {"4", 4, "-|-", {0, 0}},
                                         {"7", 1, "", {6, 10}},
                                         {"abc", 1, "", {6, 10}},
                                         {"2.5", 2, "\t", {0, 0}}}) {
    auto [d, lectura] = LeeDefinicionDe(
        tmp, "[Formatos Archivo Fuente]\r\nOtro=-|-\r\n[Planeacion Faltas]\r\nFormato=" +
                 c.formato + "\r\n" + columnas);
    ASSERT_EQ(lectura, LecturaDefinicion::Completa);
    EXPECT_EQ(d.Formato, c.codigo) << c.formato;
    EXPECT_EQ(d.Separador, c.separador) << c.formato;
    EXPECT_EQ(d.Longitudes, c.anchos) << c.formato;
  }
}

TEST(IncidencesSettings, NothingToImport) {
  CarpetaTemporal tmp;
  EXPECT_EQ(LeeDefinicionDe(tmp, "[Opciones]\r\n").lectura, LecturaDefinicion::CeroColumnas);
  EXPECT_EQ(LeeDefinicionDe(tmp, "[Planeacion Faltas]\r\nColumnas=0.4\r\n").lectura,
            LecturaDefinicion::CeroColumnas);
  EXPECT_EQ(LeeDefinicionDe(tmp, "[Planeacion Faltas]\r\nColumnas=3\r\nCampoColumna2= \r\n").lectura,
            LecturaDefinicion::NingunaColumna);
  EXPECT_EQ(LeeDefinicionDe(tmp, "[Planeacion Faltas]\r\nColumnas=-2\r\nCampoColumna1=X\r\n").lectura,
            LecturaDefinicion::NingunaColumna);
  EXPECT_THROW(LeeDefinicionDe(tmp, "[Planeacion Faltas]\r\nColumnas=40000\r\n"), ErrorVarlo);
}

TEST(IncidencesSettings, DateMaskPositions) {
  CarpetaTemporal tmp;
  // Start and length of day, month and year, whatever the case of the letters.
  auto posiciones = [&](const std::string& formato) {
    auto d = LeeDefinicionDe(tmp, "[Planeacion Faltas]\r\nFormatoFecha=" + formato +
                                      "\r\nColumnas=1\r\nCampoColumna1=Fecha1\r\n")
                 .d;
    return std::vector<int>{d.InicioDia, d.LargoDia, d.InicioMes, d.LargoMes, d.InicioAnio,
                            d.LargoAnio};
  };
  EXPECT_EQ(posiciones("dd/mm/yyyy"), (std::vector<int>{1, 2, 4, 2, 7, 4}));
  EXPECT_EQ(posiciones("DD/MM/YYYY"), (std::vector<int>{1, 2, 4, 2, 7, 4}));
  EXPECT_EQ(posiciones("YYYY-MM"), (std::vector<int>{0, 1, 6, 2, 1, 4}));
}

// Each mistake is named once, before any line is read.
TEST(IncidencesSettings, DefinitionMistakesAreNamed) {
  CarpetaTemporal tmp;
  auto problemas = [&](const std::string& seccion) {
    return ProblemasDefinicion(LeeDefinicionDe(tmp, "[Planeacion Faltas]\r\n" + seccion).d);
  };
  EXPECT_EQ(problemas("Columnas=2\r\nCampoColumna1=Empleado\r\nCampoColumna2=Fecha1\r\n"),
            V{"No tiene definida la columna Id_Empleado"});
  EXPECT_EQ(problemas("Columnas=2\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha\r\n"),
            V{"No tiene definida la columna Fecha1"});
  EXPECT_EQ(problemas("Columnas=3\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha2\r\n"
                      "CampoColumna3=Fecha1\r\n"),
            V{"Tiene definida la columna Fecha2, pero Fecha1 es la última columna y no hay "
              "columna de la que leer la fecha final"});
  // Trailing blank columns do not count: Fecha1 is still the last one.
  EXPECT_EQ(problemas("Columnas=4\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha2\r\n"
                      "CampoColumna3=Fecha1\r\n")
                .size(),
            1u);
  EXPECT_EQ(problemas("FormatoFecha=DD/MM\r\nColumnas=2\r\nCampoColumna1=Id_Empleado\r\n"
                      "CampoColumna2=Fecha1\r\n"),
            V{"El FormatoFecha \"DD/MM\" no indica el año (Y)"});
  EXPECT_EQ(problemas("FormatoFecha=aaaa-mm-dd\r\nColumnas=1\r\nCampoColumna1=Fecha1\r\n"),
            (V{"El FormatoFecha \"aaaa-mm-dd\" no indica el año (Y)",
               "No tiene definida la columna Id_Empleado"}));
  EXPECT_EQ(problemas("FormatoFecha=Y\r\nColumnas=2\r\nCampoColumna1=Id_Empleado\r\n"
                      "CampoColumna2=Fecha1\r\n"),
            V{"El FormatoFecha \"Y\" no indica el mes (M) ni el día (D)"});
}

// Lines split into exactly the configured columns; in fixed width, blank and
// zero-width columns take no characters.
TEST(IncidencesSplitting, LinesGiveOneValuePerConfiguredColumn) {
  CarpetaTemporal tmp;
  auto divide = [&](const std::string& seccion, const std::string& linea) {
    auto d = LeeDefinicionDe(tmp, "[Formatos Archivo Fuente]\r\nOtro=xY\r\n"
                                  "[Planeacion Faltas]\r\nCampoColumna1=Id_Empleado\r\n"
                                  "CampoColumna3=Fecha1\r\n" + seccion)
                 .d;
    std::vector<std::string> valores;
    DivisorDe(d).Divide(linea, valores);
    return valores;
  };
  const std::string fijo = "Columnas=4\r\nCampoColumna4=Referencia\r\nLongitudColumna1=5\r\n"
                           "LongitudColumna2=3\r\nLongitudColumna3=4\r\nLongitudColumna4=0\r\n";
  EXPECT_EQ(divide(fijo, "ABCDEFGHIJKL"), (V{"ABCDE", "", "FGHI", ""}));
  EXPECT_EQ(divide(fijo, "ABCDEFG"), (V{"ABCDE", "", "FG", ""}));
  EXPECT_EQ(divide("Formato=2\r\nColumnas=3\r\n", "7\t\t2006-08-03"), (V{"7", "", "2006-08-03"}));
  EXPECT_EQ(divide("Formato=3\r\nColumnas=3\r\n", "7,x"), (V{"7", "x", ""}));
  EXPECT_EQ(divide("Formato=3\r\nColumnas=3\r\n", "7,x,2006-08-03,sobra"),
            (V{"7", "x", "2006-08-03"}));
  EXPECT_EQ(divide("Formato=4\r\nColumnas=3\r\n", "7XYaxy2006-08-03"), (V{"7", "a", "2006-08-03"}));
}

}  // namespace
}  // namespace varlo
