// Statements per database: the SQL Server texts are the system's own,
// character for character; SQLite and PostgreSQL bind the key values.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "common/ErrorVarlo.h"
#include "db/Dialecto.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErrorEsperado.h"
#include "db/TiposAdo.h"

// designated initializers leave the other members at their defaults
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace varlo::db {
namespace {

using C = ClaseLiteral;
const Predicado kId12{"ID_Empleado", C::Numero, std::string("12")};
const Predicado kFecha{"Fecha", C::Fecha, FechaHora{2005, 12, 25}};
const std::vector<Predicado> kKardex = {{"Id_Empleado", C::Texto, std::string("123"), " = "},
                                        {"Fecha", C::Fecha, FechaHora{2006, 8, 3}}};
// The column types of a table with no json or jsonb column.
const TiposTabla kSinJson;
const Consulta kSonda{.select = "Select ", .top = 0, .tabla = "Empleado"};
const Consulta kDosClaves{
    .columnas = {"ID_Empleado", "Nombre"}, .tabla = "Empleado", .condiciones = {kId12, kFecha}};
const Consulta kConHora{.tabla = "Empleado",
                        .condiciones = {{"Fecha", C::FechaHora, FechaHora{2005, 12, 25, 21, 30, 0}},
                                        {"Id", C::Numero, std::string("0012")}}};
Consulta Jerarquia(std::string clave) {
  return BuscaPorTexto("Jerarquias", {"[Parent]"}, "[Key]", clave);
}

TEST(DialectoSqlServer, TextosExactosDelSistemaTambienEnLote) {
  auto d = CreaDialecto(Motor::SqlServer);
  const std::pair<std::string, std::string> casos[] = {
      // every name in brackets, reserved word or not
      {d->Select(kSonda).texto, "Select top 0 * from [Empleado]"},
      {d->Select(kDosClaves).texto,
       "select [ID_Empleado], [Nombre] from [Empleado] Where [ID_Empleado]=12 and "
       "[Fecha]={d '2005-12-25'}"},
      {d->Select(Jerarquia("_30012")).texto,
       "Select [Parent] From [Jerarquias] Where [Key]='_30012'"},
      {d->Select(kConHora).texto,
       "select * from [Empleado] Where [Fecha]={ts '2005-12-25 21:30:00'} and [Id]=0012"},
      {d->DeleteFrom("Empleado"), "Delete From [Empleado]"},
      {d->DeleteFrom("[rrhh].Empleado"), "Delete From [rrhh].[Empleado]"},
      {d->Insert("Empleado", {{"ID_Empleado", std::string("E'1")}, {"[Fecha Alta]", Valor{}}})
           .texto,
       "insert into [Empleado] ([ID_Empleado], [Fecha Alta]) values (?, ?)"},
      {d->Insert("Jerarquias", {{"Key", std::string("_1")}, {"Parent", Valor{}}}).texto,
       "insert into [Jerarquias] ([Key], [Parent]) values (?, ?)"},
      // changes a row only when the keys match exactly one
      {d->Update("dbo.Kardex", {{"Referencia", std::string("R")}}, kKardex).texto,
       "update [dbo].[Kardex] set [Referencia] = ? where [Id_Empleado] = ? and [Fecha] = ? and "
       "(select count(*) from [dbo].[Kardex] where [Id_Empleado] = ? and [Fecha] = ?) = 1"},
      // the new rows of a batch written together
      {d->InsertVarias("Empleado", {"ID_Empleado", "[Fecha Alta]"},
                       {{std::string("E1"), Valor{}}, {std::string("E2"), Valor{}}}, nullptr)
           .texto,
       "insert into [Empleado] ([ID_Empleado], [Fecha Alta]) values (?, ?), (?, ?)"},
  };
  // a batch's lookups need the one condition their keys go into
  EXPECT_FALSE(d->SelectVarias(kSonda, {std::string("E1")}, false));
  EXPECT_FALSE(d->SelectVarias(kDosClaves, {std::string("E1")}, false));
  for (const auto& [texto, esperado] : casos) EXPECT_EQ(texto, esperado);

  // a number key that is not a number never reaches the text
  for (const char* malo : {"12 or 1=1", "abc", "", "1,5", "0x10"}) {
    Consulta c = kSonda;
    c.condiciones = {{"ID_Empleado", C::Numero, std::string(malo)}};
    const ErrorVarlo e = prueba::ErrorDe([&] { d->Select(c); });
    EXPECT_EQ(e.Numero(), 13) << malo;
    EXPECT_EQ(e.Descripcion(),
              std::string("No coinciden los tipos (columna ID_Empleado, valor '") + malo + "')");
  }

  // the lookups of a batch: each key a literal as in the single lookup, no TOP
  EXPECT_EQ(d->SelectVarias(Jerarquia("x"), {std::string("_1"), std::string("O'B")}, false)->texto,
            "Select [Parent] From [Jerarquias] Where [Key] in ('_1', 'O''B')");
  Consulta porNumero{.top = 1, .tabla = "Empleado", .condiciones = {kId12}};
  const auto numeros = d->SelectVarias(porNumero, {std::int64_t{7}, std::string("0012")}, false);
  ASSERT_TRUE(numeros);
  EXPECT_EQ(numeros->texto, "select * from [Empleado] Where [ID_Empleado] in (7, 0012)");
  EXPECT_TRUE(numeros->parametros.empty());
  EXPECT_THROW(d->SelectVarias(porNumero, {std::string("1) or (1=1")}, false), ErrorVarlo);

  // the changes joined on their keys, every value bound: the new values of
  // each row, then its keys
  ActualizacionDiferible a{"dbo.Kardex",
                           {{"Referencia", std::string("R'1")}, {"[Fecha Alta]", Valor{}}},
                           {adVarChar, adDBTimeStamp},
                           kKardex,
                           {}};
  ActualizacionDiferible b = a;
  b.valores[0].second = std::string("R2");
  b.condiciones[0].valor = std::string("124");
  EXPECT_TRUE(d->ActualizaVariasAdmite(a));
  EXPECT_TRUE(d->ActualizaVariasCuentaFilas());
  const auto varias = d->ActualizaVarias({a, b}, nullptr);
  ASSERT_TRUE(varias);
  EXPECT_EQ(varias->texto,
            "update [t] set [Referencia] = [v].[c0], [Fecha Alta] = [v].[c1] from [dbo].[Kardex] "
            "as [t], (values (?, ?, ?, ?), (?, ?, ?, ?)) as [v] ([c0], [c1], [k0], [k1]) where "
            "[t].[Id_Empleado] = [v].[k0] and [t].[Fecha] = [v].[k1] and (select count(*) from "
            "[dbo].[Kardex] as [u] where [u].[Id_Empleado] = [v].[k0] and [u].[Fecha] = "
            "[v].[k1]) = 1");
  EXPECT_EQ(varias->parametros, (std::vector<Valor>{"R'1", Valor{}, "123", FechaHora{2006, 8, 3},
                                                    "R2", Valor{}, "124", FechaHora{2006, 8, 3}}));
  // a picture, a row without keys, or a locator it does not have: one at a time
  ActualizacionDiferible foto = a;
  foto.tipos = {adVarChar, adLongVarBinary};
  ActualizacionDiferible sinLlaves = a;
  sinLlaves.condiciones.clear();
  ActualizacionDiferible conLocalizador = a;
  conLocalizador.localizador = {std::int64_t{7}};
  for (const auto* x : {&foto, &sinLlaves, &conLocalizador}) {
    EXPECT_FALSE(d->ActualizaVariasAdmite(*x));
    EXPECT_FALSE(d->ActualizaVarias({*x}, nullptr));
  }
}

// The statements' texts are run by SQLite and PostgreSQL themselves in the
// engine-wide tests; here, what those runs cannot tell apart: how values are
// bound, and which writes go one record at a time.
TEST(DialectoSQLiteYPostgreSql, ValoresEnlazadosYEscriturasDeUnoEnUno) {
  auto sq = CreaDialecto(Motor::SQLite);
  auto pg = CreaDialecto(Motor::PostgreSql);
  // the changes of a batch in one statement, each row by its locator and keys
  ActualizacionDiferible a{"Turno",
                           {{"Nombre", std::string("N")}, {"Alta", FechaHora{2006, 8, 3}}},
                           {adVarChar, adDBTimeStamp},
                           {kKardex[0]},
                           {std::int64_t{16384}, std::string("(0,1)")}};
  auto varias = pg->ActualizaVarias({a, a}, &kSinJson);
  ASSERT_TRUE(varias);
  // PostgreSQL: every row in one JSON parameter (keys as PostgreSQL names the columns)
  const std::string fila =
      R"j("o":16384,"l":"(0,1)","c":{"Nombre":"N","Alta":"2006-08-03 00:00:00"},"k0":"123"})j";
  EXPECT_EQ(varias->parametros,
            std::vector<Valor>{std::string("[{\"i\":0,") + fila + ",{\"i\":1," + fila + "]"});
  // a picture has no JSON form: written one record at a time
  ActualizacionDiferible foto = a;
  foto.tipos = {adVarChar, adLongVarBinary};
  EXPECT_FALSE(pg->ActualizaVariasAdmite(foto));
  // JSON: numbers in their shortest form, text escaped, NULL as null
  EXPECT_EQ(pg->InsertVarias("T", {"A", "B", "C"},
                             {{1.5, true, std::string("x\\y\n")}, {0.1, false, Valor{}}}, &kSinJson)
                .parametros,
            std::vector<Valor>{std::string(
                R"j([{"A":1.5,"B":true,"C":"x\\y\u000a"},{"A":0.1,"B":false,"C":null}])j")});
  // a date key compares two stored forms on SQLite: one record at a time
  a.localizador = {std::int64_t{7}};
  EXPECT_TRUE(sq->ActualizaVariasAdmite(a));
  a.condiciones = {kKardex[1]};
  EXPECT_FALSE(sq->ActualizaVariasAdmite(a));
  // a date at midnight matches its bare stored form too
  EXPECT_EQ(sq->Select(kDosClaves).parametros,
            (std::vector<Valor>{std::int64_t{12}, "2005-12-25", FechaHora{2005, 12, 25},
                                FechaHora{2005, 12, 25}, "2005-12-25"}));
  EXPECT_EQ(pg->Select(Jerarquia("_3'0012")).parametros,
            std::vector<Valor>{std::string("_3'0012")});
  // a date key drops its time; a decimal number key stays a number
  const Consulta c{.tabla = "E",
                   .condiciones = {{"F", C::Fecha, FechaHora{2006, 8, 3, 10, 0, 0}},
                                   {"N", C::Numero, std::string(" -1.5 ")}}};
  EXPECT_EQ(sq->Select(c).parametros,
            (std::vector<Valor>{"2006-08-03", FechaHora{2006, 8, 3}, FechaHora{2006, 8, 3},
                                "2006-08-03", -1.5}));
}

TEST(Dialectos, NombresSoloComoIdentificadores) {
  auto ss = CreaDialecto(Motor::SqlServer);
  auto sq = CreaDialecto(Motor::SQLite);
  auto pg = CreaDialecto(Motor::PostgreSql);
  // a valid name, always quoted: brackets on SQL Server, double quotes
  // elsewhere; the catalog's spelling kept, nothing folds its case
  const std::array<std::string, 4> validos[] = {
      {"ID_Empleado", "[ID_Empleado]", "\"ID_Empleado\"", "\"ID_Empleado\""},
      {"[Fecha Alta]", "[Fecha Alta]", "\"Fecha Alta\"", "\"Fecha Alta\""},
      {"Año", "[Año]", "\"Año\"", "\"Año\""},
      {"Nº_Tarjeta#2$", "[Nº_Tarjeta#2$]", "\"Nº_Tarjeta#2$\"", "\"Nº_Tarjeta#2$\""},
      {"Order", "[Order]", "\"Order\"", "\"Order\""},
      {"[a\"b;c]", "[a\"b;c]", "\"a\"\"b;c\"", "\"a\"\"b;c\""},
      {"[a.b]", "[a.b]", "\"a.b\"", "\"a.b\""},
      // a schema and a table, each quoted on its own
      {"dbo.Empleado", "[dbo].[Empleado]", "\"dbo\".\"Empleado\"", "\"dbo\".\"Empleado\""},
      {"public.[User]", "[public].[User]", "\"public\".\"User\"", "\"public\".\"User\""},
      {"[rrhh].[Fecha Alta]", "[rrhh].[Fecha Alta]", "\"rrhh\".\"Fecha Alta\"",
       "\"rrhh\".\"Fecha Alta\""},
  };
  for (const auto& [nombre, sqlServer, sqlite, postgres] : validos) {
    EXPECT_EQ(ss->Identificador(nombre), sqlServer);
    EXPECT_EQ(sq->Identificador(nombre), sqlite);
    EXPECT_EQ(pg->Identificador(nombre), postgres);
  }
  // anything else is refused by every dialect in every statement, before any SQL exists
  const char* malos[] = {"Tres; DROP TABLE Empleado",
                         "Empleado--",
                         "1Tabla",
                         "$x",
                         "a b",
                         "[a]]b]",
                         "[]",
                         "[a",
                         "a.b.c",
                         "dbo.",
                         ".Empleado",
                         "dbo..Empleado",
                         "[dbo]x.Empleado",
                         "dbo.[Empleado",
                         "dbo.x;y",
                         "a\tb",
                         "x'y",
                         "Emple\u00A0do",
                         ""};
  for (const char* malo : malos) {
    const std::string nombre = malo;
    for (const Dialecto* d : {ss.get(), sq.get(), pg.get()}) {
      const std::vector<std::pair<std::string, Valor>> valor = {{nombre, Valor{}}};
      const std::function<void()> usos[] = {
          [&] { d->Identificador(nombre); },
          [&] { d->Select(Consulta{.tabla = nombre}); },
          [&] { d->Select(BuscaPorTexto("Empleado", {}, nombre, "1")); },
          [&] { d->Select(Consulta{.columnas = {nombre}, .tabla = "Empleado"}); },
          [&] { d->DeleteFrom(nombre); },
          [&] { d->Insert(nombre, {}); },
          [&] { d->Insert("Empleado", valor); },
          [&] { d->Update("Empleado", valor, {kId12}); },
      };
      for (const auto& uso : usos) {
        const ErrorVarlo e = prueba::ErrorDe(uso);
        EXPECT_EQ(e.Numero(), errores::ArgumentoNoValido) << nombre;
        EXPECT_EQ(e.Descripcion(), "Nombre no válido: " + nombre);
      }
    }
  }
}

}  // namespace
}  // namespace varlo::db
