// The walk up "Jerarquias" that fills the levels above a unit, and the file
// a record's photograph is taken from.
#include <gtest/gtest.h>

#include <filesystem>

#include "EntornoImportacion.h"
#include "import/FotoRegistro.h"
#include "import/Jerarquia.h"
#include "import/LoteRegistros.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {
namespace {

class JerarquiaEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(JerarquiaEn, RecorridoHastaElNivelCero) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "INSERT INTO Jerarquias (Key, Parent) VALUES ('_30012', '_20005'), ('_20005', '_10001'), "
      "('_10001', '_0A'), ('_3O''K', '_2 B''2 '), ('_2B''2', '_1-'), ('_1-', '_0Top'), "
      "('_37777', '_27778'), ('_27778', '_37777'), ('_1N', NULL)");
  EXPECT_EQ(ObtenerPadres(e.Base(), "3", " 0012 "), (PadresJerarquia{"0005", "0001", "A"}));
  // apostrophes are plain values; the parent's value is trimmed
  EXPECT_EQ(ObtenerPadres(e.Base(), "3", "O'K"), (PadresJerarquia{"B'2", "-", "Top"}));
  // a unit without an entry: NULL at every level above it
  EXPECT_EQ(ObtenerPadres(e.Base(), "3", "9999"),
            (PadresJerarquia{std::nullopt, std::nullopt, std::nullopt}));

  auto error = [&](const std::string& nivel, const std::string& valor) -> std::string {
    try {
      ObtenerPadres(e.Base(), nivel, valor);
    } catch (const ErrorVarlo& ex) {
      return ex.Descripcion();
    }
    return "no error";
  };
  EXPECT_EQ(error("3", "7777"), "La jerarquía de _37777 no llega al nivel 0 en 10 pasos");
  EXPECT_EQ(error("1", "N"), "La unidad _1N no tiene padre en Jerarquias");
}

// When the level step fails, whether in the walk or while storing a level,
// every level column keeps the value it had: never half a hierarchy.
TEST_P(JerarquiaEn, FalloDelPasoDejaLosNivelesComoEstaban) {
  EntornoImportacion e(GetParam());
  const std::string larga(16, 'L');  // one more than ID_Nivel1 holds
  e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('_3U', '_2B'), ('_2B', '_1" +
                   larga + "'), ('_1" + larga + "', '_0T'), ('_3N', NULL)");
  const V niveles = {"ID_Nivel2", "ID_Nivel1", "ID_Nivel0"};
  for (const char* unidad : {"U", "N"}) {
    SCOPED_TRACE(unidad);
    e.Base().Execute("DELETE FROM Empleado");
    e.Base().Execute(
        "INSERT INTO Empleado (ID_Empleado, ID_Nivel3, ID_Nivel2, "
        "ID_Nivel1, ID_Nivel0) VALUES ('1', '" +
        std::string(unidad) + "', 'v2', 'v1', 'v0')");
    auto rs = e.Base().AbreConsulta(db::BuscaPorTexto("Empleado", {}, "ID_Empleado", "1"), 1);
    std::vector<int> indices;
    for (const std::string& n : niveles) indices.push_back(rs->IndiceCampo(n));
    RecorridosJerarquia recorridos("Empleado");
    EXPECT_THROW(EscribeNiveles(e.Base(), *rs, "ID_Nivel3", rs->IndiceCampo("ID_Nivel3"), indices,
                                recorridos),
                 ErrorVarlo);
    for (std::size_t i = 0; i < niveles.size(); ++i)
      EXPECT_EQ(rs->Texto(indices[i]), "v" + std::to_string(2 - i)) << niveles[i];
    rs->Update();
    rs->Close();
    EXPECT_EQ(e.Lee("Empleado", niveles), (Filas{{"v2", "v1", "v0"}}));
  }
}

