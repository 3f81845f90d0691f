// The definitions-file generator, driven through the fake window.
#include "definitions/CreaArchivoDefiniciones.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <optional>

#include "GeneradorPrueba.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "support/BaseDatosPrueba.h"
#include "support/RelojFijo.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using prueba::BaseDatosPrueba;
using prueba::VentanaGenerador;

// Yes to the offer, the names for the Save dialog, and the connection if any.
void Guion(VentanaGenerador& v, std::vector<std::string> nombres,
           std::optional<std::string> cadena) {
  v.respuestas.push_back(Respuesta::Si);
  v.archivosGuardar.assign(nombres.begin(), nombres.end());
  if (cadena) v.conexiones.push_back(*cadena);
}

class Generador : public ::testing::TestWithParam<bool> {  // true: PostgreSQL
 protected:
  Generador() { EstableceCarpetaPrograma(tmp.Ruta()); }
  prueba::RelojFijo reloj;
  prueba::CarpetaTemporal tmp;
};

// The whole flow from the run sequence: no file given, the Open dialog
// cancelled, a file generated for two tables, the run on it.
TEST_P(Generador, FileFollowsTheFormatKeyByKeyAndTheRunUsesIt) {
  std::setlocale(LC_TIME, "C");
  std::optional<BaseDatosPrueba> pg;
  if (GetParam()) pg.emplace(BaseDatosPrueba::PostgreSql());
  const std::string cadena = pg ? pg->Cadena() : BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  const std::string emp = pg ? "empleado" : "Empleado", jer = pg ? "jerarquias" : "Jerarquias";
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador v;
  Guion(v, {ruta}, cadena);
  v.elegir = {jer, emp};
  frmMain f(v, "");
  f.Form_Load();
  f.Form_Activate();

  ASSERT_EQ(v.mensajes.size(), 1u);
  EXPECT_EQ(v.mensajes[0].texto,
            "No se especificó archivo de definiciones.\rDesea crear uno nuevo?");
  ASSERT_EQ(v.dialogosGuardar.size(), 1u);
  EXPECT_EQ(v.dialogosGuardar[0].titulo, "Nuevo Archivo de definiciones");
  EXPECT_EQ(v.dialogosGuardar[0].filtro, "Archivos de definiciones (*.ini)|*.ini");
  EXPECT_EQ(f.ArchivoDefiniciones, ruta);
  const auto escritas = prueba::LeeEntradas(ruta);
  EXPECT_EQ(escritas, prueba::EntradasEsperadas(tmp.Ruta(), cadena,
                                                {{emp, prueba::CamposDe(cadena, emp)},
                                                 {jer, prueba::CamposDe(cadena, jer)}}));
  // Apart from the catalogue the expectation was built from: declared lengths.
  EXPECT_NE(
      std::find(escritas.begin(), escritas.end(), prueba::Entrada{emp, "LongitudColumna2", "50"}),
      escritas.end());
  // The file holds the password: its owner alone may read it.
  EXPECT_EQ(fs::status(ruta).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  EXPECT_TRUE(f.Terminado());
  const std::string log = prueba::LeeBytes(tmp.Archivo("Log/VarloDI_Aug2006.log"));
  EXPECT_NE(log.find(Utf8AAnsi(">Inicio de importación (")), std::string::npos) << log;
  EXPECT_NE(log.find(Utf8AAnsi("Fin de importación (")), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(SQLiteYPostgreSql, Generador, ::testing::Bool());

using GeneradorSinBase = Generador;

TEST_F(GeneradorSinBase, DeclinedOfferBlankNameOrCancelledConnectionWriteNothing) {
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador no, blanco, sinConexion;
  no.respuestas.push_back(Respuesta::No);
  no.archivosGuardar.push_back(ruta);
  Guion(blanco, {"   "}, "Provider=SQLite;Data Source=x");
  Guion(sinConexion, {ruta}, std::nullopt);
  for (VentanaGenerador* v : {&no, &blanco, &sinConexion}) {
    frmMain f(*v, "");
    EXPECT_EQ(CreaArchivoDefiniciones(f), "");
    EXPECT_EQ(f.CadenaConexion, "");
  }
  EXPECT_TRUE(no.dialogosGuardar.empty());
  EXPECT_EQ(blanco.conexiones.size(), 1u);  // never asked for
  EXPECT_TRUE(fs::is_empty(tmp.Ruta()));
}

TEST_F(GeneradorSinBase, ExistingNameIsRefusedAndAskedAgainNeverOverwritten) {
  const std::string viejo = tmp.Archivo("viejo.ini");
  prueba::EscribeBytes(viejo, "[Opciones]\r\nReporteLog=0\r\n");
  VentanaGenerador v;
  Guion(v, {viejo, tmp.Archivo("nuevo.ini")}, BaseDatosPrueba::SQLite(tmp.Archivo("bd")));
  frmMain f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), tmp.Archivo("nuevo.ini"));
  EXPECT_EQ(v.dialogosGuardar.size(), 2u);
  ASSERT_EQ(v.mensajes.size(), 2u);
  EXPECT_EQ(v.mensajes[1].texto, "Archivo ya existe.");
  EXPECT_EQ(prueba::LeeBytes(viejo), "[Opciones]\r\nReporteLog=0\r\n");
  // Nothing ticked: no "Tablas", no table section, the absence planning still.
  EXPECT_EQ(prueba::Secciones(prueba::LeeEntradas(tmp.Archivo("nuevo.ini"))),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente",
                                      "Planeacion Faltas"}));
}

}  // namespace
}  // namespace varlo
