// The definitions-file generator, driven through the fake window: the offer,
// the Save dialog that never overwrites, the connection, the fixed sections,
// one section per picked table and the absence planning, then a run on the
// new file.
#include "definitions/CreaArchivoDefiniciones.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "GeneradorPrueba.h"
#include "app/frmMain.h"
#include "common/Fechas.h"
#include "common/Plataforma.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

namespace fs = std::filesystem;
using prueba::BaseDatosPrueba;
using prueba::CampoEsperado;
using prueba::CarpetaTemporal;
using prueba::Entrada;
using prueba::VentanaGenerador;

const std::string kOferta = "No se especificó archivo de definiciones.\rDesea crear uno nuevo?";

class Generador : public ::testing::Test {
 protected:
  Generador() {
    std::setlocale(LC_TIME, "C");
    EstableceCarpetaPrograma(tmp.Ruta());
  }
  // The run that follows the generator logged the table import's first and last lines.
  void EsperaImportacionEnLog() {
    const std::string log =
        prueba::LeeBytes(tmp.Archivo("Log/VarloDI_" + FormatoMesAnio(Ahora()) + ".log"));
    EXPECT_NE(log.find(Utf8AAnsi(">Inicio de importación (")), std::string::npos) << log;
    EXPECT_NE(log.find(Utf8AAnsi("Fin de importación (")), std::string::npos) << log;
  }
  // Yes to the offer, `nombre` in the Save dialog, `cadena` as the connection.
  void Guion(VentanaGenerador& v, const std::string& nombre, const std::string& cadena) {
    v.respuestas.push_back(Respuesta::Si);
    v.archivosGuardar.push_back(nombre);
    v.conexiones.push_back(cadena);
  }
  static fs::perms Permisos(const std::string& ruta) {
    return fs::status(ruta).permissions() & fs::perms::all;
  }
  CarpetaTemporal tmp;
};

// The whole flow from the run sequence: no file on the command line, the
// Open dialog cancelled, a file generated for two tables, the run on it.
TEST_F(Generador, SQLiteFileFollowsTheFormatKeyByKeyAndTheRunUsesIt) {
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  const std::string ruta = tmp.Archivo("nuevo.ini");
  VentanaGenerador v;
  Guion(v, ruta, cadena);
  v.elegir = {"Jerarquias", "Empleado"};
  frmMain f(v, "");
  f.Form_Load();
  f.Form_Activate();

  ASSERT_EQ(v.mensajes.size(), 1u);
  EXPECT_EQ(v.mensajes[0].texto, kOferta);
  EXPECT_EQ(v.mensajes[0].botones, Botones::SiNo);
  EXPECT_EQ(v.mensajes[0].icono, Icono::Pregunta);
  EXPECT_EQ(v.mensajes[0].titulo, "VarloDI");
  ASSERT_EQ(v.dialogosGuardar.size(), 1u);
  const DialogoArchivo& d = v.dialogosGuardar[0];
  EXPECT_EQ(d.titulo, "Nuevo Archivo de definiciones");
  EXPECT_EQ(d.extension, ".ini");
  EXPECT_EQ(d.carpetaInicial, tmp.Ruta());
  EXPECT_EQ(d.filtro, "Archivos de definiciones (*.ini)|*.ini");
  EXPECT_EQ(d.nombre, "");
  ASSERT_EQ(v.listasTablas.size(), 1u);

  EXPECT_EQ(f.ArchivoDefiniciones, ruta);
  EXPECT_EQ(f.CadenaConexion, cadena);
  const std::vector<Entrada> escritas = prueba::LeeEntradas(ruta);
  const std::vector<Entrada> esperadas = prueba::EntradasEsperadas(
      tmp.Ruta(), cadena,
      {{"Empleado", prueba::CamposDe(cadena, "Empleado")},
       {"Jerarquias", prueba::CamposDe(cadena, "Jerarquias")}});
  EXPECT_EQ(prueba::Secciones(escritas),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente",
                                      "Tablas", "Empleado", "Jerarquias", "Planeacion Faltas"}));
  EXPECT_EQ(escritas, esperadas);

  // Character columns carry their declared lengths, in the table's own order
  // (checked here apart from the catalogue the expectation was built from).
  auto empleado = prueba::DeSeccion(escritas, "Empleado");
  auto valor = [&](const std::string& clave) {
    for (const auto& e : empleado)
      if (std::get<1>(e) == clave) return std::get<2>(e);
    return std::string("<falta>");
  };
  EXPECT_EQ(valor("Columnas"), "14");
  EXPECT_EQ(valor("CampoColumna1"), "ID_Empleado");
  EXPECT_EQ(valor("LongitudColumna1"), "15");
  EXPECT_EQ(valor("CampoColumna2"), "Nombre");
  EXPECT_EQ(valor("LongitudColumna2"), "50");
  EXPECT_EQ(prueba::DeSeccion(escritas, "Jerarquias").back(),
            (Entrada{"Jerarquias", "LongitudColumna2", "20"}));

  // The file holds the password: its owner alone may read it.
  EXPECT_EQ(Permisos(ruta), fs::perms::owner_read | fs::perms::owner_write);
  // The text is written in the 8-bit code page.
  EXPECT_NE(prueba::LeeBytes(ruta).find("Longitud espec\xED" "fica"), std::string::npos);

  // The run went on with the new file at once.
  EXPECT_TRUE(f.Terminado());
  EXPECT_FALSE(f.SinDefiniciones());
  EsperaImportacionEnLog();
}

