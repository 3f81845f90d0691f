// Statements per database: the SQL Server texts are the system's own,
// character for character; SQLite and PostgreSQL bind the key values.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "db/Dialecto.h"

namespace varlo::db {
namespace {

Predicado Clave(std::string columna, Valor v, ClaseLiteral clase = ClaseLiteral::Texto,
                std::string igual = "=") {
  Predicado p;
  p.columna = std::move(columna);
  p.valor = std::move(v);
  p.clase = clase;
  p.igual = std::move(igual);
  return p;
}

Consulta Sonda(std::string select) {
  Consulta c;
  c.select = std::move(select);
  c.top = 0;
  c.tabla = "Empleado";
  return c;
}

Consulta BusquedaDosClaves() {
  Consulta c;
  c.columnas = {"ID_Empleado", "Nombre"};
  c.tabla = "Empleado";
  c.condiciones = {Clave("ID_Empleado", std::string("12"), ClaseLiteral::Numero),
                   Clave("Fecha", FechaHora{2005, 12, 25}, ClaseLiteral::Fecha)};
  return c;
}

Consulta Kardex() {
  Consulta c;
  c.columnas = {"ID_Empleado", "Fecha", "ID_Tipo"};
  c.tabla = "Kardex";
  c.where = " where ";
  c.condiciones = {Clave("Id_Empleado", std::string("123"), ClaseLiteral::Texto, " = "),
                   Clave("Fecha", FechaHora{2006, 8, 3}, ClaseLiteral::Fecha)};
  return c;
}

Consulta Jerarquia(const std::string& clave) {
  Consulta c;
  c.select = "Select ";
  c.columnas = {"[Parent]"};
  c.from = " From ";
  c.tabla = "Jerarquias";
  c.condiciones = {Clave("[Key]", clave)};
  return c;
}

Consulta Fotos(const std::string& id) {
  Consulta c;
  c.select = "Select ";
  c.from = " From ";
  c.tabla = "Fotos_Empleados";
  c.condiciones = {Clave("ID_Empleado", id)};
  return c;
}

TEST(DialectoSqlServer, TextosExactosDelSistema) {
  auto d = CreaDialecto(Motor::SqlServer);
  EXPECT_EQ(d->Select(Sonda("Select ")).texto, "Select top 0 * from Empleado");
  Consulta una = Sonda("select ");
  una.top = 1;
  EXPECT_EQ(d->Select(una).texto, "select top 1 * from Empleado");
  EXPECT_EQ(
      d->Select(BusquedaDosClaves()).texto,
      "select ID_Empleado, Nombre from Empleado Where ID_Empleado=12 and Fecha={d '2005-12-25'}");
  EXPECT_EQ(d->Select(Kardex()).texto,
            "select ID_Empleado, Fecha, ID_Tipo from Kardex where Id_Empleado = '123' and "
            "Fecha={d '2006-08-03'}");
  EXPECT_EQ(d->Select(Jerarquia("_30012")).texto,
            "Select [Parent] From Jerarquias Where [Key]='_30012'");
  EXPECT_EQ(d->Select(Fotos("O'Brien")).texto,
            "Select * From Fotos_Empleados Where ID_Empleado='O''Brien'");
  EXPECT_EQ(d->DeleteFrom("Empleado"), "Delete From Empleado");
  EXPECT_TRUE(d->Select(Fotos("O'Brien")).parametros.empty());

  Consulta hora = Sonda("select ");
  hora.top = -1;
  hora.condiciones = {Clave("Fecha", FechaHora{2005, 12, 25, 21, 30, 0}, ClaseLiteral::FechaHora),
                      Clave("Id", std::string("0012"), ClaseLiteral::Numero)};
  EXPECT_EQ(d->Select(hora).texto,
            "select * from Empleado Where Fecha={ts '2005-12-25 21:30:00'} and Id=0012");
}

TEST(DialectoSqlServer, NumeroQueNoEsNumeroNoLlegaAlTexto) {
  auto d = CreaDialecto(Motor::SqlServer);
  for (const char* malo : {"12 or 1=1", "abc", "", "1,5", "0x10"}) {
    Consulta c = Sonda("select ");
    c.condiciones = {Clave("ID_Empleado", std::string(malo), ClaseLiteral::Numero)};
    try {
      d->Select(c);
      ADD_FAILURE() << malo;
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), 13) << malo;
      EXPECT_EQ(e.Descripcion(),
                std::string("No coinciden los tipos (columna ID_Empleado, valor '") + malo + "')");
    }
  }
}

