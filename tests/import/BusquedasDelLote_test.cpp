// A key repeated in a batch, on SQLite, whose row keeps its locator when
// changed: the later record is served the row as the earlier one left it,
// while that change is still held, instead of asking the database, which
// would first have to write what is held.
#include "import/BusquedasDelLote.h"

#include <gtest/gtest.h>

#include <memory>

#include "db/Conexion.h"
#include "db/ErrorBaseDatos.h"
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
  EXPECT_THROW(cn->CommitTrans(), db::ErrorBaseDatos);
  cn->RollbackTrans();
}

}  // namespace
}  // namespace varlo
