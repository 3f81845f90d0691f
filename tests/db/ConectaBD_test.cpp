// The shared connection of a run: a failure logs one error line without the
// password and returns false; the next call tries again.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "support/CarpetaTemporal.h"
#include "support/RelojFijo.h"

namespace varlo {
namespace {

TEST(ConectaBD, UnaLineaSinClaveYElSiguienteIntentoAbre) {
  std::setlocale(LC_TIME, "C");
  prueba::RelojFijo reloj;
  prueba::CarpetaTemporal tmp;
  EstableceCarpetaPrograma(tmp.Ruta());
  const std::string ruta = tmp.Archivo("datos/varlo.db");
  prueba::EscribeBytes(
      tmp.Archivo("defs.ini"),
      "[Base de Datos]\r\nConexion=Provider=SQLite;Data Source=" + ruta + ";Password=secreto\r\n");
  VentanaFalsa ventana;
  frmMain f{ventana, ""};
  f.ArchivoDefiniciones = tmp.Archivo("defs.ini");
  f.ReporteLog = 1;
  auto lineas = [&] {
    auto r = Divide(AnsiAUtf8(prueba::LeeBytes(tmp.Archivo("Log/VarloDI_Aug2006.log"))), "\r\n");
    std::erase(r, std::string());
    return r;
  };

  // a missing file is a wrong path: nothing is created in its place
  std::filesystem::create_directory(tmp.Archivo("datos"));
  EXPECT_FALSE(f.ConectaBD());
  EXPECT_FALSE(std::filesystem::exists(ruta));
  EXPECT_EQ(f.cnBaseDatos(), nullptr);
  EXPECT_EQ(f.EstadoSalida(), 3);  // the database could not be reached
  ASSERT_EQ(lineas().size(), 1u);
  const std::string linea = lineas()[0];
  EXPECT_TRUE(linea.starts_with("[SQLite] Error: -2147467259 No existe la base de datos SQLite (" +
                                ruta + ") ("))
      << linea;
  EXPECT_EQ(linea.find("secreto"), std::string::npos);

  prueba::EscribeBytes(ruta, "");  // an empty file is an empty database
  EXPECT_TRUE(f.ConectaBD());
  ASSERT_NE(f.cnBaseDatos(), nullptr);
  EXPECT_EQ(f.cnBaseDatos()->State(), 1);
  EXPECT_EQ(ventana.estados.size(), 2u);
  EXPECT_TRUE(f.ConectaBD());  // open: returns at once, the status untouched
  EXPECT_EQ(ventana.estados.size(), 2u);
  EXPECT_EQ(lineas().size(), 1u);
}

}  // namespace
}  // namespace varlo
