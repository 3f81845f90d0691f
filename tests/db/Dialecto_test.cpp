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
  Consulta una = Sonda("select ");
  una.top = 1;
  Consulta hora = Sonda("select ");
  hora.top = -1;
  hora.condiciones = {Clave("Fecha", FechaHora{2005, 12, 25, 21, 30, 0}, ClaseLiteral::FechaHora),
                      Clave("Id", std::string("0012"), ClaseLiteral::Numero)};
  const std::pair<std::string, std::string> casos[] = {
      {d->Select(Sonda("Select ")).texto, "Select top 0 * from Empleado"},
      {d->Select(una).texto, "select top 1 * from Empleado"},
      {d->Select(BusquedaDosClaves()).texto,
       "select ID_Empleado, Nombre from Empleado Where ID_Empleado=12 and Fecha={d '2005-12-25'}"},
      {d->Select(Kardex()).texto,
       "select ID_Empleado, Fecha, ID_Tipo from Kardex where Id_Empleado = '123' and "
       "Fecha={d '2006-08-03'}"},
      {d->Select(Jerarquia("_30012")).texto, "Select [Parent] From Jerarquias Where [Key]='_30012'"},
      {d->Select(Fotos("O'Brien")).texto,
       "Select * From Fotos_Empleados Where ID_Empleado='O''Brien'"},
      {d->Select(hora).texto,
       "select * from Empleado Where Fecha={ts '2005-12-25 21:30:00'} and Id=0012"},
      {d->DeleteFrom("Empleado"), "Delete From Empleado"},
      {d->Insert("Empleado", {{"ID_Empleado", std::string("E'1")}, {"[Fecha Alta]", Valor{}}}).texto,
       "insert into Empleado (ID_Empleado, [Fecha Alta]) values (?, ?)"},
      {d->Insert("Empleado", {}).texto, "insert into Empleado default values"},
      {d->Update("Kardex", {{"Referencia", std::string("R")}}, Kardex().condiciones).texto,
       "update Kardex set Referencia = ? where Id_Empleado = ? and Fecha = ?"},
  };
  for (const auto& [texto, esperado] : casos) EXPECT_EQ(texto, esperado);
  EXPECT_TRUE(d->Select(Fotos("O'Brien")).parametros.empty());
  EXPECT_EQ(d->Update("Kardex", {{"Referencia", std::string("R")}}, Kardex().condiciones)
                .parametros.at(2),
            Valor(FechaHora{2006, 8, 3}));

  // a number key that is not a number never reaches the text
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

TEST(DialectoSQLiteYPostgreSql, TextosYValoresEnlazados) {
  auto sq = CreaDialecto(Motor::SQLite);
  auto pg = CreaDialecto(Motor::PostgreSql);
  Consulta una = Sonda("select ");
  una.top = 1;
  const std::pair<std::string, std::string> casos[] = {
      {sq->Select(Sonda("Select ")).texto, "Select * from Empleado limit 0"},
      // dates compare by value, whatever text form another tool stored
      {sq->Select(BusquedaDosClaves()).texto,
       "select ID_Empleado, Nombre from Empleado Where ID_Empleado=? and "
       "datetime(Fecha)=datetime(?)"},
      {sq->Select(Jerarquia("_3'0012")).texto, "Select [Parent] From Jerarquias Where [Key]=?"},
      {sq->Update("Kardex", {{"Referencia", std::string("R")}}, Kardex().condiciones).texto,
       "update Kardex set Referencia = ? where Id_Empleado = ? and datetime(Fecha) = datetime(?)"},
      {pg->Identificador("[Key]"), "Key"},
      {pg->Identificador("[Fecha Alta]"), "\"Fecha Alta\""},
      {pg->Identificador("[User]"), "\"user\""},
      {pg->Identificador("[a\"b]"), "\"a\"\"b\""},
      {pg->Select(Jerarquia("_30012")).texto, "Select Parent From Jerarquias Where Key=?"},
      {pg->Select(una).texto, "select * from Empleado limit 1"},
      {pg->Update("Jerarquias", {{"[Parent]", std::string("_1")}}, Jerarquia("_2").condiciones)
           .texto,
       "update Jerarquias set Parent = ? where Key = ?"},
      {pg->Insert("[Mi Tabla]", {{"[Fecha Alta]", Valor{}}}).texto,
       "insert into \"Mi Tabla\" (\"Fecha Alta\") values (?)"},
  };
  for (const auto& [texto, esperado] : casos) EXPECT_EQ(texto, esperado);

  SentenciaSql s = sq->Select(BusquedaDosClaves());
  EXPECT_EQ(s.parametros, (std::vector<Valor>{std::int64_t{12}, FechaHora{2005, 12, 25}}));
  EXPECT_EQ(sq->Select(Jerarquia("_3'0012")).parametros,
            std::vector<Valor>{std::string("_3'0012")});
  // a date key drops its time; a decimal number key stays a number
  Consulta c = Sonda("select ");
  c.top = -1;
  c.condiciones = {Clave("F", FechaHora{2006, 8, 3, 10, 0, 0}, ClaseLiteral::Fecha),
                   Clave("N", std::string(" -1.5 "), ClaseLiteral::Numero)};
  EXPECT_EQ(sq->Select(c).parametros, (std::vector<Valor>{FechaHora{2006, 8, 3}, -1.5}));
  EXPECT_EQ(pg->Select(Jerarquia("_2")).parametros, std::vector<Valor>{std::string("_2")});
}

}  // namespace
}  // namespace varlo::db