TEST_F(Generador, PostgreSqlThroughOdbcGivesLowerCaseEmpleadoItsExtraColumns) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql();
  const std::string ruta = tmp.Archivo("pg.ini");
  VentanaGenerador v;
  Guion(v, ruta, pg.Cadena());
  v.elegir = {"empleado", "jerarquias"};
  frmMain f(v, "");
  f.Form_Load();
  f.Form_Activate();

  ASSERT_EQ(v.listasTablas.size(), 1u);
  EXPECT_EQ(v.listasTablas[0].size(), 4u);
  const std::vector<Entrada> escritas = prueba::LeeEntradas(ruta);
  const std::vector<Entrada> esperadas = prueba::EntradasEsperadas(
      tmp.Ruta(), pg.Cadena(),
      {{"empleado", prueba::CamposDe(pg.Cadena(), "empleado")},
       {"jerarquias", prueba::CamposDe(pg.Cadena(), "jerarquias")}});
  EXPECT_EQ(escritas, esperadas);
  EXPECT_EQ(prueba::DeSeccion(escritas, "jerarquias").back(),
            (Entrada{"jerarquias", "LongitudColumna2", "20"}));

  EXPECT_TRUE(f.Terminado());
  EsperaImportacionEnLog();
}

TEST_F(Generador, DeclinedOfferOrCancelledSaveDialogMakesNoFile) {
  {
    VentanaGenerador v;
    v.respuestas.push_back(Respuesta::No);
    v.archivosGuardar.push_back(tmp.Archivo("nunca.ini"));
    frmMain f(v, "");
    EXPECT_EQ(CreaArchivoDefiniciones(f), "");
    EXPECT_TRUE(v.dialogosGuardar.empty());
  }
  {
    VentanaGenerador v;
    v.respuestas.push_back(Respuesta::Si);
    v.archivosGuardar.push_back("   ");  // a blank name is a cancel
    v.conexiones.push_back("Provider=SQLite;Data Source=x");
    frmMain f(v, "");
    EXPECT_EQ(CreaArchivoDefiniciones(f), "");
    EXPECT_EQ(v.conexiones.size(), 1u);  // the connection was never asked for
  }
  EXPECT_TRUE(fs::is_empty(tmp.Ruta()));
}