TEST(DialectoSqlServer, InsertYUpdateConValoresEnlazados) {
  auto d = CreaDialecto(Motor::SqlServer);
  SentenciaSql i = d->Insert(
      "Empleado", {{"ID_Empleado", std::string("E'1")}, {"[Fecha Alta]", FechaHora{2005, 1, 2}}});
  EXPECT_EQ(i.texto, "insert into Empleado (ID_Empleado, [Fecha Alta]) values (?, ?)");
  ASSERT_EQ(i.parametros.size(), 2u);
  EXPECT_EQ(i.parametros[0], Valor(std::string("E'1")));
  EXPECT_EQ(d->Insert("Empleado", {}).texto, "insert into Empleado default values");

  Consulta k = Kardex();
  SentenciaSql u = d->Update("Kardex", {{"Referencia", std::string("R")}}, k.condiciones);
  EXPECT_EQ(u.texto, "update Kardex set Referencia = ? where Id_Empleado = ? and Fecha = ?");
  ASSERT_EQ(u.parametros.size(), 3u);
  EXPECT_EQ(u.parametros[1], Valor(std::string("123")));
  EXPECT_EQ(u.parametros[2], Valor(FechaHora{2006, 8, 3}));
}

TEST(DialectoSQLite, LimitYClavesEnlazadas) {
  auto d = CreaDialecto(Motor::SQLite);
  EXPECT_EQ(d->Select(Sonda("Select ")).texto, "Select * from Empleado limit 0");
  SentenciaSql s = d->Select(BusquedaDosClaves());
  // dates compare by value, whatever text form another tool stored
  EXPECT_EQ(s.texto,
            "select ID_Empleado, Nombre from Empleado Where ID_Empleado=? and "
            "datetime(Fecha)=datetime(?)");
  ASSERT_EQ(s.parametros.size(), 2u);
  EXPECT_EQ(s.parametros[0], Valor(std::int64_t{12}));
  EXPECT_EQ(s.parametros[1], Valor(FechaHora{2005, 12, 25}));
  s = d->Select(Jerarquia("_3'0012"));
  EXPECT_EQ(s.texto, "Select [Parent] From Jerarquias Where [Key]=?");
  EXPECT_EQ(s.parametros.at(0), Valor(std::string("_3'0012")));
  s = d->Select(Kardex());
  EXPECT_EQ(s.texto,
            "select ID_Empleado, Fecha, ID_Tipo from Kardex where Id_Empleado = ? and "
            "datetime(Fecha)=datetime(?)");
  EXPECT_EQ(d->Update("Kardex", {{"Referencia", std::string("R")}}, Kardex().condiciones).texto,
            "update Kardex set Referencia = ? where Id_Empleado = ? and "
            "datetime(Fecha) = datetime(?)");
  EXPECT_EQ(d->DeleteFrom("Empleado"), "Delete From Empleado");

  // a date key drops its time; a decimal number key stays a number
  Consulta c = Sonda("select ");
  c.top = -1;
  c.condiciones = {Clave("F", FechaHora{2006, 8, 3, 10, 0, 0}, ClaseLiteral::Fecha),
                   Clave("N", std::string(" -1.5 "), ClaseLiteral::Numero)};
  s = d->Select(c);
  EXPECT_EQ(s.parametros.at(0), Valor(FechaHora{2006, 8, 3}));
  EXPECT_EQ(s.parametros.at(1), Valor(-1.5));
}

TEST(DialectoPostgreSql, IdentificadoresEntreCorchetes) {
  auto d = CreaDialecto(Motor::PostgreSql);
  EXPECT_EQ(d->Identificador("[Key]"), "Key");
  EXPECT_EQ(d->Identificador("[Fecha Alta]"), "\"Fecha Alta\"");
  EXPECT_EQ(d->Identificador("[User]"), "\"user\"");
  EXPECT_EQ(d->Identificador("[a\"b]"), "\"a\"\"b\"");
  EXPECT_EQ(d->Identificador("ID_Empleado"), "ID_Empleado");
  SentenciaSql s = d->Select(Jerarquia("_30012"));
  EXPECT_EQ(s.texto, "Select Parent From Jerarquias Where Key=?");
  Consulta una = Sonda("select ");
  una.top = 1;
  EXPECT_EQ(d->Select(una).texto, "select * from Empleado limit 1");
  EXPECT_EQ(
      d->Update("Jerarquias", {{"[Parent]", std::string("_1")}}, Jerarquia("_2").condiciones).texto,
      "update Jerarquias set Parent = ? where Key = ?");
  EXPECT_EQ(d->Insert("[Mi Tabla]", {{"[Fecha Alta]", Valor{}}}).texto,
            "insert into \"Mi Tabla\" (\"Fecha Alta\") values (?)");
}

}  // namespace
}  // namespace varlo::db
