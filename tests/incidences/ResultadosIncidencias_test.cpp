// The planning's result lines, held until their batch commits.
#include "incidences/ResultadosIncidencias.h"

#include <gtest/gtest.h>

#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

// A record "until 9999-12-31" writes millions of days, each with its result
// line: held one by one they filled memory before the batch could commit.
// The same result day after day is held once and still written once per
// day, in the order of the days, whichever files are on.
TEST(ResultadosIncidencias, LosDiasDeUnRangoLargoSeRetienenUnaVez) {
  for (const bool conOk : {true, false}) {
    SCOPED_TRACE(conOk);
    prueba::CarpetaTemporal tmp;
    ResultadosIncidencias r;
    r.Er.Inicia(tmp.Archivo("er.txt"), Codificacion::Ansi);
    if (conOk) r.Ok.Inicia(tmp.Archivo("ok.txt"), Codificacion::Ansi);
    constexpr long kDias = 100000;
    for (long i = 0; i < kDias; ++i) r.Importado("7,1900-01-01,9999-12-31");
    r.Rechazado("7,1900-01-01,9999-12-31", "Llave duplicada", 0);
    r.Importado("7,1900-01-01,9999-12-31");
    r.Importado("8,2006-08-01,2006-08-01");
    const ResultadosIncidencias::Retenidas retenidas = r.TomaRetenidas();
    // without its file a day's text is empty: the last two lines are alike
    EXPECT_EQ(retenidas.size(), conOk ? 4u : 3u);
    r.Escribe(retenidas);
    r.Cierra();
    EXPECT_EQ(prueba::LeeBytes(tmp.Archivo("er.txt")),
              "7,1900-01-01,9999-12-31(Llave duplicada,0)\r\n");
    if (!conOk) continue;
    const std::string ok = prueba::LeeBytes(tmp.Archivo("ok.txt"));
    std::string esperado;
    for (long i = 0; i <= kDias; ++i) esperado += "7,1900-01-01,9999-12-31\r\n";
    EXPECT_EQ(ok, esperado + "8,2006-08-01,2006-08-01\r\n");
  }
}

}  // namespace
}  // namespace varlo