TEST_F(Generador, ExistingNameIsRefusedAndAskedAgainNeverOverwritten) {
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  const std::string viejo = tmp.Archivo("viejo.ini");
  prueba::EscribeBytes(viejo, "[Opciones]\r\nReporteLog=0\r\n");
  fs::create_directory(tmp.Archivo("carpeta.ini"));
  VentanaGenerador v;
  v.respuestas.push_back(Respuesta::Si);
  v.archivosGuardar = {viejo, tmp.Archivo("carpeta.ini"), tmp.Archivo("nuevo.ini")};
  v.conexiones.push_back(cadena);
  frmMain f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), tmp.Archivo("nuevo.ini"));

  EXPECT_EQ(v.dialogosGuardar.size(), 3u);
  ASSERT_EQ(v.mensajes.size(), 3u);
  for (std::size_t i : {1u, 2u}) {
    EXPECT_EQ(v.mensajes[i].texto, "Archivo ya existe.");
    EXPECT_EQ(v.mensajes[i].botones, Botones::Aceptar);
    EXPECT_EQ(v.mensajes[i].icono, Icono::Critico);
    EXPECT_EQ(v.mensajes[i].titulo, "VarloDI");
  }
  EXPECT_EQ(prueba::LeeBytes(viejo), "[Opciones]\r\nReporteLog=0\r\n");
  EXPECT_TRUE(fs::is_directory(tmp.Archivo("carpeta.ini")));
  // Nothing ticked: no "Tablas", no table section, the absence planning still.
  EXPECT_EQ(prueba::Secciones(prueba::LeeEntradas(tmp.Archivo("nuevo.ini"))),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente",
                                      "Planeacion Faltas"}));
}

TEST_F(Generador, CancelledOrUnusableConnectionEndsWithNothingWritten) {
  const std::string ruta = tmp.Archivo("nuevo.ini");
  {
    VentanaGenerador v;
    v.respuestas.push_back(Respuesta::Si);
    v.archivosGuardar.push_back(ruta);  // no connection scripted: the dialog is cancelled
    frmMain f(v, "");
    EXPECT_EQ(CreaArchivoDefiniciones(f), "");
    EXPECT_EQ(f.CadenaConexion, "");
  }
  {
    VentanaGenerador v;
    Guion(v, ruta, "Provider=SQLite;Data Source=" + tmp.Archivo("no/hay.db"));
    frmMain f(v, "");
    EXPECT_EQ(CreaArchivoDefiniciones(f), "");
    EXPECT_EQ(f.CadenaConexion, "");
    EXPECT_EQ(f.cnBaseDatos(), nullptr);
  }
  EXPECT_FALSE(fs::exists(ruta));
}

// The dialog's test button opens and closes a connection and says why it failed.
class VentanaQuePrueba : public VentanaGenerador {
 public:
  std::string buena, mala, resultadoBuena, resultadoMala, semilla;
  std::optional<std::string> ComponeConexion(const std::string& s, ProbarConexion probar) override {
    semilla = s;
    resultadoMala = probar(mala);
    resultadoBuena = probar(buena);
    return buena;
  }
};

TEST_F(Generador, ConnectionTestReportsTheFailureAndStartsFromTheSeed) {
  VentanaQuePrueba v;
  v.buena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  v.mala = "Provider=SQLite;Data Source=" + tmp.Archivo("no/hay.db");
  v.respuestas.push_back(Respuesta::Si);
  v.archivosGuardar.push_back(tmp.Archivo("n.ini"));
  frmMain f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), tmp.Archivo("n.ini"));
  EXPECT_EQ(v.semilla, "User ID=;Initial Catalog=;Data Source=;Aplication Name=");
  EXPECT_EQ(v.resultadoBuena, "");
  EXPECT_EQ(v.resultadoMala.rfind("Error -", 0), 0u) << v.resultadoMala;
}

