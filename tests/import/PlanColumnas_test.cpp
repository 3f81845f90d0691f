// The column plan of a table section, the date mask and the four layouts.
#include <gtest/gtest.h>

#include "AyudaImportacion.h"
#include "common/ErrorVarlo.h"
#include "db/TiposAdo.h"
#include "import/MascaraFecha.h"

namespace varlo::prueba {
namespace {

using V = std::vector<std::string>;

TEST(MascaraFecha, PosicionesDeCadaParte) {
  MascaraFecha m = MascaraFecha::Desde("DD/MM/YYYY");
  EXPECT_EQ(m.InicioDia, 1);
  EXPECT_EQ(m.LargoDia, 2);
  EXPECT_EQ(m.InicioMes, 4);
  EXPECT_EQ(m.LargoMes, 2);
  EXPECT_EQ(m.InicioAnio, 7);
  EXPECT_EQ(m.LargoAnio, 4);

  m = MascaraFecha::Desde("yyyymmdd");
  EXPECT_EQ(m.InicioAnio, 1);
  EXPECT_EQ(m.LargoAnio, 4);
  EXPECT_EQ(m.InicioMes, 5);
  EXPECT_EQ(m.LargoMes, 2);
  EXPECT_EQ(m.InicioDia, 7);
  EXPECT_EQ(m.LargoDia, 2);

  // a missing letter: start 0, length 1, so cutting with it is an error
  m = MascaraFecha::Desde("MM-DD");
  EXPECT_EQ(m.InicioAnio, 0);
  EXPECT_EQ(m.LargoAnio, 1);
  EXPECT_FALSE(m.Completa());
  try {
    ParteTexto("12-25", m.InicioAnio, m.LargoAnio);
    FAIL() << "a part at position 0 must be refused";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), errores::ArgumentoNoValido);
  }
}

TEST(Disposicion, LasCuatroDisposiciones) {
  const std::string tres =
      "Columnas=3\r\nCampoColumna1=A\r\nCampoColumna2=B\r\nCampoColumna3=C\r\n";
  const std::string anchos = "LongitudColumna1=5\r\nLongitudColumna2=0\r\nLongitudColumna3=3\r\n";
  struct Caso {
    std::string ini;  // "Otro" and the table section
    std::int16_t formato;
    std::string separador;
    std::vector<std::pair<std::string, V>> lineas;
  };
  const std::vector<Caso> casos = {
      {"[T]\r\n" + tres + anchos,
       1,
       "",
       {{"ABCDEFGHIJ", {"ABCDE", "", "FGH"}},
        {"ABCDEFG", {"ABCDE", "", "FG"}},
        {"", {"", "", ""}},
        // widths count characters, not bytes; spaces are kept
        {" ÑañuXYZW", {" Ñañu", "", "XYZ"}}}},
      // TAB: widths are not read; extra pieces dropped, missing ones empty
      {"[T]\r\nFormato=2\r\n" + tres + anchos,
       2,
       "\t",
       {{"a\t\tc\td", {"a", "", "c"}}, {"a", {"a", "", ""}}, {"", {"", "", ""}}}},
      {"[T]\r\nFormato=3\r\n" + tres, 3, ",", {{" 12 , Juan ,x", {" 12 ", " Juan ", "x"}}}},
      // "Otro" matches without regard to case
      {"[Formatos Archivo Fuente]\r\nOtro=xY\r\n[T]\r\nFormato=4\r\n" + tres,
       4,
       "xY",
       {{"1XY2xy3", {"1", "2", "3"}}}},
      {"[Formatos Archivo Fuente]\r\nOtro=\r\n[T]\r\nFormato=4\r\n" + tres,
       4,
       "",
       {{"1,2\t3", {"1,2\t3", "", ""}}}},
      // any other code is fixed width, and its widths are read
      {"[Formatos Archivo Fuente]\r\nOtro=;\r\n[T]\r\nFormato=7\r\n" + tres + anchos,
       1,
       "",
       {{"12;345678", {"12;34", "", "567"}}}},
      {"[T]\r\nFormato=abc\r\n" + tres + anchos, 1, "", {{"12;345678", {"12;34", "", "567"}}}},
  };
  CarpetaTemporal tmp;
  for (const Caso& c : casos) {
    PlanLeido p = LeePlan(tmp, c.ini, "T", "A");
    EXPECT_EQ(p.d.Formato, c.formato) << c.ini;
    EXPECT_EQ(p.d.Separador, c.separador) << c.ini;
    for (const auto& [linea, valores] : c.lineas) EXPECT_EQ(Valores(p.d, linea), valores) << c.ini;
  }
}

TEST(Disposicion, AnchosQuePasanLos16BitsODe32Bits) {
  CarpetaTemporal tmp;
  PlanLeido p = LeePlan(tmp,
                        "[T]\r\nColumnas=2\r\nCampoColumna1=A\r\nCampoColumna2=B\r\n"
                        "LongitudColumna1=30000\r\nLongitudColumna2=2768\r\n",
                        "T", "A");
  std::vector<std::string> v;
  try {
    DivisorDe(p.d).Divide("abc", v);
    ADD_FAILURE() << "1 + 30000 + 2768 passes 32767";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), errores::Desbordamiento);
  }
  try {
    LeePlan(tmp, "[T]\r\nColumnas=1\r\nCampoColumna1=A\r\nLongitudColumna1=3000000000\r\n", "T",
            "A");
    ADD_FAILURE() << "a width beyond 32 bits must be refused";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), errores::Desbordamiento);
  }
}

