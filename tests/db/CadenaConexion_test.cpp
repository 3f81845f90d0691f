// The "Conexion" strings users keep in their definitions files, read into
// the backend and the ODBC string; passwords never shown.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <map>
#include <memory>

#include "common/ErrorVarlo.h"
#include "db/CadenaConexion.h"
#include "db/ErrorEsperado.h"

namespace varlo::db {
namespace {

TEST(CadenaConexion, TraduccionAOdbc) {
  const std::pair<const char*, const char*> casos[] = {
      {"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=secreto;"
       "Initial Catalog=Varlo;Data Source=SERVIDOR",
       "DRIVER={FreeTDS};SERVER=SERVIDOR;DATABASE=Varlo;UID=sa;PWD=secreto;"},
      {"Provider=SQLOLEDB;Data Source=10.0.0.5,1433;Initial Catalog=Varlo;User ID=u;Password=p",
       "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1433;DATABASE=Varlo;UID=u;PWD=p;"},
      {"Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
       "Initial Catalog=Varlo;Data Source=(local)",
       "DRIVER={FreeTDS};SERVER=localhost;DATABASE=Varlo;Trusted_Connection=yes;"},
      {"Provider=SQLNCLI11;Server=.\\SQLEXPRESS;Database=Varlo;UID=u;PWD=\"p;w\";"
       "Application Name=VarloDI;Workstation ID=PC01",
       "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;DATABASE=Varlo;UID=u;PWD={p;w};"
       "APP=VarloDI;WSID=PC01;"},
      {" Provider = SQLOLEDB.1 ;Password=\"a;b\"\"c\";Data Source={srv;1};User ID='q'",
       "DRIVER={FreeTDS};SERVER={srv;1};UID=q;PWD={a;b\"c};"},
      {"Provider=MSDASQL.1;DSN=Varlo;UID=u", "DSN=Varlo;UID=u"},
      // a value that starts with a quote goes between braces, or reading the
      // string back would take the quote as opening one
      {"Provider=SQLOLEDB;Data Source=srv,'1433;User ID={\"u};Password=p",
       "DRIVER={FreeTDS};SERVER=srv;PORT={'1433};UID={\"u};PWD=p;"},
      {"Provider=SQLOLEDB;Driver={a}}b};Data Source=s", "DRIVER={a}}b};SERVER=s;"},
      // only FreeTDS takes PORT; another driver reads "host,port" as written
      {"Provider=SQLOLEDB;Driver={ODBC Driver 18 for SQL Server};Data Source=tcp:db1,14330;"
       "Initial Catalog=Varlo",
       "DRIVER={ODBC Driver 18 for SQL Server};SERVER=tcp:db1,14330;DATABASE=Varlo;"},
      {"Provider=SQLOLEDB;Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;Data Source=db1,1433",
       "DRIVER={/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so};SERVER=db1;PORT=1433;"},
  };
  for (const auto& [cadena, odbc] : casos) {
    DestinoConexion d = InterpretaCadena(cadena);
    EXPECT_EQ(d.backend, TipoBackend::Odbc) << cadena;
    EXPECT_EQ(d.cadenaOdbc, odbc) << cadena;
  }
  DestinoConexion s = InterpretaCadena("provider=sqlite; data source = \"/a b/v;1.db\" ");
  EXPECT_EQ(s.backend, TipoBackend::SQLite);
  EXPECT_EQ(s.rutaSQLite, "/a b/v;1.db");
}

TEST(CadenaConexion, ClaveOcultaEnTextosYErrores) {
  EXPECT_EQ(OcultaClave("Driver={X};PWD={a;b};pwd = \"c\" ;Uid=u;"),
            "Driver={X};PWD=***;pwd = *** ;Uid=u;");
  EXPECT_EQ(OcultaClave("postgresql://u:s3creto@h:5/b?password=otra&sslmode=x"),
            "postgresql://u:***@h:5/b?password=***&sslmode=x");
  EXPECT_EQ(OcultaClave("postgres://h/b?Password=otra"), "postgres://h/b?Password=***");
  // The ODBC string of a translation is what an ODBC error shows: a value
  // that is read back as opening a quote or a brace must not swallow the password.
  for (const auto& [cadena, oculta] :
       {std::pair{"Provider=SQLOLEDB;Data Source=s;User ID={'u};Password=x",
                  "DRIVER={FreeTDS};SERVER=s;UID={'u};PWD=***;"},
        std::pair{"Provider=SQLOLEDB;Driver={d}}};Data Source=s;Password=x",
                  "DRIVER={d}}};SERVER=s;PWD=***;"}})
    EXPECT_EQ(OcultaClave(InterpretaCadena(cadena).cadenaOdbc), oculta) << cadena;
  const std::pair<const char*, const char*> casos[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\v.mdb;Jet OLEDB:Database "
       "Password=x;Password=secreto",
       "No se puede abrir la conexión: el proveedor 'Microsoft.Jet.OLEDB.4.0' no es compatible "
       "(cadena de conexión: Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\v.mdb;"
       "Jet OLEDB:Database Password=***;Password=***)"},
      {"Data Source=srv;User ID=sa;Pwd=secreto",
       "No se puede abrir la conexión: la cadena no indica el proveedor (Provider) ni el "
       "controlador ODBC (Driver o DSN) (cadena de conexión: Data Source=srv;User ID=sa;Pwd=***)"},
  };
  for (const auto& [cadena, descripcion] : casos) {
    const ErrorVarlo e = prueba::ErrorDe([&] { InterpretaCadena(cadena); });
    EXPECT_EQ(e.Numero(), -2147467259);
    EXPECT_EQ(e.Descripcion(), descripcion);
  }
}

// The keywords libpq itself reads from a conninfo or a URI (the judge of
// the quoting), those given only; "" plus the parser's message when it refuses.
std::map<std::string, std::string> LeidoPorLibpq(const std::string& conninfo) {
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> o(
      PQconninfoParse(conninfo.c_str(), &error), PQconninfoFree);
  std::map<std::string, std::string> r;
  if (!o) {
    r[""] = error ? error : "?";
    PQfreemem(error);
    return r;
  }
  for (const PQconninfoOption* i = o.get(); i->keyword; ++i)
    if (i->val) r[i->keyword] = i->val;
  return r;
}

TEST(CadenaConexion, PostgreSqlNativoConClavesOleDbYDeLibpq) {
  using M = std::map<std::string, std::string>;
  const std::pair<const char*, M> casos[] = {
      // values with spaces, quotes and backslashes reach libpq as written
      {"Provider=PostgreSQL;Data Source=db host;Port=5433;Initial Catalog=Varlo;"
       "User ID=o'neil;Password=\"a b\\c'd\";sslmode=re\vquire",
       {{"host", "db host"},
        {"port", "5433"},
        {"dbname", "Varlo"},
        {"user", "o'neil"},
        {"password", "a b\\c'd"},
        {"sslmode", "re\vquire"}}},
      {"provider=postgresql;Host=h1;Database=d;Uid=u;Pwd=;connect_timeout=4",
       {{"host", "h1"},
        {"dbname", "d"},
        {"user", "u"},
        {"password", ""},
        {"connect_timeout", "4"}}},
      {"Provider=PostgreSQL;Server=h2;Persist Security Info=False;Application Name=nocturno",
       {{"host", "h2"}, {"application_name", "nocturno"}}},
      {" postgresql://u:se%20cr@h3:6000/base?sslmode=disable",
       {{"host", "h3"},
        {"port", "6000"},
        {"dbname", "base"},
        {"user", "u"},
        {"password", "se cr"},
        {"sslmode", "disable"}}},
      {"POSTGRES://h4/b", {{"host", "h4"}, {"dbname", "b"}}},
  };
  for (const auto& [cadena, esperado] : casos) {
    const DestinoConexion d = InterpretaCadena(cadena);
    EXPECT_EQ(d.backend, TipoBackend::PostgreSql) << cadena;
    EXPECT_EQ(LeidoPorLibpq(d.conninfo), esperado) << cadena << " -> " << d.conninfo;
  }
  // libpq would read the string only up to a NUL byte: refused whole
  for (const std::string& nulo : {std::string("Provider=PostgreSQL;Port=5\0;Password=x", 38),
                                  std::string("postgresql://h/b\0?sslmode=disable", 33)})
    EXPECT_THROW(InterpretaCadena(nulo), ErrorVarlo);
  // with a driver or a data source name the string stays on ODBC, as written
  for (const char* odbc : {"Provider=PostgreSQL;Driver={PostgreSQL Unicode};Server=h",
                           "Provider=PostgreSQL;DSN=varlo"}) {
    const DestinoConexion d = InterpretaCadena(odbc);
    EXPECT_EQ(d.backend, TipoBackend::Odbc) << odbc;
    EXPECT_EQ(d.cadenaOdbc, std::string(odbc).substr(std::string("Provider=PostgreSQL;").size()));
  }
}

}  // namespace
}  // namespace varlo::db
