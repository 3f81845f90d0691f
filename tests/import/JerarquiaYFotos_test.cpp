// Hierarchy levels filled from "Jerarquias" and photographs taken from the
// folder beside the source file, during the table import.
#include <gtest/gtest.h>

#include <filesystem>

#include "EntornoImportacion.h"
#include "import/FotoRegistro.h"
#include "import/Jerarquia.h"

namespace varlo::prueba {
namespace {

using V = std::vector<std::string>;

void CargaJerarquias(EntornoImportacion& e,
                     const std::vector<std::pair<std::string, std::string>>& filas) {
  for (const auto& [llave, padre] : filas) {
    std::string p = padre == "NULL" ? "NULL" : "'" + DuplicaApostrofos(padre) + "'";
    e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('" + DuplicaApostrofos(llave) +
                     "', " + p + ")");
  }
}

// Empleado with Nombre and the unit at level 3 in column 3.
std::string SeccionNiveles(const EntornoImportacion& e, const std::string& columna = "ID_Nivel3") {
  return "[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nOrigen=" + e.Archivo("e.txt") +
         "\r\nFormato=3\r\nJerarquia unica en columna=3\r\nColumnas=3\r\n"
         "CampoColumna1=ID_Empleado\r\nCampoColumna2=Nombre\r\nCampoColumna3=" +
         columna + "\r\n";
}

class JerarquiaEn : public ::testing::TestWithParam<MotorPrueba> {};

const V kNiveles = {"ID_Empleado", "Nombre", "ID_Nivel3", "ID_Nivel2", "ID_Nivel1", "ID_Nivel0"};

TEST_P(JerarquiaEn, RecorridoHastaElNivelCero) {
  EntornoImportacion e(GetParam());
  CargaJerarquias(e, {{"_30012", "_20005"},
                      {"_20005", "_10001"},
                      {"_10001", "_0A"},
                      {"_3O'K", "_2 B'2 "},
                      {"_2B'2", "_1-"},
                      {"_1-", "_0Top"}});
  EXPECT_EQ(RecorreJerarquia(e.Base(), "3", " 0012 "), (PadresJerarquia{"0005", "0001", "A"}));
  // the window's own operation gives the walk as a list of literals
  VentanaFalsa v;
  frmMain f(v, "");
  f.EstableceConexion(db::Conexion::Abre(e.CadenaConexion()));
  EXPECT_EQ(f.ObtenerPadres("3", "0012"), ",'0005','0001','A'");
  EXPECT_EQ(f.ObtenerPadres("3", "O'K"), ",'B''2','-','Top'");
  // apostrophes in units are plain values; the parent's value is trimmed
  EXPECT_EQ(RecorreJerarquia(e.Base(), "3", "O'K"), (PadresJerarquia{"B'2", "-", "Top"}));
  // a unit without an entry: nothing at every level above it
  EXPECT_EQ(RecorreJerarquia(e.Base(), "3", "9999"),
            (PadresJerarquia{std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_EQ(TextoPadres(RecorreJerarquia(e.Base(), "1", "9999")), ",Null");
}

TEST_P(JerarquiaEn, RecorridoQueNoTermina) {
  EntornoImportacion e(GetParam());
  CargaJerarquias(e, {{"_37777", "_27778"}, {"_27778", "_37777"}, {"_1N", "NULL"}});
  auto error = [&](const std::string& nivel, const std::string& valor) -> std::string {
    try {
      RecorreJerarquia(e.Base(), nivel, valor);
    } catch (const ErrorVarlo& ex) {
      return ex.Descripcion();
    }
    return "";
  };
  EXPECT_EQ(error("3", "7777"), "La jerarquía de _37777 no llega al nivel 0 en 10 pasos");
  // level digit 0 of a unit without an entry walks below level 0
  EXPECT_EQ(error("0", "X"), "La jerarquía de _0X no llega al nivel 0 en 10 pasos");
  EXPECT_EQ(error("1", "N"), "La unidad _1N no tiene padre en Jerarquias");
}

TEST_P(JerarquiaEn, NivelesComoValoresDuranteLaImportacion) {
  EntornoImportacion e(GetParam());
  CargaJerarquias(e, {{"_30012", "_20005"},
                      {"_20005", "_10001"},
                      {"_10001", "_0A"},
                      {"_3O'K", "_2B'2"},
                      {"_2B'2", "_1-"},
                      {"_1-", "_0Top"},
                      {"_37777", "_27778"},
                      {"_27778", "_37777"}});
  e.Base().Execute(
      "INSERT INTO Empleado (ID_Empleado, Nombre, ID_Nivel3, ID_Nivel2, ID_Nivel1, ID_Nivel0) "
      "VALUES ('3', 'Viejo', '0012', 'x', 'y', 'z'), ('4', 'Ciclo', '0012', 'x', 'y', 'z')");
  e.Definiciones(SeccionNiveles(e));
  const V lineas = {"1,Uno,0012", "2,Dos,9999", "3,Tres,", "4,Cuatro,7777", "5,Cinco,O'K"};
  e.Fuente("e.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Empleado", kNiveles),
            (Filas{{"1", "Uno", "0012", "0005", "0001", "A"},
                   {"2", "Dos", "9999", "NULL", "NULL", "NULL"},
                   // an empty unit walks from the one the row holds
                   {"3", "Tres", "0012", "0005", "0001", "A"},
                   // a failed walk: the row is written, its levels stay as they were
                   {"4", "Cuatro", "7777", "x", "y", "z"},
                   {"5", "Cinco", "O'K", "B'2", "-", "Top"}}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{lineas[0], lineas[1], lineas[2], lineas[4]}));
  EXPECT_EQ(
      e.Resultado("Empleado_Er.txt"),
      (V{"4,Cuatro,7777(La jerarquía de _37777 no llega al nivel 0 en 10 pasos, Columna:4)"}));
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "Fin de importación"}));
}

TEST_P(JerarquiaEn, SoloLosNivelesSobreLaColumna) {
  EntornoImportacion e(GetParam());
  CargaJerarquias(e, {{"_1U", "_0R"}});
  e.Definiciones(SeccionNiveles(e, "ID_Nivel1"));
  e.Fuente("e.txt", {"1,Uno,U"});
  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Empleado", {"ID_Nivel2", "ID_Nivel1", "ID_Nivel0"}),
            (Filas{{"NULL", "U", "R"}}));
}