// The database goes away between the composition and the connection step.
class VentanaSinBase : public VentanaGenerador {
 public:
  std::string archivoBase;
 protected:
  void EstadoCambiado() override {
    VentanaGenerador::EstadoCambiado();
    if (Estado() == "Conectando con la base de datos...") {
      fs::rename(archivoBase, archivoBase + ".fuera");
      fs::create_directory(archivoBase);  // in its place, something no database opens
    }
  }
};

TEST_F(Generador, NoConnectionLeavesTheThreeFixedSectionsAndReturnsThePath) {
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  VentanaSinBase v;
  v.archivoBase = cadena.substr(cadena.find("Data Source=") + 12);
  Guion(v, tmp.Archivo("n.ini"), cadena);
  frmMain f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), tmp.Archivo("n.ini"));
  EXPECT_TRUE(v.listasTablas.empty());
  const auto escritas = prueba::LeeEntradas(tmp.Archivo("n.ini"));
  auto fijas = prueba::EntradasEsperadas(tmp.Ruta(), cadena, {});
  fijas.resize(10);  // "Opciones", "Base de Datos" and "Formatos Archivo Fuente"
  EXPECT_EQ(escritas, fijas);
  // The options are still 0 while the file is generated: the reason is not logged.
  EXPECT_FALSE(fs::exists(tmp.Archivo("Log")));
}

// A picked table that cannot be read ends the generator; what was written stays.
class VentanaQueBorra : public VentanaGenerador {
 public:
  std::string cadena;
  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override {
    auto cn = db::Conexion::Abre(cadena);
    cn->Execute("DROP TABLE Jerarquias");
    cn->Close();
    return VentanaGenerador::EligeTablas(tablas);
  }
};

TEST_F(Generador, FailedProbeReturnsNothingAndKeepsWhatWasWritten) {
  VentanaQueBorra v;
  v.cadena = BaseDatosPrueba::SQLite(tmp.Archivo("bd"));
  Guion(v, tmp.Archivo("n.ini"), v.cadena);
  v.elegir = {"Empleado", "Jerarquias"};
  frmMain f(v, "");
  EXPECT_EQ(CreaArchivoDefiniciones(f), "");
  const auto escritas = prueba::LeeEntradas(tmp.Archivo("n.ini"));
  EXPECT_EQ(prueba::Secciones(escritas),
            (std::vector<std::string>{"Opciones", "Base de Datos", "Formatos Archivo Fuente",
                                      "Tablas", "Empleado", "Jerarquias"}));
  EXPECT_EQ(prueba::DeSeccion(escritas, "Jerarquias").back(),
            (Entrada{"Jerarquias", "Jerarquia unica en columna", ""}));
}

TEST_F(Generador, TableNamedEmpleadoInAnyCaseGetsTheTwoExtraEntries) {
  const std::string base = tmp.Archivo("minus.db");
  prueba::EscribeBytes(base, "");
  const std::string cadena = "Provider=SQLite;Data Source=" + base;
  {
    auto cn = db::Conexion::Abre(cadena);
    cn->Execute("CREATE TABLE empleado (ID_Empleado CHAR(15), Nombre VARCHAR(40))");
    cn->Execute("CREATE TABLE Otra (Clave VARCHAR(7))");
    cn->Close();
  }
  VentanaGenerador v;
  Guion(v, tmp.Archivo("n.ini"), cadena);
  v.elegir = {"empleado", "Otra"};
  frmMain f(v, "");
  ASSERT_EQ(CreaArchivoDefiniciones(f), tmp.Archivo("n.ini"));
  const auto escritas = prueba::LeeEntradas(tmp.Archivo("n.ini"));
  // "Columnas" counts the table's own fields only; the two extra entries follow them.
  EXPECT_EQ(escritas,
            prueba::EntradasEsperadas(tmp.Ruta(), cadena,
                                      {{"empleado", {{"ID_Empleado", 15}, {"Nombre", 40}}},
                                       {"Otra", {{"Clave", 7}}}}));
}

}  // namespace
}  // namespace varlo
