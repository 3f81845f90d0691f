// PostgreSQL reached natively (libpq) and through psqlODBC: one body per
// case, run on both paths. psqlODBC is the peer for types and values: both
// paths must read the same columns the same way.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "common/ErrorVarlo.h"
#include "db/Backend.h"
#include "db/Dialecto.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErrorEsperado.h"
#include "db/EscriturasDiferidas.h"
#include "db/TiposAdo.h"
#include "support/BackendDeCadena.h"
#include "support/BaseDatosPrueba.h"
#include "support/MotoresPrueba.h"

namespace varlo::db {
namespace {

using prueba::AbreBackend;
using prueba::BaseDatosPrueba;
using prueba::MotorPrueba;

BaseDatosPrueba::Acceso AccesoDe(MotorPrueba m) {
  return m == MotorPrueba::PostgreSql ? BaseDatosPrueba::Acceso::Nativo
                                      : BaseDatosPrueba::Acceso::Odbc;
}

// The class of the error a call raises, with its negative number.
template <class F>
ErrorBaseDatos::Clase ClaseDelError(F&& llamada) {
  const ErrorBaseDatos e = prueba::ErrorDe(llamada);
  EXPECT_LT(e.Numero(), 0) << e.Descripcion();
  return e.ClaseError();
}

// The session's planner setting for reading a table whole.
std::string Recorrido(Backend& b) {
  return ValorComoTexto(b.Consulta({"show enable_seqscan", {}}, 1).filas.at(0).at(0));
}

// The first column of every row, one line each (a plan as text).
std::string Lineas(const ResultadoConsulta& r) {
  std::string t;
  for (const auto& f : r.filas) t += ValorComoTexto(f.at(0)) + "\n";
  return t;
}

// Each name with the value in its place.
std::vector<std::pair<std::string, Valor>> Pares(const std::vector<std::string>& nombres,
                                                 const std::vector<Valor>& v) {
  std::vector<std::pair<std::string, Valor>> r;
  for (std::size_t c = 0; c < nombres.size(); ++c) r.emplace_back(nombres[c], v.at(c));
  return r;
}

// A held change to the row of key `k` (an int column "k") found at `localizador`.
ActualizacionDiferible Cambio(const std::string& tabla,
                              std::vector<std::pair<std::string, Valor>> valores, std::size_t k,
                              std::vector<Valor> localizador = {}) {
  ActualizacionDiferible a{tabla, std::move(valores), {}, {}, std::move(localizador)};
  a.tipos.assign(a.valores.size(), adVarWChar);
  a.condiciones.push_back({"k", ClaseLiteral::Numero, std::to_string(k), "="});
  return a;
}

// Where each row of `tabla` is, by its key "k".
std::vector<std::vector<Valor>> Localizadores(Backend& b, const std::string& tabla) {
  return b
      .Consulta(
          {"select cast(tableoid as bigint), cast(ctid as text) from " + tabla + " order by k", {}},
          0)
      .filas;
}

class PostgreSqlPorAmbosCaminos : public ::testing::TestWithParam<MotorPrueba> {
 protected:
  void SetUp() override {
    cadena_ = pg_.Cadena();
    b_ = AbreBackend(cadena_);
  }
  long Cuenta(const std::string& tabla) {
    return static_cast<long>(
        std::get<std::int64_t>(b_->Consulta({"select count(*) from " + tabla, {}}, 1).filas[0][0]));
  }