TEST(PlanColumnas, NombresCorchetesYColumnasSinNombre) {
  CarpetaTemporal tmp;
  PlanLeido p = LeePlan(tmp,
                        "[T]\r\nColumnas=4\r\nCampoColumna1=ID\r\nCampoColumna2=[Fecha Alta]\r\n"
                        "CampoColumna4=  Nombre  \r\nLongitudColumna1=3\r\nLongitudColumna3=2\r\n",
                        "T", "ID");
  EXPECT_TRUE(p.algunaNombrada);
  EXPECT_EQ(p.d.Campos, (V{"ID", "Fecha Alta", "", "Nombre"}));
  EXPECT_EQ(p.d.CamposSelect, (V{"ID", "[Fecha Alta]", "Nombre"}));
  EXPECT_EQ(p.d.Longitudes, (std::vector<std::int32_t>{3, 0, 2, 0}));
  // the unnamed column still takes its width
  EXPECT_EQ(Valores(p.d, "001ZZ"), (V{"001", "", "ZZ", ""}));

  PlanLeido vacio = LeePlan(tmp, "[T]\r\nColumnas=2\r\nCampoColumna1=  \r\n", "T", "ID");
  EXPECT_FALSE(vacio.algunaNombrada);
  EXPECT_TRUE(vacio.d.CamposSelect.empty());
}

TEST(PlanColumnas, ColumnasDeEmpleadoQueNuncaSeEscriben) {
  CarpetaTemporal tmp;
  const std::string columnas =
      "Columnas=3\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=id_calendario\r\n"
      "CampoColumna3=FIAplicacion\r\n";
  PlanLeido p = LeePlan(tmp, "[Empleado]\r\n" + columnas, "Empleado", "ID_Empleado");
  EXPECT_EQ(p.d.CamposSelect, (V{"ID_Empleado"}));
  EXPECT_EQ(p.d.Campos, (V{"ID_Empleado", "id_calendario", "FIAplicacion"}));
  EXPECT_TRUE(ColumnaSoloLectura("Empleado", "ID_CALENDARIO"));

  // only the table named exactly "Empleado" has the rule
  p = LeePlan(tmp, "[EMPLEADO]\r\n" + columnas, "EMPLEADO", "ID_Empleado");
  EXPECT_EQ(p.d.CamposSelect, (V{"ID_Empleado", "id_calendario", "FIAplicacion"}));
  EXPECT_FALSE(ColumnaSoloLectura("EMPLEADO", "ID_Calendario"));
}

TEST(PlanColumnas, PosicionYTipoDeLasLlaves) {
  CarpetaTemporal tmp;
  const std::vector<std::pair<std::string, int>> campos = {
      {"id_empleado", db::adInteger}, {"Fecha", db::adDBTimeStamp}, {"Nombre", db::adVarChar}};
  PlanLeido p = LeePlan(tmp,
                        "[T]\r\nColumnas=3\r\nCampoColumna1=Nombre\r\nCampoColumna2=[Fecha]\r\n"
                        "CampoColumna3=ID_Empleado\r\n",
                        "T", "ID_Empleado,[Fecha]", campos);
  EXPECT_EQ(p.d.PosicionIndice, (std::vector<std::int16_t>{3, 2}));
  // the type is found without regard to case and brackets
  EXPECT_EQ(p.d.TipoIndice, (std::vector<std::int32_t>{db::adInteger, db::adDBTimeStamp}));
  EXPECT_EQ(IndiceSinColumna(p.d), std::nullopt);

  // the key match itself is exact: id_empleado does not carry ID_Empleado
  p = LeePlan(tmp, "[T]\r\nColumnas=1\r\nCampoColumna1=id_empleado\r\n", "T", "ID_Empleado",
              campos);
  EXPECT_EQ(p.d.PosicionIndice, (std::vector<std::int16_t>{0}));
  EXPECT_EQ(IndiceSinColumna(p.d), std::optional<std::string>("ID_Empleado"));

  // pieces are not trimmed: " Fecha" is a name no column carries
  p = LeePlan(tmp, "[T]\r\nColumnas=2\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha\r\n", "T",
              "ID_Empleado, Fecha", campos);
  EXPECT_EQ(IndiceSinColumna(p.d), std::optional<std::string>(" Fecha"));

  // an empty "NombreIndice" names no key at all
  p = LeePlan(tmp, "[T]\r\nColumnas=1\r\nCampoColumna1=ID_Empleado\r\n", "T", "", campos);
  EXPECT_EQ(IndiceSinColumna(p.d), std::optional<std::string>(""));
}

TEST(PlanColumnas, ColumnaDeJerarquia) {
  CarpetaTemporal tmp;
  const std::string ini =
      "[T]\r\nColumnas=2\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2= ID_Nivel3 \r\n";
  PlanLeido p = LeePlan(tmp, ini, "T", "ID_Empleado", {}, 2);
  EXPECT_EQ(p.d.CampoJerarquia, "ID_Nivel3");
  EXPECT_EQ(p.d.CamposNivel, ", ID_Nivel2, ID_Nivel1, ID_Nivel0");
  EXPECT_EQ(p.d.ColumnasNivel, (V{"ID_Nivel2", "ID_Nivel1", "ID_Nivel0"}));

  p = LeePlan(tmp, "[T]\r\nColumnas=1\r\nCampoColumna1=ID_Nivel1\r\n", "T", "ID_Nivel1", {}, 1);
  EXPECT_EQ(p.d.CamposNivel, ", ID_Nivel0");

  // no hierarchy column: nothing read back for levels
  p = LeePlan(tmp, ini, "T", "ID_Empleado", {}, 0);
  EXPECT_EQ(p.d.CampoJerarquia, "");
  EXPECT_EQ(p.d.CamposNivel, "");
  EXPECT_TRUE(p.d.ColumnasNivel.empty());
}

}  // namespace
}  // namespace varlo::prueba
