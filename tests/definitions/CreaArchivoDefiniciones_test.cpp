// The definitions-file generator, driven through the fake window.
#include "definitions/CreaArchivoDefiniciones.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <optional>

#include "GeneradorPrueba.h"
#include "app/frmMain.h"
#include "common/Fechas.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Plataforma.h"
#include "db/Conexion.h"
#include "support/BaseDatosPrueba.h"
#include "support/MotoresPrueba.h"
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

class Generador : public ::testing::TestWithParam<prueba::MotorPrueba> {
 protected:
  Generador() { EstableceCarpetaPrograma(tmp.Ruta()); }
  prueba::RelojFijo reloj;
  prueba::CarpetaTemporal tmp;
};

// The whole flow from the run sequence: no file given, the Open dialog
// cancelled, a file generated for two tables, the run on it.
TEST_P(Generador, FileFollowsTheFormatKeyByKeyAndTheRunUsesIt) {
  std::setlocale(LC_TIME, "C");
  std::unique_ptr<BaseDatosPrueba> pg;
  const std::string cadena = prueba::BaseDe(GetParam(), tmp.Archivo("bd"), pg);
  const std::string emp = pg ? "empleado" : "Empleado", jer = pg ? "jerarquias" : "Jerarquias";
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador v;
  Guion(v, {ruta}, cadena);
  v.elegir = {jer, emp};
  frmMain f(v, "");
  f.Form_Load();
  f.Form_Activate();

  ASSERT_EQ(v.mensajes.size(), 2u);
  EXPECT_EQ(v.mensajes[0].texto,
            "No se especificó archivo de definiciones.\rDesea crear uno nuevo?");
  // Then where the file went and what to review, never waiting, before the
  // import shows anything.
  const VentanaFalsa::Mensaje& aviso = v.mensajes[1];
  EXPECT_EQ(aviso.botones, Botones::Aceptar);
  EXPECT_EQ(aviso.icono, Icono::Informacion);
  for (const std::string& parte : {ruta, std::string("(Origen)"), std::string("(LongitudColumna)"),
                                   std::string("(FormatoFecha)")})
    EXPECT_NE(aviso.texto.find(parte), std::string::npos) << parte;
  const auto obteniendo = std::find_if(v.estados.begin(), v.estados.end(), [](const auto& e) {
    return e.starts_with("Obteniendo información");
  });
  ASSERT_NE(obteniendo, v.estados.end());
  EXPECT_LE(v.estadosAntesDelMensaje[1], std::size_t(obteniendo - v.estados.begin()));
  ASSERT_EQ(v.dialogosGuardar.size(), 1u);
  EXPECT_EQ(v.dialogosGuardar[0].titulo, "Nuevo Archivo de definiciones");
  EXPECT_EQ(v.dialogosGuardar[0].filtro, "Archivos de definiciones (*.ini)|*.ini");
  EXPECT_EQ(f.ArchivoDefiniciones, ruta);
  std::vector<prueba::Entrada> notas;
  const auto escritas = prueba::LeeEntradas(ruta, &notas);
  EXPECT_EQ(escritas, prueba::EntradasEsperadas(tmp.Ruta(), cadena,
                                                {{emp, prueba::CamposDe(cadena, emp)},
                                                 {jer, prueba::CamposDe(cadena, jer)}}));
  // The review notes head the file, still above its first section after
  // every key write, and name the three things the message names.
  ASSERT_FALSE(notas.empty());
  std::string cabecera;
  for (const auto& [seccion, debajo, texto] : notas)
    if (debajo == "[Opciones]") cabecera += texto + "\n";
  EXPECT_TRUE(prueba::LeeBytes(ruta).starts_with("; ")) << cabecera;
  for (const char* clave : {"Origen", "LongitudColumna", "FormatoFecha"})
    EXPECT_NE(cabecera.find(clave), std::string::npos) << clave;
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

INSTANTIATE_TEST_SUITE_P(Motores, Generador, prueba::TodosLosMotores(), prueba::NombreMotor);

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
  ASSERT_EQ(v.mensajes.size(), 3u);
  EXPECT_EQ(v.mensajes[1].texto, "Archivo ya existe.");
  EXPECT_EQ(prueba::LeeBytes(viejo), "[Opciones]\r\nReporteLog=0\r\n");
  // Nothing ticked: no "Tablas", no table section, the absence planning still.
  EXPECT_EQ(prueba::Secciones(prueba::LeeEntradas(tmp.Archivo("nuevo.ini"))),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente",
                                      "Planeacion Faltas"}));
}