  BaseDatosPrueba pg_ = BaseDatosPrueba::PostgreSql(AccesoDe(GetParam()));
  std::string cadena_;
  std::unique_ptr<Backend> b_;
};

// The statement-level rollback psqlODBC gives: inside a transaction a
// failing statement undoes only itself, the transaction stays open and
// commits what came before and after it.
TEST_P(PostgreSqlPorAmbosCaminos, UnaSentenciaFallidaSoloSeDeshaceASiMismaYSuClaseEsLaMisma) {
  // a text of several statements, as a user may write one
  b_->Ejecuta({"create table t (k int primary key, v text); create index on t (v)", {}});
  b_->IniciaTransaccion();
  EXPECT_EQ(b_->Ejecuta({"insert into t values (?, ?)", {std::int64_t{1}, std::string("uno")}}), 1);
  // a duplicate key, and a text the server cannot even prepare
  for (const auto& [texto, clase] :
       {std::pair{"insert into t values (?, 'otro')", ErrorBaseDatos::Clase::ClaveDuplicada},
        std::pair{"insert into t valores (?)", ErrorBaseDatos::Clase::Otro}}) {
    EXPECT_EQ(ClaseDelError([&] { b_->Ejecuta({texto, {std::int64_t{1}}}); }), clase) << texto;
    EXPECT_TRUE(b_->TransaccionAbiertaEnServidor());
  }
  EXPECT_EQ(b_->Ejecuta({"insert into t values (?, ?)", {std::int64_t{2}, std::string("dos")}}), 1);
  b_->ConfirmaTransaccion();
  EXPECT_EQ(Cuenta("t"), 2);
  // a rollback undoes the whole transaction
  b_->IniciaTransaccion();
  b_->Ejecuta({"delete from t", {}});
  b_->DeshaceTransaccion();
  EXPECT_EQ(Cuenta("t"), 2);
  // A commit a deferred constraint refuses ends the transaction: the
  // caller's rollback after it, and the next transaction, put no warning of
  // the server on the administrator's screen...
  b_->Ejecuta({"create table d (k int unique deferrable initially deferred)", {}});
  // nor do a trigger's notices, one per row
  b_->Ejecuta(
      {"create function avisa() returns trigger language plpgsql as "
       "$$ begin raise notice 'fila %', new.k; raise warning 'ojo'; return new; end $$",
       {}});
  b_->Ejecuta(
      {"create trigger avisa before insert on d for each row execute function avisa()", {}});
  testing::internal::CaptureStderr();
  b_->IniciaTransaccion();
  b_->Ejecuta({"insert into d values (1), (1)", {}});
  EXPECT_EQ(ClaseDelError([&] { b_->ConfirmaTransaccion(); }),
            ErrorBaseDatos::Clase::ClaveDuplicada);
  b_->DeshaceTransaccion();
  b_->IniciaTransaccion();
  b_->Ejecuta({"insert into d values (2)", {}});
  b_->ConfirmaTransaccion();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Cuenta("d"), 1);

