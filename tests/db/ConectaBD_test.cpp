// The shared connection of a run: a failure logs one error line without the
// password and returns false; the next call tries again.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Fechas.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;

class ConectaBDTest : public ::testing::Test {
 protected:
  ConectaBDTest() {
    std::setlocale(LC_TIME, "C");
    EstableceCarpetaPrograma(tmp.Ruta());
  }
  std::vector<std::string> LineasLog() {
    std::string texto =
        AnsiAUtf8(prueba::LeeBytes(tmp.Archivo("Log/VarloDI_" + FormatoMesAnio(Ahora()) + ".log")));
    std::vector<std::string> r;
    for (const std::string& l : Divide(texto, "\r\n"))
      if (!l.empty()) r.push_back(l);
    return r;
  }
  std::string Definiciones(const std::string& conexion) {
    std::string ruta = tmp.Archivo("defs.ini");
    prueba::EscribeBytes(ruta, Utf8AAnsi("[Base de Datos]\r\nConexion=" + conexion + "\r\n"));
    return ruta;
  }
  frmMain& Formulario(const std::string& conexion) {
    f.ArchivoDefiniciones = Definiciones(conexion);
    f.ReporteLog = 1;
    return f;
  }

  CarpetaTemporal tmp;
  VentanaFalsa ventana;
  frmMain f{ventana, ""};
};

TEST_F(ConectaBDTest, CadenaInutilizableUnaLineaSinClave) {
  frmMain& fm =
      Formulario("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=srv;User ID=sa;Password=secreto");
  EXPECT_FALSE(fm.ConectaBD());
  EXPECT_EQ(fm.cnBaseDatos(), nullptr);
  auto lineas = LineasLog();
  ASSERT_EQ(lineas.size(), 1u);
  EXPECT_EQ(
      lineas[0].rfind("[VarloDI.BD] Error: -2147467259 No se puede abrir la conexión: el proveedor "
                      "'Microsoft.ACE.OLEDB.12.0' no es compatible (cadena de conexión: "
                      "Provider=Microsoft.ACE.OLEDB.12.0;Data "
                      "Source=srv;User ID=sa;Password=***) (",
                      0),
      0u)
      << lineas[0];
  EXPECT_EQ(lineas[0].find("secreto"), std::string::npos);
  EXPECT_EQ(fm.EstadoSalida(), 1);
}

TEST_F(ConectaBDTest, UnFalloNoImpideElSiguienteIntento) {
  std::string ruta = tmp.Archivo("datos/varlo.db");
  frmMain& fm = Formulario("Provider=SQLite;Data Source=" + ruta + ";Password=secreto");
  EXPECT_FALSE(fm.ConectaBD());
  auto lineas = LineasLog();
  ASSERT_EQ(lineas.size(), 1u);
  EXPECT_EQ(
      lineas[0].rfind("[SQLite] Error: -2147467259 No se pudo abrir la base de datos SQLite " +
                          ruta + ": unable to open database file (",
                      0),
      0u)
      << lineas[0];

  std::filesystem::create_directory(tmp.Archivo("datos"));
  EXPECT_TRUE(fm.ConectaBD());
  ASSERT_NE(fm.cnBaseDatos(), nullptr);
  EXPECT_EQ(fm.cnBaseDatos()->State(), 1);
  EXPECT_EQ(ventana.estados.size(), 2u);
  // open: returns at once, the status untouched
  EXPECT_TRUE(fm.ConectaBD());
  EXPECT_EQ(ventana.estados.size(), 2u);
  EXPECT_EQ(LineasLog().size(), 1u);
}

}  // namespace
}  // namespace varlo