// What the generator cannot know keeps the value the format fixes and gets a
// note right above its key: a key column the table lacks (the match is exact,
// so Kardex's Id_Empleado does not count), the two Empleado entries beyond
// "Columnas". A picture, or a field too wide for a fixed-width line, gets
// width 0 instead of a size that would reject every line.
TEST_F(GeneradorSinBase, NotesStandAboveWhatToReviewAndEveryKeyStillReads) {
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  db::Conexion::Abre(cadena)->Execute(
      "CREATE TABLE Notas (ID INTEGER, Texto TEXT, Corto VARCHAR(30))");
  const std::string ruta = tmp.Archivo("nuevo.ini");
  prueba::EscribeBytes(ruta + ".0.tmp", "ajeno");  // a name in use is never taken
  VentanaGenerador v;
  Guion(v, {ruta}, cadena);
  v.elegir = {"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados", "Notas"};
  frmMain f(v, "");
  ASSERT_EQ(CreaArchivoDefiniciones(f), ruta);

  std::vector<prueba::Entrada> notas;
  const auto escritas = prueba::LeeEntradas(ruta, &notas);
  std::vector<std::pair<std::string, std::vector<prueba::CampoEsperado>>> tablas;
  for (const char* t : {"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados", "Notas"})
    tablas.emplace_back(t, prueba::CamposDe(cadena, t));
  EXPECT_EQ(escritas, prueba::EntradasEsperadas(tmp.Ruta(), cadena, tablas));
  for (const prueba::Entrada& e :
       std::vector<prueba::Entrada>{{"Empleado", "Columnas", "14"},
                                    {"Empleado", "CampoColumna15", "ID_Calendario"},
                                    {"Empleado", "LongitudColumna14", "0"},  // Foto
                                    {"Notas", "LongitudColumna2", "0"},      // TEXT
                                    {"Notas", "LongitudColumna3", "30"},
                                    {"Kardex", "NombreIndice", "ID_Empleado"}})
    EXPECT_NE(std::find(escritas.begin(), escritas.end(), e), escritas.end()) << std::get<1>(e);

  // (section, key below the note, part of the note), in file order.
  const std::vector<prueba::Entrada> esperadas = {
      {"Empleado", "CampoColumna15", "Columnas=14"},
      {"Empleado", "LongitudColumna14", tmp.Archivo("Empleado_Foto/<llave>.jpg")},
      {"Jerarquias", "NombreIndice", "ID_Empleado"},
      {"Kardex", "NombreIndice", "se llama Id_Empleado, no ID_Empleado"},
      {"Fotos_Empleados", "LongitudColumna2", tmp.Archivo("Fotos_Empleados_Foto/<llave>.jpg")},
      {"Notas", "NombreIndice", "ID_Empleado"},
      {"Notas", "LongitudColumna2", "2147483647"}};
  std::vector<prueba::Entrada> enTablas;
  for (const auto& n : notas)
    if (std::get<0>(n) != "Opciones") enTablas.push_back(n);
  ASSERT_EQ(enTablas.size(), esperadas.size());
  for (std::size_t i = 0; i < esperadas.size(); ++i) {
    const auto& [seccion, debajo, parte] = esperadas[i];
    EXPECT_EQ(std::get<0>(enTablas[i]), seccion);
    EXPECT_EQ(std::get<1>(enTablas[i]), debajo);
    EXPECT_NE(std::get<2>(enTablas[i]).find(parte), std::string::npos) << std::get<2>(enTablas[i]);
  }

  // The program's own reader skips the notes and finds every key.
  Kelto_API_INIFiles ini;
  for (const auto& [seccion, clave, valor] : escritas)
    EXPECT_EQ(ini.API_GetPrivateProfileString(ruta, seccion, clave, "<falta>"), valor) << clave;
  // Rewritten with its notes, the file is still its owner's alone, and no copy is left.
  EXPECT_EQ(fs::status(ruta).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(prueba::LeeBytes(ruta + ".0.tmp"), "ajeno");
  EXPECT_FALSE(fs::exists(ruta + ".1.tmp"));
}

// The connection composed in the dialog opens, the run's does not: the file
// keeps its notes and fixed sections, and the message says that is all.
TEST_F(GeneradorSinBase, WithoutTheRunConnectionTheMessageSaysOnlyTheFixedSectionsWereWritten) {
  struct frmSinConexion : frmMain {
    using frmMain::frmMain;
    bool ConectaBD() override { return false; }
  };
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador v;
  Guion(v, {ruta}, BaseDatosPrueba::SQLite(tmp.Archivo("bd")));
  frmSinConexion f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), ruta);
  ASSERT_EQ(v.mensajes.size(), 2u);
  EXPECT_EQ(v.mensajes[1].icono, Icono::Informacion);
  EXPECT_EQ(v.mensajes[1].texto, "Se creó el archivo de definiciones " + ruta +
                                     " solo con las secciones fijas: no hubo conexión con la "
                                     "base de datos.");
  EXPECT_EQ(prueba::Secciones(prueba::LeeEntradas(ruta)),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente"}));
  EXPECT_TRUE(prueba::LeeBytes(ruta).starts_with("; "));
}

}  // namespace
}  // namespace varlo