  // What an error means for the run, as each path reports it: the server's
  // state decides, not the path. A read-only session (a standby) cannot
  // store anything, inside a transaction or not.
  auto soloLectura = AbreBackend(cadena_);
  const auto clase = [](Backend& b, const std::string& texto) {
    return ClaseDelError([&] {
      if (texto.starts_with("select"))
        b.Consulta({texto, {}}, 0);
      else
        b.Ejecuta({texto, {}});
    });
  };
  soloLectura->Ejecuta({"set session characteristics as transaction read only", {}});
  EXPECT_EQ(clase(*soloLectura, "insert into t values (1)"), ErrorBaseDatos::Clase::Almacenamiento);
  soloLectura->IniciaTransaccion();
  EXPECT_EQ(clase(*soloLectura, "insert into t values (1)"), ErrorBaseDatos::Clase::Almacenamiento);
  soloLectura->DeshaceTransaccion();
  // a statement past its wait is cancelled, and the connection goes on (the
  // next statement reads its row)
  Esperas corta;
  corta.sentencia = std::chrono::seconds{1};
  auto lenta = AbreBackend(cadena_, corta);
  EXPECT_EQ(clase(*lenta, "select pg_sleep(4)"), ErrorBaseDatos::Clase::Bloqueo);
  // a session the server ends is a lost connection
  const Valor pid = lenta->Consulta({"select pg_backend_pid()", {}}, 1).filas.at(0).at(0);
  b_->Consulta({"select pg_terminate_backend(cast(? as int))", {pid}}, 1);
  EXPECT_EQ(clase(*lenta, "select 1"), ErrorBaseDatos::Clase::ConexionPerdida);
}

// New rows and changes held for a batch and written together leave what
// each record's own INSERT or UPDATE leaves through psqlODBC, on either
// path. A json or jsonb value (an object, an array, a JSON string, the text
// null, in a domain of jsonb that refuses a string too) is stored as its
// type's input reads the text, never as one JSON string holding it; an
// empty text stays empty, the word NULL a word, NULL a NULL. Natively each
// changed column goes as one typed array, whatever the element's characters
// (quotes, backslashes, braces, commas, blanks) and the column's type (a
// domain, an enum, uuid, jsonb, inet, interval, numeric); a change that
// writes an array column (no array of its own elements) goes as JSON. Rows
// written together without the column types keep their values too. A held
// change whose row another writer moved between the read and the write
// finds one row fewer: the batch is refused (done again record by record)
// and, its transaction undone, nothing of it stays.
TEST_P(PostgreSqlPorAmbosCaminos, UnLoteGuardaLoQueGuardaCadaRegistroPorOdbc) {
  BaseDatosPrueba odbc = BaseDatosPrueba::PostgreSql(BaseDatosPrueba::Acceso::Odbc);
  auto porOdbc = AbreBackend(odbc.Cadena());
  const std::string crea =
      "create domain objeto as jsonb check (jsonb_typeof(value) <> 'string');"
      " create domain positivo as numeric(10,2) check (value > 0);"
      " create type color as enum ('rojo', 'con \"comillas\", y {llaves}');"
      " create table lote (k int primary key, j jsonb, s json, o objeto, t text, u uuid,"
      " n numeric, a int[], v varchar(40), d positivo, e color, ip inet, iv interval, m numeric,"
      " ts timestamp, b boolean, \"Mayús\" text, y bytea, r float8, check (k > 0));"
      " create table sin_tipos (like lote)";
  b_->Ejecuta({crea, {}});
  porOdbc->Ejecuta({crea, {}});
  const auto dialecto = std::shared_ptr<const Dialecto>(CreaDialecto(Motor::PostgreSql));
  const std::vector<std::string> columnas = {"k", "j", "s", "o", "t", "u", "n"};
  using S = std::string;
  const std::vector<std::vector<Valor>> nuevas = {
      {std::int64_t{1}, S(R"({"a": [1, "x\"y"]})"), S(R"({"s" : 1})"), S(R"({"o": 1})"), S(""),
       S("6ecd8c99-4036-403d-bf84-cf8400f67836"), Decimal{"1.50"}},
      {std::int64_t{2}, S("[1, 2]"), S(R"(["t"])"), S("[3]"), S("NULL"), Valor{}, std::int64_t{7}},
      {std::int64_t{3}, S(R"("x")"), S(R"("y")"), S("null"), Valor{},
       S("6ECD8C99-4036-403D-BF84-CF8400F67837"), Valor{}},
      {std::int64_t{4}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{}},
      {std::int64_t{5}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{}},
      {std::int64_t{6}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{}},
  };
  const std::vector<std::vector<Valor>> cambios = {
      {S(R"("z")"), S("1"), S(R"({"b": {}})"), S("NULL"), Valor{}, Decimal{"-2"}, S("{1,2}")},
      {S("null"), S("{}"), S("true"), S(""), S("6ecd8c99-4036-403d-bf84-cf8400f67838"), Valor{},
       Valor{}},
      {S(R"({"c": "é\n"})"), Valor{}, Valor{}, S("x"), Valor{}, std::int64_t{0}, S("{}")},
  };
  // rows of another shape with a picture, the native path's COPY escapes at stake
  const std::vector<std::string> columnasCopia = {"k", "t", "ts", "m", "b", "y", "r"};
  const std::vector<std::vector<Valor>> copia = {
      {std::int64_t{7}, std::string("tab\there\nnueva\r\\barra \\N ñ"),
       FechaHora{2006, 8, 15, 13, 14, 15}, Decimal{"-12345.678"}, true,
       Bytes{0, 9, 10, 13, 92, 255}, 0.1},
      {std::int64_t{8}, Valor{}, FechaHora{5, 1, 2, 3, 4, 5}, Valor{}, false, Bytes{}, -1e300},
      {std::int64_t{9}, std::string("\\N"), FechaHora{1899, 12, 30, 0, 0, 0}, Decimal{"0"}, Valor{},
       Valor{}, Valor{}},
  };
  const std::vector<std::string> cambiadas = {"j", "s", "o", "t", "u", "n", "a"};
  const std::vector<std::vector<Valor>> valores = {
      {std::string("a\"b\\c"), std::string("{x,y}"), Decimal{"3.50"}, std::string("rojo"),
       std::string("6ecd8c99-4036-403d-bf84-cf8400f67836"), std::string("{\"a\": [1, \"x\\\"y\"]}"),
       std::string("10.0.0.1/8"), std::string("1 day 02:00:00"), Decimal{"-12.345"},
       FechaHora{2006, 8, 15, 13, 14, 15}, true, std::string("ñ \\N")},
      {std::string(""), std::string("NULL"), Decimal{"1"},
       std::string("con \"comillas\", y {llaves}"), Valor{}, std::string("\"{}\""),
       std::string("::1"), std::string("-3 mons"), std::int64_t{7}, FechaHora{5, 1, 2, 3, 4, 5},
       false, std::string("")},
      {Valor{}, std::string(" espacio ,}"), Valor{}, Valor{}, Valor{}, Valor{}, Valor{}, Valor{},
       0.1, Valor{}, Valor{}, std::string("\\\"")},
  };
  const std::vector<std::string> columnasArreglos = {"t",  "v",  "d", "e",  "u", "j",
                                                     "ip", "iv", "m", "ts", "b", "[Mayús]"};
  // rows 1 to 3 change with the array column, 4 to 6 without it
  const auto todos = [&](const std::vector<std::vector<Valor>>& localizadores) {
    std::vector<ActualizacionDiferible> r;
    for (std::size_t f = 0; f < 3; ++f) {
      r.push_back(Cambio("lote", Pares(cambiadas, cambios[f]), f + 1, localizadores.at(f)));
      r.push_back(
          Cambio("lote", Pares(columnasArreglos, valores[f]), f + 4, localizadores.at(f + 3)));
    }
    return r;
  };
  // read on this path, both schemas alike; a row as text, each value
  // after its type's index
  const auto lee = [&](const std::string& tabla) {
    std::vector<std::string> filas;
    for (const auto& f :
         b_->Consulta({"select k, j::text, jsonb_typeof(j), s::text,"
                       " json_typeof(s), o::text, jsonb_typeof(o), t, u::text,"
                       " n::text, a::text, v, d, e, ip, iv, m, ts, b, \"Mayús\", y, r"
                       " from " +
                           tabla + " order by k",
                       {}},
                      0)
             .filas) {
      filas.emplace_back();
      for (const Valor& v : f) filas.back() += std::to_string(v.index()) + ValorComoTexto(v) + "|";
    }
    return filas;
  };

  // through psqlODBC one record at a time: each its own INSERT, then its own UPDATE
  for (const auto& fila : nuevas) porOdbc->Ejecuta(dialecto->Insert("lote", Pares(columnas, fila)));
  for (const auto& fila : copia)
    porOdbc->Ejecuta(dialecto->Insert("lote", Pares(columnasCopia, fila)));
  const auto unoNuevas = lee(odbc.Esquema() + ".lote");
  for (const ActualizacionDiferible& a : todos(Localizadores(*porOdbc, "lote")))
    EXPECT_EQ(porOdbc->Ejecuta(dialecto->Update(a.tabla, a.valores, a.condiciones)), 1);
  const auto unoCambios = lee(odbc.Esquema() + ".lote");
  ASSERT_EQ(unoCambios.size(), 9u);
  // row 5: an empty text stays empty ("1|"), the word NULL a word
  EXPECT_TRUE(unoCambios[4].starts_with("25|1\"{}\"|1string|0|0|0|0|1|0|0|0|1NULL|"))
      << unoCambios[4];

  // held, written together
  EscriturasDiferidas diferidas(AbreBackend(cadena_), dialecto);
  diferidas.IniciaTransaccion();
  diferidas.Activa(true);
  for (const auto& fila : nuevas) {
    auto v = Pares(columnas, fila);
    ASSERT_TRUE(diferidas.Difiere("lote", v));
  }
  diferidas.ConfirmaTransaccion();
  // pictures are not held here: those rows go together by the path itself
  if (b_->CopiaFilasAdmitida())
    b_->CopiaFilas("\"lote\"", {"\"k\"", "\"t\"", "\"ts\"", "\"m\"", "\"b\"", "\"y\"", "\"r\""},
                   copia);
  else
    b_->Ejecuta(dialecto->InsertVarias("lote", columnasCopia, copia, nullptr));
  EXPECT_EQ(lee("lote"), unoNuevas);
  diferidas.IniciaTransaccion();
  for (ActualizacionDiferible& a : todos(Localizadores(diferidas, "lote")))
    ASSERT_TRUE(diferidas.DifiereActualizacion(a));
  diferidas.ConfirmaTransaccion();
  EXPECT_EQ(lee("lote"), unoCambios);
  if (GetParam() == MotorPrueba::PostgreSql) {
    const SentenciaSql arreglos{
        "select count(*) from pg_prepared_statements where statement like ?",
        {std::string("%unnest(%")}};
    EXPECT_GT(std::get<std::int64_t>(diferidas.Consulta(arreglos, 1).filas.at(0).at(0)), 0);
  }

  // the rows together without their columns' types
  b_->Ejecuta(dialecto->InsertVarias("sin_tipos", columnas, nuevas, nullptr));
  b_->Ejecuta(dialecto->InsertVarias("sin_tipos", columnasCopia, copia, nullptr));
  EXPECT_EQ(lee("sin_tipos"), unoNuevas);

  // another writer moves row 2 (a new ctid) after the rows were read
  const auto leidas = Localizadores(*b_, "lote");
  b_->Ejecuta({"update lote set t = 'y' where k = 2", {}});
  const auto antes = lee("lote");
  diferidas.IniciaTransaccion();
  for (std::size_t f = 0; f < 3; ++f) {
    ActualizacionDiferible a = Cambio("lote", {{"t", std::string("nuevo")}}, f + 1, leidas[f]);
    ASSERT_TRUE(diferidas.DifiereActualizacion(a));
  }
  // the statement that needed them runs: the refusal is kept for the caller
  EXPECT_NO_THROW(diferidas.Ejecuta({"select 1", {}}));
  EXPECT_TRUE(diferidas.Rechazadas());
  diferidas.DeshaceTransaccion();
  EXPECT_EQ(lee("lote"), antes);

  // Natively a refused row fails the copy and, inside a transaction, the
  // transaction with it: the server takes the rows while the caller goes
  // on, and the refusal comes when the caller waits for it, which then
  // rolls back.
  ASSERT_EQ(b_->CopiaFilasAdmitida(), GetParam() == MotorPrueba::PostgreSql);
  if (!b_->CopiaFilasAdmitida()) return;
  b_->IniciaTransaccion();
  b_->Ejecuta({"delete from lote where k = 9", {}});
  b_->CopiaFilas("\"lote\"", {"\"k\""}, {{std::int64_t{10}}, {std::int64_t{-1}}});
  EXPECT_TRUE(b_->TransaccionAbiertaEnServidor());  // its verdict not read yet
  EXPECT_THROW(b_->EsperaEscrituras(), ErrorVarlo);
  EXPECT_FALSE(b_->TransaccionAbiertaEnServidor());
  b_->DeshaceTransaccion();
  // outside a transaction the copy commits by itself
  b_->CopiaFilas("\"lote\"", {"\"k\""}, {{std::int64_t{11}}});
  EXPECT_EQ(Cuenta("lote where k in (9, 10, 11)"), 2);
}