// A unit is walked once per table: its parents come from the first walk even
// after "Jerarquias" changed; importing "Jerarquias" itself walks every time,
// and a walk that failed is not kept.
TEST_P(JerarquiaEn, CadaUnidadSeRecorreUnaVezPorTabla) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "INSERT INTO Jerarquias (Key, Parent) VALUES ('_2S', '_1M'), ('_1M', '_0N'), ('_2X', NULL)");
  RecorridosJerarquia empleados("Empleado"), jerarquias("[jerarquias]");
  const PadresJerarquia antes{"M", "N"}, despues{"Q", "N"};
  EXPECT_EQ(empleados.Padres(e.Base(), "2", "S"), antes);
  EXPECT_EQ(jerarquias.Padres(e.Base(), "2", "S"), antes);
  EXPECT_THROW(empleados.Padres(e.Base(), "2", "X"), ErrorVarlo);
  e.Base().Execute("UPDATE Jerarquias SET Parent = '_1Q' WHERE Key = '_2S'");
  e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('_1Q', '_0N')");
  e.Base().Execute("UPDATE Jerarquias SET Parent = '_1Q' WHERE Key = '_2X'");
  EXPECT_EQ(empleados.Padres(e.Base(), "2", " S "), antes);
  EXPECT_EQ(jerarquias.Padres(e.Base(), "2", "S"), despues);
  EXPECT_EQ(empleados.Padres(e.Base(), "2", "X"), despues);
}

// A line that leaves its unit empty keeps its row's unit, and its levels
// follow that unit, in every part of a batch (the rows of later parts are
// read in fewer columns).
TEST_P(JerarquiaEn, LaUnidadDeLaFilaDaLosNivelesSiLaLineaNoLaTrae) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "CREATE TABLE Unidad (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(10), ID_Nivel0 "
      "VARCHAR(15), ID_Nivel1 VARCHAR(15))");
  e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('_1A', '_0R')");
  const long registros = static_cast<long>(kLineasPorAnticipacion) + 5;
  std::string filas;
  V lineas;
  for (long i = 1; i <= registros; ++i) {
    filas += (filas.empty() ? "" : ", ") + std::string("(") + std::to_string(i) + ", 'x', 'A')";
    lineas.push_back(std::to_string(i) + ",N" + std::to_string(i) + ",");
  }
  e.Base().Execute("INSERT INTO Unidad (ID, Nombre, ID_Nivel1) VALUES " + filas);
  e.Tabla("Unidad", "ID", {"ID", "Nombre", "ID_Nivel1"}, "Jerarquia unica en columna=3\r\n");
  e.Fuente("Unidad.txt", lineas);
  EXPECT_EQ(e.Importa({}), 0);
  for (const auto& f : e.Lee("Unidad", {"ID", "Nombre", "ID_Nivel0", "ID_Nivel1"}))
    EXPECT_EQ(f, (std::vector<std::string>{f.at(0), "N" + f.at(0), "R", "A"}));
}

INSTANTIATE_TEST_SUITE_P(Motores, JerarquiaEn, TodosLosMotores(), NombreMotor);

// The folder listed once answers as the file system itself does (the peer):
// files, folders and links named like a picture, and folders that are missing.
TEST(FotoRegistro, LosArchivosListadosRespondenComoElSistemaDeArchivos) {
  namespace fs = std::filesystem;
  CarpetaTemporal tmp;
  const std::string fotos = tmp.Archivo("T_F");
  fs::create_directories(fotos + "/3.jpg");  // a folder, not a picture
  EscribeBytes(fotos + "/1.jpg", "x");
  EscribeBytes(fotos + "/2.JPG", "x");
  fs::create_symlink(fotos + "/1.jpg", fotos + "/4.jpg");
  fs::create_symlink(fotos + "/nada.jpg", fotos + "/5.jpg");
  ArchivosFotos archivos;
  for (const std::string& ruta :
       {fotos + "/1.jpg", fotos + "/2.jpg", fotos + "/2.JPG", fotos + "/3.jpg", fotos + "/4.jpg",
        fotos + "/5.jpg", fotos + "/6.jpg", tmp.Archivo("otra/1.jpg"), tmp.Archivo("T_F")}) {
    std::error_code ec;
    EXPECT_EQ(archivos.Existe(ruta), fs::is_regular_file(ruta, ec)) << ruta;
  }
}

}  // namespace
}  // namespace varlo::prueba
