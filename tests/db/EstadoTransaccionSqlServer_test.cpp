// After a failed statement SQL Server is asked whether the transaction is
// still open (the text is judged by the T-SQL parser test): its answers, as
// the driver returns them, decide whether the batch must be done again.
#include <gtest/gtest.h>

#include "db/odbc/ConexionOdbc.h"

namespace varlo::db {
namespace {

ResultadoConsulta Respuesta(Valor trancount, Valor estado) {
  ResultadoConsulta r;
  r.campos.resize(2);
  r.filas.push_back({std::move(trancount), std::move(estado)});
  return r;
}

TEST(EstadoTransaccionSqlServer, SoloUnaTransaccionQuePuedeConfirmarseSigueAbierta) {
  using I = std::int64_t;
  // open, and free to commit
  EXPECT_TRUE(TransaccionAbiertaSegunSqlServer(Respuesta(I{1}, I{1})));
  EXPECT_TRUE(TransaccionAbiertaSegunSqlServer(Respuesta(I{2}, std::string("1"))));
  // a deadlock victim or XACT_ABORT: the server rolled it back already
  EXPECT_FALSE(TransaccionAbiertaSegunSqlServer(Respuesta(I{0}, I{0})));
  // doomed: still counted, but only a rollback is allowed
  EXPECT_FALSE(TransaccionAbiertaSegunSqlServer(Respuesta(I{1}, I{-1})));
  // no answer at all is no proof that the work is still there
  EXPECT_FALSE(TransaccionAbiertaSegunSqlServer(ResultadoConsulta{}));
  EXPECT_FALSE(TransaccionAbiertaSegunSqlServer(Respuesta(Valor{}, I{1})));
}

}  // namespace
}  // namespace varlo::db