INSTANTIATE_TEST_SUITE_P(Accesos, PostgreSqlPorAmbosCaminos,
                         ::testing::Values(MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc),
                         prueba::NombreMotor);

// The native path reads every column as psqlODBC does: the same ADO type,
// size and value, NULLs included. The second statement's rows go through
// psqlODBC's bound buffers (its first row is read before the columns are
// bound): many rows with NULLs between values, characters outside the BMP
// filling twice their declared size in UTF-16, an unbound long text before
// the bound columns, and texts longer than the size the driver declares
// (read whole).
TEST(PostgreSqlNativo, TiposYFilasComoLosDaOdbc) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql(BaseDatosPrueba::Acceso::Nativo);
  BaseDatosPrueba odbc = BaseDatosPrueba::PostgreSql(BaseDatosPrueba::Acceso::Odbc);
  const SentenciaSql tipos{
      "select true as b, false as f, '\\x00ff41'::bytea as y, 'r'::\"char\" as ch,"
      " 'abc'::name as nm, 7::int2 as i2, -8::int4 as i4, 9000000000::int8 as i8,"
      " 26::oid as o, 'texto ñ'::text as tx, 1.5::float4 as r4, 0.1::float8 as r8,"
      " 'ab'::char(5) as bp, 'xyz'::varchar(7) as vc, 'sin tope'::varchar as vl,"
      " date '2006-08-15' as d, time '13:14:15' as h,"
      " timestamp '2006-08-15 13:14:15' as ts, 12345.67::numeric(10,2) as n,"
      " '6ecd8c99-4036-403d-bf84-cf8400f67836'::uuid as u, '{\"a\": 1}'::json as j,"
      " '(0,1)'::tid as ct, null::int4 as nulo, null::text as nulot, ? as p",
      {std::string("marca")}};
  const SentenciaSql filas{
      "select repeat('x', g * 1000) as largo, g,"
      " repeat('ñ', 400 + g * 30)::varchar as sin_tope,"
      " (case when g % 2 = 0 then null else repeat('\U0001F600', 3) end)::varchar(3) as ancho,"
      " (g * -0.25)::numeric(4,2) as n, (case when g % 3 = 0 then null else g end)::int2 as i,"
      " timestamp '2006-08-15 13:14:15' + g * interval '1 day 1 second' as ts,"
      " (date '2006-08-15' + g) as d, 'abc'::char(5) as bp, (g % 2 = 0) as b,"
      " g / 4.0::float8 as r from generate_series(1, 9) as g order by g",
      {}};
  auto nativos = AbreBackend(pg.Cadena()), odbcs = AbreBackend(odbc.Cadena());
  for (const auto& [s, nFilas] : {std::pair{tipos, 1u}, std::pair{filas, 9u}}) {
    const ResultadoConsulta nativo = nativos->Consulta(s, 0);
    const ResultadoConsulta porOdbc = odbcs->Consulta(s, 0);
    ASSERT_EQ(nativo.campos.size(), porOdbc.campos.size());
    ASSERT_EQ(nativo.filas.size(), nFilas);
    ASSERT_EQ(porOdbc.filas.size(), nFilas);
    for (std::size_t c = 0; c < nativo.campos.size(); ++c) {
      SCOPED_TRACE(porOdbc.campos[c].nombre);
      EXPECT_EQ(nativo.campos[c].nombre, porOdbc.campos[c].nombre);
      EXPECT_EQ(nativo.campos[c].tipo, porOdbc.campos[c].tipo);
      EXPECT_EQ(nativo.campos[c].tamanoDefinido, porOdbc.campos[c].tamanoDefinido);
      for (std::size_t f = 0; f < nFilas; ++f)
        EXPECT_TRUE(nativo.filas[f].at(c) == porOdbc.filas[f].at(c)) << "fila " << f + 1;
    }
    if (nFilas == 9u) {
      // the longest texts pass what a buffer bound for the size psqlODBC
      // declares for an unsized varchar holds (two UTF-16 units a character)
      EXPECT_LT(porOdbc.campos[2].tamanoDefinido, 335);
      EXPECT_EQ(std::get<std::string>(porOdbc.filas[8][2]).size(), 2 * 670u);
    }
  }
}

