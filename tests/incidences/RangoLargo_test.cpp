// A planning line whose range is longer than what a batch reads ahead (a
// leave "until 9999-12-31"): its later days are read together too, not
// looked up one by one, which on a server took a round trip per day.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/Conexion.h"
#include "incidences/EscenarioIncidencias.h"
#include "support/ConexionDelegada.h"
#include "support/FilasPedidas.h"

namespace varlo::prueba {
namespace {

// The run's connection, counting the lookups of Kardex asked one by one, the
// reads of many days together and the days served from those.
struct Cuentas {
  long sueltas = 0, lotes = 0, servidas = 0;
};

class ConexionContada final : public ConexionDelegada {
 public:
  ConexionContada(std::unique_ptr<db::Conexion> cn, Cuentas& cuentas)
      : ConexionDelegada(std::move(cn)), c_(cuentas) {}
  std::unique_ptr<db::Recordset> ReabreConsulta(const db::Consulta& c, long maximo,
                                                std::unique_ptr<db::Recordset> rs) override {
    if (c.tabla == "Kardex") ++c_.sueltas;
    return cn_->ReabreConsulta(c, maximo, std::move(rs));
  }
  bool AnticipaBusquedas(const db::Consulta& c) const override { return cn_->AnticipaBusquedas(c); }
  std::optional<db::LoteLeido> BuscaLote(const db::Consulta& c,
                                         const std::vector<db::Valor>& llaves,
                                         const std::vector<std::string>* leidas) override {
    ++c_.lotes;
    return cn_->BuscaLote(c, llaves, leidas);
  }
  std::unique_ptr<db::Recordset> ReabreConsultaLeida(const db::Consulta& c,
                                                     std::unique_ptr<db::Recordset> rs,
                                                     const std::vector<db::InfoCampo>& campos,
                                                     std::vector<std::vector<db::Valor>> filas,
                                                     unsigned long version) override {
    ++c_.servidas;
    return cn_->ReabreConsultaLeida(c, std::move(rs), campos, std::move(filas), version);
  }
  unsigned long Epoca() const override { return cn_->Epoca(); }
  void DifiereInserciones(bool activa) override { cn_->DifiereInserciones(activa); }
  void EscribeRetenidas() override { cn_->EscribeRetenidas(); }
  bool RetenidasRechazadas() const override { return cn_->RetenidasRechazadas(); }

