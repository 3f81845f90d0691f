// The table picker's result and the composition of the connection string.
#include <gtest/gtest.h>

#include <sstream>

#include "GeneradorPrueba.h"
#include "app/VentanaConsola.h"
#include "app/frmMain.h"
#include "common/ErrorVarlo.h"
#include "common/Plataforma.h"
#include "db/Conexion.h"
#include "definitions/ComposicionConexion.h"
#include "definitions/frmSelTablas.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

TEST(SeleccionTablas, TickedNamesComeInListOrderJoinedByCommas) {
  const std::vector<std::string> t{"Empleado", "Kardex", "Jerarquias"};
  EXPECT_EQ(frmSelTablas::UneMarcadas(t, {false, false, false}), "");
  EXPECT_EQ(frmSelTablas::UneMarcadas(t, {false, true, false}), "Kardex");
  EXPECT_EQ(frmSelTablas::UneMarcadas(t, {true, false, true}), "Empleado,Jerarquias");
  EXPECT_EQ(frmSelTablas::UneMarcadas(t, {true, true, true}), "Empleado,Kardex,Jerarquias");
  // A comma inside a name is not quoted: it comes back as two names.
  EXPECT_EQ(frmSelTablas::UneMarcadas({"a,b", "c"}, {true, true}), "a,b,c");
  // No comma goes in while only blanks have been gathered.
  EXPECT_EQ(frmSelTablas::UneMarcadas({"  ", "c", "d"}, {true, true, true}), "  c,d");
}

TEST(SeleccionTablas, ListsTheBaseTablesOfTheSharedConnection) {
  prueba::CarpetaTemporal tmp;
  EstableceCarpetaPrograma(tmp.Ruta());
  prueba::VentanaGenerador v;
  v.elegir = {"Kardex", "Empleado"};
  frmMain f(v, "");
  frmSelTablas selector;
  try {
    selector.Tablas(f);  // no connection yet
    ADD_FAILURE() << "sin error";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), 91);
  }
  EXPECT_TRUE(v.listasTablas.empty());

  f.EstableceConexion(db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(tmp.Archivo("bd"))));
  EXPECT_EQ(selector.Tablas(f), "Empleado,Kardex");
  EXPECT_EQ(selector.Resultado(), "Empleado,Kardex");
  // The base tables in catalogue order, not the view.
  ASSERT_EQ(v.listasTablas.size(), 1u);
  EXPECT_EQ(v.listasTablas[0],
            (std::vector<std::string>{"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados"}));
  v.elegir.clear();
  EXPECT_EQ(selector.Tablas(f), "");
}

TEST(ComposicionConexion, SqlServerWithUserOrIntegratedSecurity) {
  DatosConexion d = LeeSemilla("User ID=;Initial Catalog=;Data Source=;Aplication Name=");
  EXPECT_EQ(d.clase, ClaseConexion::SqlServer);
  EXPECT_EQ(d.servidor, "");
  EXPECT_EQ(DatoFaltante(d), "Falta el nombre del servidor.");
  d.servidor = "srv\\inst";
  EXPECT_EQ(DatoFaltante(d), "Falta el usuario (o elija seguridad integrada).");
  d.baseDatos = "Varlo";
  d.usuario = "sa";
  d.clave = "a;b";
  EXPECT_EQ(DatoFaltante(d), "");
  EXPECT_EQ(ComponeCadena(d),
            "Provider=SQLOLEDB.1;Data Source=srv\\inst;Initial Catalog=Varlo;User ID=sa;"
            "Password=\"a;b\"");
  d.seguridadIntegrada = true;
  EXPECT_EQ(ComponeCadena(d),
            "Provider=SQLOLEDB.1;Data Source=srv\\inst;Initial Catalog=Varlo;"
            "Integrated Security=SSPI");

  // A composed string reads back into the same fields.
  DatosConexion otra = LeeSemilla(
      "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=V;User ID=u;Password='x\"y'");
  EXPECT_EQ(otra.servidor, "srv");
  EXPECT_EQ(otra.baseDatos, "V");
  EXPECT_EQ(otra.usuario, "u");
  EXPECT_EQ(otra.clave, "x\"y");
  EXPECT_FALSE(otra.seguridadIntegrada);
}

