// A table's lookup row set opened again record after record: nothing of the
// last record (its row, its pending change, its fields) may show through,
// whether the row comes from the database or from a batch fetched ahead.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "db/Conexion.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/MotoresPrueba.h"

namespace varlo::db {
namespace {

using prueba::BaseDe;
using prueba::MotorPrueba;

class ReabreConsulta : public ::testing::TestWithParam<MotorPrueba> {
 protected:
  void SetUp() override {
    cn_ = Conexion::Abre(BaseDe(GetParam(), carpeta_.Ruta(), pg_));
    cn_->Execute("CREATE TABLE Clave (K VARCHAR(10) NOT NULL PRIMARY KEY, A VARCHAR(10), N INT)");
    cn_->Execute("INSERT INTO Clave (K, A, N) VALUES ('a', 'uno', 1)");
  }
  std::unique_ptr<Recordset> Busca(const std::string& k, std::unique_ptr<Recordset> anterior) {
    return cn_->ReabreConsulta(BuscaPorTexto("Clave", {}, "K", k), 1, std::move(anterior));
  }
  static std::string Texto(const Recordset& rs, const char* campo) {
    return rs.Texto(rs.IndiceCampo(campo));
  }

  prueba::CarpetaTemporal carpeta_;
  std::unique_ptr<prueba::BaseDatosPrueba> pg_;
  std::unique_ptr<Conexion> cn_;
};

TEST_P(ReabreConsulta, NadaDelRegistroAnteriorSeVe) {
  // a change left pending and abandoned, then another key, then the first again
  auto rs = Busca("a", nullptr);
  rs->AsignaTexto(rs->IndiceCampo("A"), "abandonado");
  rs->Close();
  rs = Busca("b", std::move(rs));
  ASSERT_TRUE(rs->BOF() && rs->EOF_());
  rs->AddNew();
  rs->AsignaTexto(rs->IndiceCampo("K"), "b");
  rs->AsignaTexto(rs->IndiceCampo("A"), "dos");
  rs->Update();
  rs->Close();
  rs = Busca("a", std::move(rs));
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(Texto(*rs, "A"), "uno");
  EXPECT_EQ(Texto(*rs, "N"), "1");
  rs->Close();

  // another table's lookup in between: its own fields, then this table's again
  const Consulta empleado = BuscaPorTexto("Empleado", {}, "ID_Empleado", "x");
  const int camposEmpleado = cn_->AbreConsulta(empleado, 1)->FieldCount();
  rs = cn_->ReabreConsulta(empleado, 1, std::move(rs));
  EXPECT_EQ(rs->FieldCount(), camposEmpleado);
  rs->Close();
  rs = Busca("b", std::move(rs));
  ASSERT_EQ(rs->FieldCount(), 3);
  EXPECT_EQ(Texto(*rs, "A"), "dos");
  rs->Close();

  // over the rows of a batch read ahead: found, not found, and an update of the found row
  cn_->BeginTrans();
  const Consulta modelo = BuscaPorTexto("Clave", {}, "K", "a");
  std::optional<LoteLeido> lote = cn_->BuscaLote(modelo, {Valor("a"), Valor("c")});
  ASSERT_TRUE(lote);
  ASSERT_EQ(lote->filas.filas.size(), 1u);  // "c" has no row
  rs = cn_->ReabreConsultaLeida(BuscaPorTexto("Clave", {}, "K", "c"), std::move(rs),
                                lote->filas.campos, {}, 0);
  EXPECT_TRUE(rs->BOF() && rs->EOF_());
  rs->Close();
  rs = cn_->ReabreConsultaLeida(BuscaPorTexto("Clave", {}, "K", "a"), std::move(rs),
                                lote->filas.campos, std::move(lote->filas.filas), 0);
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(Texto(*rs, "A"), "uno");
  rs->AsignaTexto(rs->IndiceCampo("N"), "7");
  rs->Update();
  rs->Close();
  const unsigned long epoca = cn_->Epoca();
  cn_->CommitTrans();
  EXPECT_NE(cn_->Epoca(), epoca);  // what was read in the transaction is not served after it
  rs = Busca("a", std::move(rs));
  EXPECT_EQ(Texto(*rs, "N"), "7");
  EXPECT_EQ(Texto(*rs, "A"), "uno");
}

INSTANTIATE_TEST_SUITE_P(Motores, ReabreConsulta, prueba::TodosLosMotores(), prueba::NombreMotor);

}  // namespace
}  // namespace varlo::db
