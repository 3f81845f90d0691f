// A planning line whose range is longer than what a batch reads ahead (a
// leave "until 9999-12-31"): its later days are read together too, not
// looked up one by one, which on a server took a round trip per day.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/Conexion.h"
#include "incidences/EscenarioIncidencias.h"

namespace varlo::prueba {
namespace {

// The run's connection, counting the lookups of Kardex asked one by one and
// the reads of many days together.
class ConexionContada final : public db::Conexion {
 public:
  explicit ConexionContada(std::unique_ptr<db::Conexion> cn, long& sueltas, long& lotes)
      : cn_(std::move(cn)), sueltas_(sueltas), lotes_(lotes) {}
  int State() const override { return cn_->State(); }
  db::Motor MotorBD() const override { return cn_->MotorBD(); }
  const db::Dialecto& DialectoBD() const override { return cn_->DialectoBD(); }
  void Execute(const std::string& sql) override { cn_->Execute(sql); }
  std::unique_ptr<db::Recordset> AbreConsulta(const db::Consulta& c, long maximo) override {
    return cn_->AbreConsulta(c, maximo);
  }
  std::unique_ptr<db::Recordset> ReabreConsulta(const db::Consulta& c, long maximo,
                                                std::unique_ptr<db::Recordset> rs) override {
    if (c.tabla == "Kardex") ++sueltas_;
    return cn_->ReabreConsulta(c, maximo, std::move(rs));
  }
  bool AnticipaBusquedas(const db::Consulta& c) const override { return cn_->AnticipaBusquedas(c); }
  std::optional<db::LoteLeido> BuscaLote(const db::Consulta& c,
                                         const std::vector<db::Valor>& llaves,
                                         const std::vector<std::string>* leidas) override {
    ++lotes_;
    return cn_->BuscaLote(c, llaves, leidas);
  }
  std::unique_ptr<db::Recordset> ReabreConsultaLeida(const db::Consulta& c,
                                                     std::unique_ptr<db::Recordset> rs,
                                                     const std::vector<db::InfoCampo>& campos,
                                                     std::vector<std::vector<db::Valor>> filas,
                                                     unsigned long version) override {
    return cn_->ReabreConsultaLeida(c, std::move(rs), campos, std::move(filas), version);
  }
  unsigned long Epoca() const override { return cn_->Epoca(); }
  void DifiereInserciones(bool activa) override { cn_->DifiereInserciones(activa); }
  void EscribeRetenidas() override { cn_->EscribeRetenidas(); }
  bool RetenidasRechazadas() const override { return cn_->RetenidasRechazadas(); }
  std::string NombreTabla(const std::string& t) override { return cn_->NombreTabla(t); }
  std::vector<std::string> TablasBase() override { return cn_->TablasBase(); }
  void BeginTrans() override { cn_->BeginTrans(); }
  void CommitTrans() override { cn_->CommitTrans(); }
  void RollbackTrans() noexcept override { cn_->RollbackTrans(); }
  bool EnTransaccion() const override { return cn_->EnTransaccion(); }
  bool TransaccionSigueAbierta() override { return cn_->TransaccionSigueAbierta(); }
  void Close() override { cn_->Close(); }

 private:
  std::unique_ptr<db::Conexion> cn_;
  long& sueltas_;
  long& lotes_;
};

class RangoLargoEn : public ::testing::TestWithParam<MotorPrueba> {};

// 60 000 days after a short line: the batch reads 50 000 days ahead, the
// long line reads the rest itself, and the line after it is still written.
// At `--lote 1` each line is its own batch, read again after each commit.
TEST_P(RangoLargoEn, LosDiasMasAllaDeLoLeidoPorElLoteSeLeenJuntos) {
  for (long lote : {0L, 1L}) {
    SCOPED_TRACE("lote " + std::to_string(lote));
    EscenarioIncidencias e(GetParam());
    e.Definiciones(kComas);
    e.Origen({"1,2006-08-01,2006-08-02,T1,,,", "2,1900-01-01,2064-04-09,T2,,,",
              "3,2006-08-01,2006-08-02,T3,,,"});
    e.lote = lote;
    long sueltas = 0, lotes = 0;
    EXPECT_EQ(e.Ejecuta(std::make_unique<ConexionContada>(db::Conexion::Abre(e.Cadena()), sueltas,
                                                          lotes)),
              0);
    // one day where the batch's read ends, and the two of the last line,
    // whose read the long line's replaced (one by one: ~10 000)
    EXPECT_LE(sueltas, 3) << sueltas;
    EXPECT_LE(lotes, 6) << lotes;
    const std::vector<std::string> kardex = e.Kardex();
    ASSERT_EQ(kardex.size(), 60004u);
    EXPECT_EQ(kardex[2], "2|1900-01-01|T2|||");
    EXPECT_EQ(kardex[60001], "2|2064-04-09|T2|||");
    EXPECT_EQ(kardex[60003], "3|2006-08-02|T3|||");
    EXPECT_EQ(e.Resumenes(), std::vector<std::string>{
                                 "Resumen Planeacion Faltas: 3 líneas leídas, 0 rechazadas, 0 sin "
                                 "procesar; 60004 días agregados, 0 días actualizados"});
  }
}

// SQLite reads no days ahead: nothing to check there.
INSTANTIATE_TEST_SUITE_P(Servidores, RangoLargoEn,
                         ::testing::Values(MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc),
                         NombreMotor);

}  // namespace
}  // namespace varlo::prueba