TEST(ComposicionConexion, QuotesValuesThatWouldBreakTheString) {
  EXPECT_EQ(ParConexion("Password", "abc"), "Password=abc");
  EXPECT_EQ(ParConexion("Password", ""), "Password=");
  EXPECT_EQ(ParConexion("Password", " ab"), "Password=\" ab\"");
  EXPECT_EQ(ParConexion("Password", "\"x"), "Password='\"x'");
  EXPECT_EQ(ParConexion("Password", "'a\";"), "Password=\"'a\"\";\"");
  EXPECT_EQ(ParConexion("Password", "{x}"), "Password=\"{x}\"");
  // Each one reads back to the value itself.
  for (const std::string v : {" ab", "\"x", "'a\";", "{x}", "a;b"}) {
    DatosConexion d = LeeSemilla("Provider=SQLOLEDB.1;Data Source=s;" + ParConexion("Password", v));
    EXPECT_EQ(d.clave, v);
  }
}

TEST(ComposicionConexion, SQLiteFileAndOdbcString) {
  DatosConexion d;
  d.clase = ClaseConexion::SQLite;
  EXPECT_EQ(DatoFaltante(d), "Falta el archivo de la base de datos.");
  d.archivoSQLite = "/datos/varlo.db";
  EXPECT_EQ(DatoFaltante(d), "No existe el archivo /datos/varlo.db.");
  EXPECT_EQ(ComponeCadena(d), "Provider=SQLite;Data Source=/datos/varlo.db");
  EXPECT_EQ(LeeSemilla(ComponeCadena(d)).clase, ClaseConexion::SQLite);
  EXPECT_EQ(LeeSemilla(ComponeCadena(d)).archivoSQLite, "/datos/varlo.db");

  d.clase = ClaseConexion::Odbc;
  EXPECT_EQ(DatoFaltante(d), "Falta la cadena de conexión ODBC.");
  d.cadenaOdbc = "  Driver={PostgreSQL Unicode};Server=h;Database=v;  ";
  EXPECT_EQ(ComponeCadena(d), "Driver={PostgreSQL Unicode};Server=h;Database=v;");
  EXPECT_EQ(LeeSemilla("DSN=varlo;Uid=a").clase, ClaseConexion::Odbc);
}

// The console asks on the terminal.
TEST(ConexionConsola, PromptsComposeAndTestTheString) {
  std::vector<std::string> probadas;
  auto probar = [&](const std::string& c) {
    probadas.push_back(c);
    return c.find("mal") != std::string::npos ? std::string("no abre") : std::string();
  };
  {
    std::istringstream entrada("1\nsrv\nVarlo\nsa\nclave\n");
    std::ostringstream salida;
    VentanaConsola v(entrada, salida, true, false);
    EXPECT_EQ(v.ComponeConexion("User ID=;Initial Catalog=;Data Source=;Aplication Name=", probar),
              "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=Varlo;User ID=sa;Password=clave");
  }
  {
    // Integrated security when no user is given; a failed test asks again.
    std::istringstream entrada("2\n/mal.db\n3\nDSN=mal\n1\nsrv\n\n\n");
    std::ostringstream salida;
    VentanaConsola v(entrada, salida, true, false);
    EXPECT_EQ(v.ComponeConexion("", probar),
              "Provider=SQLOLEDB.1;Data Source=srv;Integrated Security=SSPI");
    EXPECT_NE(salida.str().find("La prueba de conexión falló: No existe el archivo /mal.db."),
              std::string::npos);
    EXPECT_NE(salida.str().find("La prueba de conexión falló: no abre"), std::string::npos);
  }
  {
    std::istringstream entrada("3\nDSN=x\n");
    std::ostringstream salida;
    VentanaConsola v(entrada, salida, true, false);
    EXPECT_EQ(v.ComponeConexion("", probar), "DSN=x");
  }
  EXPECT_EQ(probadas, (std::vector<std::string>{
                          "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=Varlo;User ID=sa;"
                          "Password=clave",
                          "DSN=mal",
                          "Provider=SQLOLEDB.1;Data Source=srv;Integrated Security=SSPI", "DSN=x"}));
  {
    std::istringstream entrada("\n");
    std::ostringstream salida;
    VentanaConsola v(entrada, salida, true, false);
    EXPECT_EQ(v.ComponeConexion("", probar), std::nullopt);  // an empty choice cancels
  }
}

TEST(ConexionConsola, NumbersPickTheTables) {
  std::istringstream entrada("3, 1 9 x\n");
  std::ostringstream salida;
  VentanaConsola v(entrada, salida, true, false);
  EXPECT_EQ(v.EligeTablas({"a", "b", "c"}), (std::vector<bool>{true, false, true}));
  EXPECT_NE(salida.str().find("  2) b\n"), std::string::npos);
}

}  // namespace
}  // namespace varlo