// The statements carry "?" markers; inside a literal, a quoted name or a
// comment a "?" is text, as PostgreSQL itself reads it. Statements with
// values are prepared once and run again by name; many different texts keep
// a bounded number prepared on the server, and each still runs with its own
// values. A text with a NUL byte would reach libpq cut at it: it is refused,
// and nothing is written. The session names itself to the server.
// Held new rows of several shapes share a copy only where a column left out
// means NULL: a default of the column or of its domain, or an identity, is
// what a row that leaves the column out gets, as with its own INSERT.
TEST(PostgreSqlNativo, SentenciasConValoresYFilasQueDejanFueraUnaColumna) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql(BaseDatosPrueba::Acceso::Nativo);
  auto b = AbreBackend(pg.Cadena());
  const ResultadoConsulta r = b->Consulta(
      {"select '?''?' as a, $$?$$ as b, $t$?$t$ as c, E'\\'?' as d, ? as \"e?\", /* ? /* ? */ */"
       " cast(? as int) + 1 as f -- ?\n",
       {std::string("x"), std::int64_t{41}}},
      0);
  ASSERT_EQ(r.filas.size(), 1u);
  EXPECT_EQ(r.campos.at(4).nombre, "e?");
  EXPECT_EQ(r.filas[0],
            (std::vector<Valor>{std::string("?'?"), std::string("?"), std::string("?"),
                                std::string("'?"), std::string("x"), std::int64_t{42}}));

  for (std::int64_t vuelta = 0; vuelta < 2; ++vuelta)
    for (std::int64_t i = 0; i < 40; ++i)
      EXPECT_EQ(b->Consulta({"select cast(? as int8) + " + std::to_string(i), {vuelta}}, 1).filas,
                std::vector<std::vector<Valor>>{{Valor{vuelta + i}}});
  const auto uno = [&](const std::string& texto, std::vector<Valor> valores = {}) {
    return b->Consulta({texto, std::move(valores)}, 1).filas.at(0).at(0);
  };
  const Valor preparadas = uno("select count(*) from pg_prepared_statements where name like ?",
                               {std::string("varlodi%")});
  EXPECT_LE(std::get<std::int64_t>(preparadas), 17);
  EXPECT_GE(std::get<std::int64_t>(preparadas), 1);

  b->Ejecuta({"create table t (v text)", {}});
  EXPECT_THROW(b->Ejecuta({"insert into t values (?)", {std::string("a\0b", 3)}}), ErrorVarlo);
  EXPECT_EQ(uno("select count(*) from t"), Valor{std::int64_t{0}});
  EXPECT_EQ(uno("select application_name from pg_stat_activity where pid = pg_backend_pid()"),
            Valor{std::string("varlodi")});

  b->Ejecuta(
      {"create domain con_valor as text default 'dominio';"
       " create table f (k int primary key, t text, d text default 'propio', o con_valor,"
       " i int generated by default as identity, y bytea)",
       {}});
  EscriturasDiferidas diferidas(AbreBackend(pg.Cadena()),
                                std::shared_ptr<const Dialecto>(CreaDialecto(Motor::PostgreSql)));
  diferidas.IniciaTransaccion();
  diferidas.Activa(true);
  using S = std::string;
  for (auto fila : std::vector<std::vector<std::pair<S, Valor>>>{
           {{"k", std::int64_t{1}}, {"t", S("a")}},
           {{"k", std::int64_t{2}}, {"t", S("b")}, {"y", Bytes{0, 0xff}}},
           {{"k", std::int64_t{3}}, {"o", S("suyo")}},
           {{"k", std::int64_t{4}}, {"t", S("c")}},
           {{"k", std::int64_t{5}}, {"d", S("mio")}},
           {{"k", std::int64_t{6}}, {"t", S("e")}},
           {{"k", std::int64_t{7}}, {"i", std::int64_t{100}}},
           {{"k", std::int64_t{8}}}})
    ASSERT_TRUE(diferidas.Difiere("f", fila));
  diferidas.ConfirmaTransaccion();
  std::vector<S> filas;
  for (const auto& f :
       b->Consulta({"select k, t, d, o, i, encode(y, 'hex') from f order by k", {}}, 0).filas) {
    filas.emplace_back();
    for (const Valor& v : f) filas.back() += (EsNulo(v) ? S("NULL") : ValorComoTexto(v)) + "|";
  }
  EXPECT_EQ(filas,
            (std::vector<S>{"1|a|propio|dominio|1|NULL|", "2|b|propio|dominio|2|00ff|",
                            "3|NULL|propio|suyo|3|NULL|", "4|c|propio|dominio|4|NULL|",
                            "5|NULL|mio|dominio|5|NULL|", "6|e|propio|dominio|6|NULL|",
                            "7|NULL|propio|dominio|100|NULL|", "8|NULL|propio|dominio|7|NULL|"}));
}

