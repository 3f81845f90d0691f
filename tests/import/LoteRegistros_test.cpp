// The batch alone, over each database: a refusal of the rows it held reaches no
// record's call, whatever that record's own code does with errors.
#include "import/LoteRegistros.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "support/ConexionDelegada.h"
#include "support/MotoresPrueba.h"

namespace varlo::prueba {
namespace {

class LoteRegistrosEn : public ::testing::TestWithParam<MotorPrueba> {};

// a record's rejection reason; empty when imported
struct Razon {
  std::string texto;
  bool Rechazado() const { return !texto.empty(); }
  Razon SoloRechazos() && { return std::move(*this); }
};

// Each record looks its key up (a statement: what is held is written first)
// and adds its row, which is held; its code turns every error into its own
// rejection, as a careless record scope would. Record 1's row breaks a
// check only when written, during record 2's lookup (natively on
// PostgreSQL, a copy whose verdict comes then): record 1 must still be the
// one rejected, with the database's reason, and record 2 imported.
TEST_P(LoteRegistrosEn, ElRechazoDeLoRetenidoNoLlegaAOtroRegistro) {
  CarpetaTemporal carpeta;
  std::unique_ptr<BaseDatosPrueba> pg;
  auto cn = db::Conexion::Abre(BaseDe(GetParam(), carpeta.Ruta(), pg));
  cn->Execute("CREATE TABLE T (K VARCHAR(10) NOT NULL PRIMARY KEY, N INT CHECK (N < 100))");
  const auto registro = [&](const LineaLeida& l) -> Razon {
    try {
      const std::string k = l.texto.substr(0, l.texto.find(','));
      auto rs = cn->AbreConsulta(db::BuscaPorTexto("T", {}, "K", k), 1);
      rs->AddNew();
      rs->AsignaTexto(rs->IndiceCampo("K"), k);
      rs->AsignaTexto(rs->IndiceCampo("N"), l.texto.substr(l.texto.find(',') + 1));
      rs->Update();
      return {};
    } catch (const ErrorVarlo& e) {
      return {e.Descripcion()};
    }
  };
  std::vector<std::pair<long, std::string>> publicados;
  LoteRegistros<Razon> lote(
      *cn, ModoLote::Lotes, 10, registro,
      [&](const LineaLeida& l, const Razon& r) { publicados.emplace_back(l.linea, r.texto); },
      [](const LineaLeida&, const ErrorVarlo& e) { return Razon{e.Descripcion()}; });
  // rows held and written together
  lote.Anticipa([](const std::vector<LineaLeida>&) {}, [] { return true; });
  lote.Inicia();
  long n = 0;
  for (const char* texto : {"a,500", "b,1", "c,2"}) lote.Procesa({texto, ++n, {}, false, {}});
  lote.Termina();

  ASSERT_EQ(publicados.size(), 3u);
  EXPECT_EQ(publicados[0].first, 1);
  EXPECT_NE(BuscaSinCaso(publicados[0].second, "check"), std::string::npos) << publicados[0].second;
  EXPECT_EQ(publicados[1], (std::pair<long, std::string>{2, ""}));
  EXPECT_EQ(publicados[2], (std::pair<long, std::string>{3, ""}));
  db::Consulta todas;
  todas.tabla = "T";
  todas.columnas = {"K"};
  auto rs = cn->AbreConsulta(todas, 0);
  std::vector<std::string> llaves;
  for (; !rs->EOF_(); rs->MoveNext()) llaves.push_back(rs->Texto(0));
  EXPECT_EQ(llaves, (std::vector<std::string>{"b", "c"}));
}

INSTANTIATE_TEST_SUITE_P(Motores, LoteRegistrosEn, TodosLosMotores(), NombreMotor);

// A connection whose batch savepoints can be marked but whose second
// release fails, and that cannot go back to one: the database lost it.
class PuntoPerdido : public ConexionDelegada {
 public:
  using ConexionDelegada::ConexionDelegada;
  bool PuntoAdmitido() const override { return true; }
  void MarcaPunto() override { cn_->Execute("SAVEPOINT varlodi_lote"); }
  void LiberaPunto() override {
    if (++liberados_ == 2) throw ErrorVarlo(-1, "prueba", "no se liberó");
    cn_->Execute("RELEASE varlodi_lote");
  }
  void VuelveAlPunto() override { throw ErrorVarlo(-1, "prueba", "no such savepoint"); }

 private:
  int liberados_ = 0;
};

// A table in one transaction whose batch cannot be undone alone any more
// has lost what it did before: it ends, and nothing of it commits, neither
// its delete nor its other batches.
TEST(LoteRegistros, UnPuntoQueNoSePuedeDeshacerTerminaLaTablaSinConfirmarNada) {
  CarpetaTemporal carpeta;
  std::unique_ptr<BaseDatosPrueba> pg;
  PuntoPerdido cn(db::Conexion::Abre(BaseDe(MotorPrueba::SQLite, carpeta.Ruta(), pg)));
  cn.Execute("CREATE TABLE T (K VARCHAR(10) NOT NULL PRIMARY KEY)");
  cn.Execute("INSERT INTO T (K) VALUES ('viejo')");
  std::vector<long> publicados;
  LoteRegistros<Razon> lote(
      cn, ModoLote::UnaTransaccion, 2,
      [&](const LineaLeida& l) {
        cn.Execute("INSERT INTO T (K) VALUES ('" + l.texto + "')");
        return Razon{};
      },
      [&](const LineaLeida& l, const Razon&) { publicados.push_back(l.linea); },
      [](const LineaLeida&, const ErrorVarlo& e) { return Razon{e.Descripcion()}; });
  lote.Inicia();
  cn.Execute("DELETE FROM T");
  EXPECT_THROW(
      {
        long n = 0;
        for (const char* texto : {"a", "b", "c", "d", "e"})
          lote.Procesa({texto, ++n, {}, false, {}});
        lote.Termina();
      },
      ErrorVarlo);
  db::Consulta todas;
  todas.tabla = "T";
  todas.columnas = {"K"};
  auto rs = cn.AbreConsulta(todas, 0);
  std::vector<std::string> llaves;
  for (; !rs->EOF_(); rs->MoveNext()) llaves.push_back(rs->Texto(0));
  EXPECT_EQ(llaves, (std::vector<std::string>{"viejo"}));
}

}  // namespace
}  // namespace varlo::prueba
