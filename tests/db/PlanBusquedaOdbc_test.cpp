// A batch's lookup through psqlODBC ("key in (?, ?, ...)") on a table
// without statistics (created and filled in the same night, not yet
// analysed) must read the key's index, not the whole table for every part
// of the batch. The server's own counts of this session tell how it read.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/Backend.h"
#include "db/CadenaConexion.h"
#include "db/Conexion.h"
#include "db/Dialecto.h"
#include "db/Recordset.h"
#include "db/odbc/ConexionOdbc.h"
#include "support/BaseDatosPrueba.h"

namespace varlo::db {
namespace {

using prueba::BaseDatosPrueba;

// Sequential and index reads of table plan_odbc (a name no other test of
// the shared cluster uses: the statistics view lists every schema) by this session's open
// transaction.
struct Lecturas {
  std::int64_t recorridos = 0;
  std::int64_t porIndice = 0;
};

Lecturas LecturasDe(Conexion& cn) {
  Consulta c;
  c.tabla = "pg_stat_xact_user_tables";
  c.columnas = {"seq_scan", "idx_scan"};
  c.condiciones.push_back({"relname", ClaseLiteral::Texto, std::string("plan_odbc"), "="});
  auto rs = cn.AbreConsulta(c, 0);
  EXPECT_FALSE(rs->EOF_());
  if (rs->EOF_()) return {};
  return {std::get<std::int64_t>(rs->Value(0)), std::get<std::int64_t>(rs->Value(1))};
}

Consulta PorLlave(const std::string& columna, ClaseLiteral clase) {
  Consulta c;
  c.tabla = "plan_odbc";
  c.columnas = {"k", "v"};
  c.condiciones.push_back(
      {columna, clase, clase == ClaseLiteral::Numero ? std::string("0") : std::string(), "="});
  return c;
}

// The batch's lookups as the import makes them: several parts of keys,
// first on the empty table (a plan may be kept from then), then on the
// filled one, through prepared statements run again and again.
TEST(PlanBusquedaOdbc, LaBusquedaDeUnLoteLeeElIndiceSinEstadisticas) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql(BaseDatosPrueba::Acceso::Odbc);
  auto cn = Conexion::Abre(pg.Cadena());
  ASSERT_EQ(cn->MotorBD(), Motor::PostgreSql);
  cn->Execute(
      "create table plan_odbc (k text primary key, n int unique, v int)"
      " with (autovacuum_enabled = false)");
  const Consulta porTexto = PorLlave("k", ClaseLiteral::Texto);
  const Consulta porNumero = PorLlave("n", ClaseLiteral::Numero);
  ASSERT_TRUE(cn->AnticipaBusquedas(porTexto));
  ASSERT_TRUE(cn->AnticipaBusquedas(porNumero));
  std::vector<Valor> textos, numeros;
  for (std::int64_t i = 0; i < 2500; ++i) {
    textos.emplace_back("c" + std::to_string(i * 17));
    numeros.emplace_back(std::to_string(i * 13));
  }

  cn->BeginTrans();
  const Lecturas antes = LecturasDe(*cn);
  cn->Anticipa(porTexto, textos);
  cn->Anticipa(porNumero, numeros);
  cn->Execute(
      "insert into plan_odbc select 'c' || i, i, i % 7 from generate_series(0, 40000) as i");
  for (int vuelta = 0; vuelta < 8; ++vuelta) {
    cn->Anticipa(porTexto, textos);
    cn->Anticipa(porNumero, numeros);
  }
  const Lecturas despues = LecturasDe(*cn);
  EXPECT_EQ(despues.recorridos, antes.recorridos);
  // at least one index read for each part: 2 keys x 9 rounds x 3 parts
  EXPECT_GE(despues.porIndice - antes.porIndice, 54);
  // the rows the guarded lookup found answer the batch's own lookups
  cn->Anticipa(porNumero, numeros);
  Consulta una = porNumero;
  una.condiciones[0].valor = std::string("442");
  auto rs = cn->AbreConsulta(una, 0);
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Value(0), Valor{std::string("c442")});
  cn->CommitTrans();
}

// The ODBC backend itself, without the layers above it.
std::unique_ptr<Backend> AbreBackendOdbc(const std::string& cadena) {
  return AbreOdbc(InterpretaCadena(cadena).cadenaOdbc);
}

std::string Recorrido(Backend& b) {
  return ValorComoTexto(b.Consulta({"show enable_seqscan", {}}, 1).filas.at(0).at(0));
}

// The planner's setting is the lookup's alone: back to the session's own
// after it, also when it fails (psqlODBC undoes only the failed statement,
// not the setting made before it), and a failing lookup undoes only itself
// inside the transaction. Outside one the setting is left alone.
TEST(PlanBusquedaOdbc, ElAjusteNoSobreviveALaBusqueda) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql(BaseDatosPrueba::Acceso::Odbc);
  auto b = AbreBackendOdbc(pg.Cadena());
  b->Ejecuta({"create table plan_odbc (k text primary key, n int unique)", {}});
  b->Ejecuta({"insert into plan_odbc values ('a', 1), ('b', 2)", {}});
  const auto dialecto = CreaDialecto(Motor::PostgreSql);
  Consulta porNumero = PorLlave("n", ClaseLiteral::Numero);
  porNumero.columnas = {"k"};

  EXPECT_EQ(b->Consulta(*dialecto->SelectVarias(porNumero, {std::int64_t{2}}, false), 0).filas,
            (std::vector<std::vector<Valor>>{{std::string("b")}}));
  EXPECT_EQ(Recorrido(*b), "on");

  b->IniciaTransaccion();
  b->Ejecuta({"insert into plan_odbc values ('c', 3)", {}});
  const auto lookup = *dialecto->SelectVarias(porNumero, {std::int64_t{1}, std::int64_t{3}}, false);
  EXPECT_EQ(b->Consulta(lookup, 0).filas.size(), 2u);
  EXPECT_EQ(Recorrido(*b), "on");
  // a key the column cannot take fails when the statement runs
  EXPECT_THROW(b->Consulta(*dialecto->SelectVarias(
                               porNumero, {std::int64_t{1}, std::string("no es número")}, false),
                           0),
               ErrorVarlo);
  EXPECT_TRUE(b->TransaccionAbiertaEnServidor());
  EXPECT_EQ(Recorrido(*b), "on");
  // and one the server cannot even prepare
  EXPECT_THROW(b->Consulta({"select nada from plan_odbc where n in (?)", {std::int64_t{1}}}, 0),
               ErrorVarlo);
  EXPECT_TRUE(b->TransaccionAbiertaEnServidor());
  EXPECT_EQ(Recorrido(*b), "on");
  EXPECT_EQ(b->Consulta(lookup, 0).filas.size(), 2u);
  b->ConfirmaTransaccion();
  EXPECT_EQ(b->Consulta({"select count(*) from plan_odbc", {}}, 1).filas.at(0).at(0),
            Valor{std::int64_t{3}});
}

}  // namespace
}  // namespace varlo::db