// The lookup of a batch's keys finds what each key's own lookup finds,
// awkward characters included, and reads the key's index even in a table
// filled in the same transaction and never analysed (created and filled the
// same night), after the lookup ran while it was empty (a plan kept from
// then would read the table whole for every part of the batch). The
// server's own counts of this session tell how it read.
TEST_P(PostgreSqlPorAmbosCaminos, LaBusquedaDeUnLoteLeeElIndiceYSuAjusteNoQuedaNiSeCompila) {
  const auto dialecto = CreaDialecto(Motor::PostgreSql);
  b_->Ejecuta(
      {"create table k (k text primary key, n int unique, v int)"
       " with (autovacuum_enabled = false)",
       {}});
  Consulta porTexto;
  porTexto.tabla = "k";
  porTexto.columnas = {"k", "v"};
  porTexto.condiciones.emplace_back();
  porTexto.condiciones[0].columna = "k";
  Consulta porNumero = porTexto;
  porNumero.condiciones[0].columna = "n";
  porNumero.condiciones[0].clase = ClaseLiteral::Numero;
  std::vector<Valor> textos, numeros;
  for (const char* t : {"a\"b", "c\\d", "e,f", "{g}", " h ", "NULL", "", "ñandú", "falta"})
    textos.emplace_back(std::string(t));
  for (std::int64_t i = 0; i < 1000; ++i) {
    textos.emplace_back("c" + std::to_string(i * 17));
    numeros.emplace_back(std::int64_t{i * 13});
  }
  // rows as texts, in no particular order
  auto textosDe = [](const ResultadoConsulta& r, std::multiset<std::string>& filas) {
    for (const auto& f : r.filas)
      filas.insert(ValorComoTexto(f.at(0)) + "|" + ValorComoTexto(f.at(1)));
  };
  auto lote = [&](const Consulta& c, const std::vector<Valor>& llaves) {
    std::multiset<std::string> filas;
    textosDe(b_->Consulta(*dialecto->SelectVarias(c, llaves, false), 0), filas);
    return filas;
  };
  auto unaPorUna = [&](const Consulta& c, const std::vector<Valor>& llaves) {
    std::multiset<std::string> filas;
    for (const Valor& llave : llaves)
      textosDe(b_->Consulta(
                   {"select k, v from k where " + c.condiciones[0].columna + " = ?", {llave}}, 0),
               filas);
    return filas;
  };

  // the counts of this session not yet reported (building the indexes scanned the table)
  auto lecturas = [&] {
    return b_->Consulta({"select seq_scan, idx_scan from pg_stat_xact_user_tables"
                         " where relname = 'k' and schemaname = current_schema()",
                         {}},
                        0);
  };
  b_->IniciaTransaccion();
  const ResultadoConsulta antes = lecturas();
  ASSERT_EQ(antes.filas.size(), 1u);
  EXPECT_TRUE(lote(porTexto, textos).empty());
  EXPECT_TRUE(lote(porNumero, numeros).empty());
  b_->Ejecuta({"insert into k select 'c' || i, i, i % 7 from generate_series(0, 40000) as i", {}});
  b_->Ejecuta(
      {"insert into k values (?, -1, 1), (?, -2, 2), (?, -3, 3), (?, -4, 4), (?, -5, 5),"
       " (?, -6, 6), (?, -7, 7), (?, -8, 8)",
       {textos[0], textos[1], textos[2], textos[3], textos[4], textos[5], textos[6], textos[7]}});
  // past the first runs a prepared statement may keep a generic plan
  for (int vuelta = 0; vuelta < 8; ++vuelta) {
    const auto filas = lote(porTexto, textos);
    EXPECT_EQ(filas.size(), 1008u);
    EXPECT_EQ(filas, unaPorUna(porTexto, textos));
    EXPECT_EQ(lote(porNumero, numeros), unaPorUna(porNumero, numeros));
  }
  const ResultadoConsulta despues = lecturas();
  ASSERT_EQ(despues.filas.size(), 1u);
  EXPECT_EQ(despues.filas[0][0], antes.filas[0][0]);
  EXPECT_GT(std::get<std::int64_t>(despues.filas[0][1]), std::get<std::int64_t>(antes.filas[0][1]));
  b_->ConfirmaTransaccion();
  // the setting was for the lookup alone
  EXPECT_EQ(Recorrido(*b_), "on");

  // the session of lookups (beside the writing one) reads the index too
  SentenciaSql aparte = *dialecto->SelectVarias(porTexto, textos, false);
  aparte.texto = "explain " + aparte.texto;
  b_->IniciaTransaccion();
  const std::optional<ResultadoConsulta> plan = b_->ConsultaAparte(aparte);
  b_->ConfirmaTransaccion();
  ASSERT_TRUE(plan.has_value());
  EXPECT_TRUE(Lineas(*plan).find("Index") != std::string::npos &&
              Lineas(*plan).find("Seq Scan") == std::string::npos)
      << Lineas(*plan).substr(0, 300);

  // The planner's setting is the lookup's alone: back to the session's own
  // after it, also when it fails (psqlODBC undoes only the failed statement,
  // not the setting made before it), and a failing lookup undoes only itself
  // inside the transaction. Ruling sequential scans out costs the planner so
  // much, on a table without an index on the key, that it would compile (JIT)
  // every batch's lookup, for tens of milliseconds each: a batch's lookup is
  // never compiled, on the writing session nor on the session of lookups,
  // and the session's own setting is back after it.
  b_->Ejecuta(
      {"create table plan (k text primary key, n int unique);"
       " insert into plan values ('a', 1), ('b', 2);"
       " create table sinindice (k text, v int);"
       " insert into sinindice select 'c' || i, i from generate_series(1, 80) as i",
       {}});
  Consulta enPlan;
  enPlan.tabla = "plan";
  enPlan.columnas = {"k"};
  enPlan.condiciones.push_back({"n", ClaseLiteral::Numero, std::string("0"), "="});
  const auto lookup = *dialecto->SelectVarias(enPlan, {std::int64_t{1}, std::int64_t{3}}, false);
  EXPECT_EQ(b_->Consulta(lookup, 0).filas, (std::vector<std::vector<Valor>>{{std::string("a")}}));
  EXPECT_EQ(Recorrido(*b_), "on");

  b_->IniciaTransaccion();
  b_->Ejecuta({"insert into plan values ('c', 3)", {}});
  EXPECT_EQ(b_->Consulta(lookup, 0).filas.size(), 2u);
  EXPECT_EQ(Recorrido(*b_), "on");
  // a key the column cannot take fails when the statement runs, and one the
  // server cannot even prepare
  const SentenciaSql fallidas[] = {
      *dialecto->SelectVarias(enPlan, {std::int64_t{1}, std::string("no es número")}, false),
      {"select nada from plan where n in (?)", {std::int64_t{1}}}};
  for (const SentenciaSql& fallida : fallidas) {
    EXPECT_THROW(b_->Consulta(fallida, 0), ErrorVarlo);
    EXPECT_TRUE(b_->TransaccionAbiertaEnServidor());
    EXPECT_EQ(Recorrido(*b_), "on");
  }
  EXPECT_EQ(b_->Consulta(lookup, 0).filas.size(), 2u);
  b_->ConfirmaTransaccion();
  EXPECT_EQ(Cuenta("plan"), 3);
  // what is put back is the value in force before the lookup, not the
  // session's default
  b_->IniciaTransaccion();
  b_->Ejecuta({"set local enable_seqscan = off", {}});
  EXPECT_EQ(b_->Consulta(lookup, 0).filas.size(), 2u);
  EXPECT_EQ(Recorrido(*b_), "off");
  b_->ConfirmaTransaccion();
  EXPECT_EQ(Recorrido(*b_), "on");

  const SentenciaSql explica{"explain analyze select k, v from sinindice where k in (?, ?)",
                             {std::string("c1"), std::string("x")}};
  auto jit = [&] { return ValorComoTexto(b_->Consulta({"show jit", {}}, 1).filas.at(0).at(0)); };
  const std::string propio = jit();
  b_->IniciaTransaccion();
  // (first: the writing session's explain is taken for a write)
  const auto explicado = b_->ConsultaAparte(explica);
  ASSERT_TRUE(explicado.has_value());
  EXPECT_EQ(Lineas(*explicado).find("JIT"), std::string::npos);
  const std::string escritura = Lineas(b_->Consulta(explica, 0));
  EXPECT_NE(escritura.find("Seq Scan"), std::string::npos) << escritura;
  EXPECT_EQ(escritura.find("JIT"), std::string::npos) << escritura;
  EXPECT_EQ(jit(), propio);
  b_->ConfirmaTransaccion();
}

}  // namespace
}  // namespace varlo::db
