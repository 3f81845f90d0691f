// A batch's lookups on SQLite: a key repeated in the batch is served the row
// as the earlier record left it, and the rows are read only in the columns
// the records read.
#include "import/BusquedasDelLote.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/Conexion.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

TEST(BusquedasDelLote, LaLlaveRepetidaVeElCambioRetenidoSinEscribirlo) {
  prueba::CarpetaTemporal carpeta;
  auto cn = db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(carpeta.Ruta()));
  // the check refuses the change only when it is written
  cn->Execute("CREATE TABLE T (K VARCHAR(10) NOT NULL PRIMARY KEY, N INT CHECK (N < 100), A INT)");
  cn->Execute("INSERT INTO T (K, N, A) VALUES ('a', 1, 1)");
  cn->BeginTrans();
  cn->DifiereInserciones(true);
  BusquedasDelLote busquedas;
  const db::Consulta modelo = db::BuscaPorTexto("T", {}, "K", "a");
  busquedas.Busca(*cn, modelo, {db::Valor("a"), db::Valor("a")});

  std::unique_ptr<db::Recordset> rs = busquedas.Reabre(*cn, modelo, nullptr);
  ASSERT_FALSE(rs->EOF_());
  rs->AsignaTexto(rs->IndiceCampo("N"), "500");
  rs->Update();
  busquedas.Cambiada(*cn, *rs);
  rs->Close();

  // asking the database would write the held change, and fail here
  ASSERT_NO_THROW(rs = busquedas.Reabre(*cn, modelo, std::move(rs)));
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("N")), "500");
  rs->AsignaTexto(rs->IndiceCampo("A"), "2");
  rs->Update();
  rs->Close();
  // both changes were still held: refused together when written
  EXPECT_FALSE(cn->RetenidasRechazadas());
  cn->EscribeRetenidas();
  EXPECT_TRUE(cn->RetenidasRechazadas());
  EXPECT_THROW(cn->CommitTrans(), ErrorVarlo);
  cn->RollbackTrans();
}

// A row the batch added is served to the next record of its key without
// writing what is held, and that record's change is held after it; but not
// while a field the records read is null, which the column's default fills
// only once the row is written.
TEST(BusquedasDelLote, LaLlaveRepetidaVeLaFilaAgregadaSinEscribirla) {
  prueba::CarpetaTemporal carpeta;
  auto cn = db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(carpeta.Ruta()));
  cn->Execute(
      "CREATE TABLE T (K VARCHAR(10) NOT NULL PRIMARY KEY, N INT CHECK (N < 100), A INT, "
      "U VARCHAR(5) DEFAULT 'u')");
  cn->BeginTrans();
  cn->DifiereInserciones(true);
  BusquedasDelLote busquedas;
  const db::Consulta modelo = db::BuscaPorTexto("T", {}, "K", "b");
  busquedas.Busca(*cn, modelo, {db::Valor("b"), db::Valor("b"), db::Valor("c"), db::Valor("c")});
  std::unique_ptr<db::Recordset> rs;
  const auto agrega = [&](const std::string& k, const std::string& n, bool conU) {
    rs = busquedas.Reabre(*cn, db::BuscaPorTexto("T", {}, "K", k), std::move(rs));
    ASSERT_TRUE(rs->EOF_());
    rs->AddNew();
    rs->AsignaTexto(rs->IndiceCampo("K"), k);
    rs->AsignaTexto(rs->IndiceCampo("N"), n);
    rs->Update();
    busquedas.Cambiada(*cn, *rs,
                       conU ? std::vector<int>{rs->IndiceCampo("U")} : std::vector<int>{});
    rs->Close();
  };
  // the check refuses the first row only when it is written
  agrega("b", "500", false);
  ASSERT_NO_THROW(rs = busquedas.Reabre(*cn, modelo, std::move(rs)));
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("N")), "500");
  rs->AsignaTexto(rs->IndiceCampo("A"), "2");
  EXPECT_NO_THROW(rs->Update());
  rs->Close();
  agrega("c", "1", true);
  // U is read and still null: the database is asked, and what is held is written
  EXPECT_FALSE(cn->RetenidasRechazadas());
  rs = busquedas.Reabre(*cn, db::BuscaPorTexto("T", {}, "K", "c"), std::move(rs));
  EXPECT_TRUE(cn->RetenidasRechazadas());
  cn->RollbackTrans();
}

// The first batch of a table reads every column (and gives the fields);
// later ones read the keys, binary columns and those the records name, the
// rest left null, and a record's change through such a row keeps them.
TEST(BusquedasDelLote, LasFilasSeLeenEnLasColumnasQueLeenLosRegistros) {
  prueba::CarpetaTemporal carpeta;
  auto cn = db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(carpeta.Ruta()));
  cn->Execute("CREATE TABLE T (K VARCHAR(10) NOT NULL PRIMARY KEY, A VARCHAR(10), N INT, F BLOB)");
  cn->Execute("INSERT INTO T (K, A, N, F) VALUES ('a', 'uno', 1, x'0102'), ('b', 'dos', 2, NULL)");
  const db::Consulta modelo = db::BuscaPorTexto("T", {"K", "A", "N", "F"}, "K", "a");
  const std::vector<std::string> leidas = {"N"};
  const std::vector<db::Valor> llaves = {db::Valor("a"), db::Valor("b")};
  cn->BeginTrans();
  auto entero = cn->BuscaLote(modelo, llaves, &leidas);
  auto estrecho = cn->BuscaLote(modelo, llaves, &leidas);
  ASSERT_TRUE(entero && estrecho);
  ASSERT_EQ(estrecho->filas.campos.size(), entero->filas.campos.size());
  ASSERT_EQ(estrecho->filas.filas.size(), 2u);
  for (std::size_t f = 0; f < 2; ++f) {
    const auto& fila = estrecho->filas.filas[f];
    const auto& leida = entero->filas.filas[f];
    ASSERT_EQ(fila.size(), leida.size());
    for (std::size_t c : {0u, 2u, 3u, 4u}) EXPECT_EQ(fila[c], leida[c]) << f << ' ' << c;
    EXPECT_TRUE(db::EsNulo(fila[1]));
  }
  std::unique_ptr<db::Recordset> rs = cn->ReabreConsultaLeida(
      modelo, nullptr, estrecho->filas.campos, {std::move(estrecho->filas.filas[0])}, 0);
  rs->AsignaTexto(rs->IndiceCampo("N"), "5");
  rs->Update();
  rs->Close();
  cn->CommitTrans();
  rs = cn->AbreConsulta(modelo, 1);
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("A")), "uno");
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("N")), "5");
  EXPECT_EQ(rs->ActualSize(rs->IndiceCampo("F")), 2);
}

}  // namespace
}  // namespace varlo
