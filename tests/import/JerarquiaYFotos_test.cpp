// The walk up "Jerarquias" that fills the levels above a unit, and the file
// a record's photograph is taken from.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"
#include "import/FotoRegistro.h"
#include "import/Jerarquia.h"

namespace varlo::prueba {
namespace {

class JerarquiaEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(JerarquiaEn, RecorridoHastaElNivelCero) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "INSERT INTO Jerarquias (Key, Parent) VALUES ('_30012', '_20005'), ('_20005', '_10001'), "
      "('_10001', '_0A'), ('_3O''K', '_2 B''2 '), ('_2B''2', '_1-'), ('_1-', '_0Top'), "
      "('_37777', '_27778'), ('_27778', '_37777'), ('_1N', NULL)");
  EXPECT_EQ(RecorreJerarquia(e.Base(), "3", " 0012 "), (PadresJerarquia{"0005", "0001", "A"}));
  // apostrophes are plain values; the parent's value is trimmed
  EXPECT_EQ(RecorreJerarquia(e.Base(), "3", "O'K"), (PadresJerarquia{"B'2", "-", "Top"}));
  // a unit without an entry: NULL at every level above it
  EXPECT_EQ(RecorreJerarquia(e.Base(), "3", "9999"),
            (PadresJerarquia{std::nullopt, std::nullopt, std::nullopt}));

  auto error = [&](const std::string& nivel, const std::string& valor) -> std::string {
    try {
      RecorreJerarquia(e.Base(), nivel, valor);
    } catch (const ErrorVarlo& ex) {
      return ex.Descripcion();
    }
    return "no error";
  };
  EXPECT_EQ(error("3", "7777"), "La jerarquía de _37777 no llega al nivel 0 en 10 pasos");
  EXPECT_EQ(error("1", "N"), "La unidad _1N no tiene padre en Jerarquias");
}

INSTANTIATE_TEST_SUITE_P(Motores, JerarquiaEn,
                         ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql),
                         NombreMotor);

TEST(FotoRegistro, RutaDelArchivo) {
  EXPECT_EQ(RutaFoto("/datos/", "Empleado", "FOTO", " 123 "), "/datos/Empleado_FOTO/123.jpg");
  EXPECT_EQ(RutaFoto("", "T", "F", "k"), "T_F/k.jpg");
}

}  // namespace
}  // namespace varlo::prueba
