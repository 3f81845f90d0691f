// The connection string the generator writes, composed from the dialog's
// fields, and the fields read back from a string; every string is read
// back by the database layer's own parser.
#include <gtest/gtest.h>

#include <map>

#include "db/CadenaConexion.h"
#include "definitions/ComposicionConexion.h"

namespace varlo {
namespace {

using Pares = std::vector<std::pair<std::string, std::string>>;

DatosConexion PostgreSql(DatosPostgreSql pg) {
  DatosConexion d;
  d.clase = ClaseConexion::PostgreSql;
  d.postgreSql = std::move(pg);
  return d;
}

TEST(ComposicionConexion, QuotedValuesReadBackUnchanged) {
  const std::vector<std::pair<std::string, std::string>> casos = {{"abc", "Password=abc"},
                                                                  {" ab", "Password=\" ab\""},
                                                                  {"\"x", "Password='\"x'"},
                                                                  {"'a\";", "Password=\"'a\"\";\""},
                                                                  {"a;b", "Password=\"a;b\""}};
  for (const auto& [valor, par] : casos) {
    EXPECT_EQ(ParConexion("Password", valor), par);
    EXPECT_EQ(LeeSemilla("Provider=SQLOLEDB.1;Data Source=s;" + par).clave, valor);
  }
}

// The native provider form, the port 5432 when left blank. Values with ';',
// quotes, braces or blanks come back whole through the database layer's
// parser, and through the dialog's own reading.
TEST(ComposicionConexion, PostgreSqlIsWrittenInTheNativeFormAndItsValuesRoundTrip) {
  DatosPostgreSql pg;
  pg.servidor = " db.local ";
  pg.baseDatos = "rh";
  pg.usuario = "ana";
  pg.clave = "secreta";
  EXPECT_EQ(ComponeCadena(PostgreSql(pg)),
            "Provider=PostgreSQL;Data Source=db.local;Port=5432;Initial Catalog=rh;User ID=ana;"
            "Password=secreta");
  EXPECT_EQ(DatoFaltante(PostgreSql(pg)), "");
  pg.baseDatos = " ";
  EXPECT_EQ(DatoFaltante(PostgreSql(pg)), "Falta la base de datos.");

  pg.servidor = "10.0.0.7";
  pg.puerto = "6432";
  pg.baseDatos = "mi base; rh";
  pg.usuario = "ana maría";
  for (const std::string clave : {" a;b ", "x;y}z", "{llave}", "\"com'illas;", "'", "a=b"}) {
    pg.clave = clave;
    const std::string cadena = ComponeCadena(PostgreSql(pg));
    std::map<std::string, std::string> leidos;
    for (const auto& [k, v] : db::LeePares(cadena)) leidos[k] = v;
    EXPECT_EQ(leidos, (std::map<std::string, std::string>{{"Provider", "PostgreSQL"},
                                                          {"Data Source", "10.0.0.7"},
                                                          {"Port", "6432"},
                                                          {"Initial Catalog", "mi base; rh"},
                                                          {"User ID", "ana maría"},
                                                          {"Password", clave}}))
        << cadena;
    const DatosConexion d = LeeSemilla(cadena);
    EXPECT_EQ(d.clase, ClaseConexion::PostgreSql);
    ASSERT_TRUE(d.postgreSql.has_value());
    EXPECT_EQ(d.postgreSql->clave, clave);
    EXPECT_EQ(d.postgreSql->baseDatos, "mi base; rh");
    EXPECT_EQ(ComponeCadena(d), cadena);
  }
}

// A seed's other keys are kept; an older psqlODBC string fills the same
// fields and keeps its SSL mode only, the rest being the driver's own.
TEST(ComposicionConexion, PostgreSqlSeedsNativeAndOdbc) {
  const std::string nativa =
      "Provider=PostgreSQL;Data Source=h;Port=5432;Initial Catalog=rh;User ID=u;Password=p;"
      "sslmode=require;application_name=\"nómina; noche\"";
  EXPECT_EQ(ComponeCadena(LeeSemilla(nativa)), nativa);

  const DatosConexion odbc = LeeSemilla(
      "Driver={PostgreSQL Unicode};Server=10.0.0.7;Port=5433;Database=rh;Uid=ana;"
      "Pwd={x;y}}z};SSLmode=verify-full;CommLog=0;Debug=0;");
  EXPECT_EQ(odbc.clase, ClaseConexion::Odbc);
  ASSERT_TRUE(odbc.postgreSql.has_value());
  EXPECT_EQ(odbc.postgreSql->otros, (Pares{{"sslmode", "verify-full"}}));
  EXPECT_EQ(ComponeCadena(PostgreSql(*odbc.postgreSql)),
            "Provider=PostgreSQL;Data Source=10.0.0.7;Port=5433;Initial Catalog=rh;User ID=ana;"
            "Password=\"x;y}z\";sslmode=verify-full");

  // strings of other databases are not PostgreSQL's
  EXPECT_FALSE(LeePostgreSql("Driver={FreeTDS};Server=s;").has_value());
  EXPECT_FALSE(LeePostgreSql("Provider=SQLOLEDB.1;Data Source=s;User ID=u").has_value());
  EXPECT_FALSE(LeeSemilla("User ID=;Initial Catalog=;Data Source=;Aplication Name=").postgreSql);
}

}  // namespace
}  // namespace varlo
