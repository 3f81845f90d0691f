// The batch alone, over SQLite: a refusal of the rows it held reaches no
// record's call, whatever that record's own code does with errors.
#include "import/LoteRegistros.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "db/Conexion.h"
#include "db/Recordset.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

// Each record looks its key up (a statement: what is held is written first)
// and adds its row, which is held; its code turns every error into its own
// rejection, as a careless record scope would. Record 1's row breaks a
// check only when written, during record 2's lookup: record 1 must still be
// the one rejected, with the database's reason, and record 2 imported.
TEST(LoteRegistros, ElRechazoDeLoRetenidoNoLlegaAOtroRegistro) {
  prueba::CarpetaTemporal carpeta;
  auto cn = db::Conexion::Abre(prueba::BaseDatosPrueba::SQLite(carpeta.Ruta()));
  cn->Execute("CREATE TABLE T (K VARCHAR(10) NOT NULL PRIMARY KEY, N INT CHECK (N < 100))");
  const auto registro = [&](const LineaLeida& l) -> std::string {
    try {
      const std::string k = l.texto.substr(0, l.texto.find(','));
      auto rs = cn->AbreConsulta(db::BuscaPorTexto("T", {}, "K", k), 1);
      rs->AddNew();
      rs->AsignaTexto(rs->IndiceCampo("K"), k);
      rs->AsignaTexto(rs->IndiceCampo("N"), l.texto.substr(l.texto.find(',') + 1));
      rs->Update();
      return "";
    } catch (const ErrorVarlo& e) {
      return e.Descripcion();
    }
  };
  std::vector<std::pair<long, std::string>> publicados;
  LoteRegistros<std::string> lote(
      *cn, ModoLote::Lotes, 10, registro,
      [&](const LineaLeida& l, const std::string& r) { publicados.emplace_back(l.linea, r); },
      [](const LineaLeida&, const ErrorVarlo& e) { return e.Descripcion(); });
  // rows held and written together
  lote.Anticipa([](const std::vector<LineaLeida>&) {}, [] { return true; });
  lote.Inicia();
  long n = 0;
  for (const char* texto : {"a,500", "b,1", "c,2"}) lote.Procesa({texto, ++n, {}, false, {}});
  lote.Termina();

  ASSERT_EQ(publicados.size(), 3u);
  EXPECT_EQ(publicados[0].first, 1);
  EXPECT_NE(publicados[0].second.find("CHECK constraint failed"), std::string::npos)
      << publicados[0].second;
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

}  // namespace
}  // namespace varlo
