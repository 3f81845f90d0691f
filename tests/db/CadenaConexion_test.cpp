// The "Conexion" strings users keep in their definitions files, read into
// the backend and the ODBC string.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "db/CadenaConexion.h"

namespace varlo::db {
namespace {

std::string Odbc(const std::string& cadena) {
  DestinoConexion d = InterpretaCadena(cadena);
  EXPECT_EQ(d.backend, TipoBackend::Odbc) << cadena;
  return d.cadenaOdbc;
}

ErrorVarlo ErrorDe(const std::string& cadena) {
  try {
    InterpretaCadena(cadena);
  } catch (const ErrorVarlo& e) {
    return e;
  }
  ADD_FAILURE() << "se esperaba un error: " << cadena;
  return ErrorVarlo(0, "", "");
}

TEST(CadenaConexion, ParesConValoresEntreComillas) {
  auto p = LeePares(
      " Provider = SQLOLEDB.1 ;Password=\"a;b\"\"c\";Data Source={srv;1};X='q';Vacio=;Solo");
  ASSERT_EQ(p.size(), 6u);
  EXPECT_EQ(p[0], (std::pair<std::string, std::string>{"Provider", "SQLOLEDB.1"}));
  EXPECT_EQ(p[1].second, "a;b\"c");
  EXPECT_EQ(p[2].second, "srv;1");
  EXPECT_EQ(p[3].second, "q");
  EXPECT_EQ(p[4], (std::pair<std::string, std::string>{"Vacio", ""}));
  EXPECT_EQ(p[5].first, "Solo");
}

TEST(CadenaConexion, FormasOleDbDeSqlServer) {
  EXPECT_EQ(Odbc("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=secreto;"
                 "Initial Catalog=Varlo;Data Source=SERVIDOR"),
            "DRIVER={FreeTDS};SERVER=SERVIDOR;DATABASE=Varlo;UID=sa;PWD=secreto;");
  EXPECT_EQ(Odbc("Provider=SQLOLEDB.1;Password=x;User ID=sa;Initial Catalog=Varlo;"
                 "Data Source=srv\\SQLEXPRESS"),
            "DRIVER={FreeTDS};SERVER=srv\\SQLEXPRESS;DATABASE=Varlo;UID=sa;PWD=x;");
  EXPECT_EQ(
      Odbc(
          "Provider=SQLOLEDB;Data Source=10.0.0.5,1433;Initial Catalog=Varlo;User ID=u;Password=p"),
      "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1433;DATABASE=Varlo;UID=u;PWD=p;");
  EXPECT_EQ(Odbc("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                 "Initial Catalog=Varlo;Data Source=(local)"),
            "DRIVER={FreeTDS};SERVER=localhost;DATABASE=Varlo;Trusted_Connection=yes;");
  EXPECT_EQ(Odbc("Provider=SQLNCLI11;Server=.\\SQLEXPRESS;Database=Varlo;UID=u;PWD=\"p;w\";"
                 "Application Name=VarloDI;Workstation ID=PC01"),
            "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;DATABASE=Varlo;UID=u;PWD={p;w};"
            "APP=VarloDI;WSID=PC01;");
  EXPECT_EQ(
      Odbc("Provider=MSOLEDBSQL19;Driver={ODBC Driver 18 for SQL Server};Data Source=tcp:db,1500"),
      "DRIVER={ODBC Driver 18 for SQL Server};SERVER=db;PORT=1500;");
}

TEST(CadenaConexion, SQLiteYOdbcDirecto) {
  DestinoConexion d = InterpretaCadena("Provider=SQLite;Data Source=/datos/varlo.db");
  EXPECT_EQ(d.backend, TipoBackend::SQLite);
  EXPECT_EQ(d.rutaSQLite, "/datos/varlo.db");
  EXPECT_EQ(InterpretaCadena("provider=sqlite; data source = \"/a b/v;1.db\" ").rutaSQLite,
            "/a b/v;1.db");
  EXPECT_EQ(Odbc("Driver={PostgreSQL Unicode};Server=h;Port=5;Pwd=x;"),
            "Driver={PostgreSQL Unicode};Server=h;Port=5;Pwd=x;");
  EXPECT_EQ(Odbc("Provider=MSDASQL.1;DSN=Varlo;UID=u"), "DSN=Varlo;UID=u");
  EXPECT_EQ(Odbc("DSN=Varlo;Provider=MSDASQL"), "DSN=Varlo;");
}

TEST(CadenaConexion, CadenasInutilizablesSinClave) {
  ErrorVarlo e = ErrorDe("   ");
  EXPECT_EQ(e.Numero(), -2147467259);
  EXPECT_EQ(e.Descripcion(), "No se puede abrir la conexión: la cadena de conexión está vacía");
  e = ErrorDe(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\v.mdb;Jet OLEDB:Database "
      "Password=x;Password=secreto");
  EXPECT_EQ(e.Numero(), -2147467259);
  EXPECT_EQ(
      e.Descripcion(),
      "No se puede abrir la conexión: el proveedor 'Microsoft.Jet.OLEDB.4.0' no es compatible "
      "(cadena de conexión: Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\v.mdb;"
      "Jet OLEDB:Database Password=***;Password=***)");
  EXPECT_EQ(ErrorDe("Data Source=srv;User ID=sa").Descripcion(),
            "No se puede abrir la conexión: la cadena no indica el proveedor (Provider) ni el "
            "controlador ODBC (Driver o DSN) (cadena de conexión: Data Source=srv;User ID=sa)");
  EXPECT_EQ(ErrorDe("Provider=SQLite").Descripcion(),
            "No se puede abrir la conexión: falta el archivo de la base de datos SQLite (Data "
            "Source) (cadena de conexión: Provider=SQLite)");
}

TEST(CadenaConexion, OcultaClave) {
  EXPECT_EQ(OcultaClave("Provider=SQLOLEDB.1;Password=secreto;User ID=sa"),
            "Provider=SQLOLEDB.1;Password=***;User ID=sa");
  EXPECT_EQ(OcultaClave("Driver={X};PWD={a;b};pwd = \"c\" ;Uid=u;"),
            "Driver={X};PWD=***;pwd = *** ;Uid=u;");
  EXPECT_EQ(OcultaClave("Data Source=s"), "Data Source=s");
}

}  // namespace
}  // namespace varlo::db
