// The "Conexion" strings users keep in their definitions files, read into
// the backend and the ODBC string; passwords never shown.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "db/CadenaConexion.h"

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
    try {
      InterpretaCadena(cadena);
      ADD_FAILURE() << cadena;
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), -2147467259);
      EXPECT_EQ(e.Descripcion(), descripcion);
    }
  }
}

}  // namespace
}  // namespace varlo::db