 private:
  Cuentas& c_;
};

// A run on a connection that counts into `c`; its exit status.
int Ejecuta(EscenarioIncidencias& e, Cuentas& c) {
  return e.Ejecuta(std::make_unique<ConexionContada>(db::Conexion::Abre(e.Cadena()), c));
}

class RangoLargoEn : public ::testing::TestWithParam<MotorPrueba> {};

// 60 000 days after a short line: the batch reads 25 000 days ahead, the
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
    Cuentas cuenta;
    EXPECT_EQ(Ejecuta(e, cuenta), 0);
    // the first day past each read of the long line, and the last line's
    // first (each day by itself: ~35 000)
    EXPECT_LE(cuenta.sueltas, 3) << cuenta.sueltas;
    EXPECT_LE(cuenta.lotes, 6) << cuenta.lotes;
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

// A year per employee: the batch reads 25 000 days ahead, 68 of 200 lines.
// Each line past them reads its own days, after looking up its first one
// (each day by itself: ~48 000).
TEST_P(RangoLargoEn, CadaLineaMasAllaDeLoLeidoPorElLoteLeeSusDias) {
  EscenarioIncidencias e(GetParam());
  e.Definiciones(kComas);
  std::vector<std::string> lineas;
  for (int i = 1; i <= 200; ++i)
    lineas.push_back(std::to_string(i) + ",2001-01-01,2001-12-31,T,,,");
  e.Origen(lineas);
  Cuentas cuenta;
  EXPECT_EQ(Ejecuta(e, cuenta), 0);
  EXPECT_LE(cuenta.sueltas, 200) << cuenta.sueltas;
  EXPECT_EQ(e.Kardex().size(), 73000u);
  EXPECT_EQ(e.Resumenes(), std::vector<std::string>{
                               "Resumen Planeacion Faltas: 200 líneas leídas, 0 rechazadas, 0 sin "
                               "procesar; 73000 días agregados, 0 días actualizados"});
}

// A day the database refuses early in a 30 000-day range. Its rows are held
// and written every 10 000, and that write's verdict is read with the next:
// the line stops at 20 000 days, not at the commit, since the batch is done
// again (once more with its rows held, then one row at a time, where the
// refused day is its line's rejection and the other days are written).
// Rows held to the commit, or a line that goes on after the refusal, serve
// 90 000 days; this way 70 000.
TEST_P(RangoLargoEn, UnDiaRechazadoDetieneLaLineaAntesDeLeerElResto) {
  EscenarioIncidencias e(GetParam());
  e.Definiciones(kComas);
  e.Origen({"5,1950-01-01,2032-02-19,T5,,,"});
  e.Sql("alter table Kardex add constraint sin_dia check (Fecha <> '1950-01-05')");
  Cuentas cuenta;
  EXPECT_EQ(Ejecuta(e, cuenta), 1);
  EXPECT_LE(cuenta.servidas + cuenta.sueltas, 75000) << cuenta.servidas << " + " << cuenta.sueltas;
  const std::vector<std::string> kardex = e.Kardex();
  ASSERT_EQ(kardex.size(), 29999u);
  EXPECT_EQ(kardex[3], "5|1950-01-04|T5|||");
  EXPECT_EQ(kardex[4], "5|1950-01-06|T5|||");
  const std::vector<std::string> er = e.Er();
  ASSERT_EQ(er.size(), 1u);
  EXPECT_NE(er[0].find("sin_dia"), std::string::npos) << er[0];
  EXPECT_EQ(e.Resumenes(), std::vector<std::string>{
                               "Resumen Planeacion Faltas: 1 líneas leídas, 1 rechazadas "
                               "(Log/Planeacion Faltas_Incidencias_Er.txt), 0 sin procesar; 29999 "
                               "días agregados, 0 días actualizados"});
}

// Through psqlODBC a planning's lines go behind a savepoint per group, and
// lines of many days write them every 10 000, so that a refused day comes to
// light in the middle of its group: once the lines before it are done again,
// those after get a savepoint of their own, and a second refused day among
// them has only those done again, not the batch. A row trigger counts the
// days the table was asked to take (a sequence, which no rollback takes
// back): about 45 000 for these 30 000 days; 72 000 when the lines after
// the first refusal went on without a savepoint.
TEST(RangoLargoPostgreSqlOdbc, DosDiasRechazadosEnUnGrupoRehacenCadaUnoLoSuyo) {
  EscenarioIncidencias e(MotorPrueba::PostgreSqlOdbc);
  e.Definiciones(kComas);
  std::vector<std::string> lineas;
  for (int i = 1; i <= 10; ++i)
    lineas.push_back(std::to_string(i) + ",2001-01-01,2009-03-19,T" + std::to_string(i) + ",,,");
  e.Origen(lineas);
  e.Sql(
      "alter table Kardex add constraint sin_dia check (not (Fecha = '2003-01-01' and "
      "Id_Empleado in ('3', '8')))");
  for (const std::string& sql : CuentaFilasPedidas("Kardex")) e.Sql(sql);
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Er().size(), 2u);
  EXPECT_LE(std::stol(Filas(e.Cadena(), kFilasPedidas, {"last_value"}).at(0)), 58000);
}

// SQLite reads no days ahead: nothing to check there.
INSTANTIATE_TEST_SUITE_P(Servidores, RangoLargoEn,
                         ::testing::Values(MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc),
                         NombreMotor);

}  // namespace
}  // namespace varlo::prueba