TEST(FotoRegistro, RutaDelArchivo) {
  EXPECT_EQ(RutaFoto("/datos/", "Empleado", "FOTO", " 123 "), "/datos/Empleado_FOTO/123.jpg");
  EXPECT_EQ(RutaFoto("/datos/", "Empleado", "Foto", ""), "/datos/Empleado_Foto/.jpg");
  EXPECT_EQ(RutaFoto("", "T", "F", "k"), "T_F/k.jpg");
}

TEST_P(JerarquiaEn, FotoDelRegistroSinValorEnLaColumna) {
  EntornoImportacion e(GetParam());
  std::filesystem::create_directories(e.Archivo("datos/Empleado_Foto"));
  const std::string jpeg1 =
      std::string("\xFF\xD8\xFF\xE0", 4) + "uno" + std::string("\0\xFF\xD9", 3);
  const std::string jpeg2 = std::string("\xFF\xD8\xFF\xE0", 4) + "dos";
  EscribeBytes(e.Archivo("datos/Empleado_Foto/1.jpg"), jpeg1);
  EscribeBytes(e.Archivo("datos/Empleado_Foto/2.jpg"), jpeg2);
  e.Base().Execute("INSERT INTO Empleado (ID_Empleado) VALUES ('3')");
  e.Definiciones(
      "[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nOrigen=" + e.Archivo("datos/e.txt") +
      "\r\nFormato=1\r\nColumnas=3\r\nCampoColumna1=ID_Empleado\r\nLongitudColumna1=3\r\n"
      "CampoColumna2=Nombre\r\nLongitudColumna2=5\r\nCampoColumna3=Foto\r\n");
  e.Fuente("datos/e.txt", {"1  Uno", " 2 Dos", "3  Tres"});

  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "Foto"}),
            (Filas{{"1", "Uno", jpeg1}, {"2", "Dos", jpeg2}, {"3", "Tres", "NULL"}}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{"1  Uno", " 2 Dos", "3  Tres"}));
}

TEST(FotoRegistro, LlaveCompuestaNoNombraUnCampo) {
  EntornoImportacion e;
  e.Definiciones(
      "[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nOrigen=" + e.Archivo("e.txt") +
      "\r\nFormato=3\r\nNombreIndice=ID_Empleado,Nombre\r\nColumnas=3\r\n"
      "CampoColumna1=ID_Empleado\r\nCampoColumna2=Nombre\r\nCampoColumna3=Foto\r\n");
  e.Fuente("e.txt", {"1,Uno,"});
  EXPECT_EQ(e.Importa(), 1);
  V er = e.Resultado("Empleado_Er.txt");
  ASSERT_EQ(er.size(), 1u);
  EXPECT_EQ(er[0].rfind("1,Uno,(", 0), 0u) << er[0];
  EXPECT_NE(er[0].find(", Columna:3)"), std::string::npos) << er[0];
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado"}), Filas{});
}

INSTANTIATE_TEST_SUITE_P(Motores, JerarquiaEn,
                         ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql),
                         [](const auto& info) {
                           return info.param == MotorPrueba::SQLite ? "SQLite" : "PostgreSql";
                         });

}  // namespace
}  // namespace varlo::prueba
