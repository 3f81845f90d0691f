// Records read ahead on a thread of their own: the caller must see exactly
// what reading the file itself gives, and may stop at any moment.
#include "import/LecturaAnticipada.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ErrorVarlo.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using V = std::vector<std::string>;

std::string Describe(const LineaLeida& x) {
  std::string r = std::to_string(x.linea) + ": " + x.texto;
  if (x.defecto) r += " <- " + std::to_string(x.defecto->Numero()) + " " + x.defecto->Descripcion();
  return r;
}

// A file of many batches: quoted line breaks, quotes that never close,
// lines past the limit and lines long enough to cut batches by their bytes.
std::string Fuente() {
  std::string bytes;
  for (int i = 1; i <= 3000; ++i) {
    bytes += std::to_string(i) + ",\"v" + std::to_string(i) + "\"";
    if (i % 97 == 0) bytes += ",\"dos\r\nlíneas\"";
    if (i % 401 == 0) bytes += ",\"abierta";
    if (i % 733 == 0) bytes += "," + std::string(LectorLineas::kLargoMaximoLinea + 5, 'L');
    if (i % 500 == 0) bytes += "," + std::string(300000, 'x');
    bytes += i % 3 ? "\r\n" : "\n";
  }
  return bytes + "fin";
}

TEST(LecturaAnticipada, GivesTheRecordsAndDefectsOfReadingTheFileItself) {
  prueba::CarpetaTemporal tmp;
  const std::string ruta = tmp.Archivo("f.txt");
  prueba::EscribeBytes(ruta, Fuente());
  const DivisorLineas d = DivisorLineas::Separado(",", 4).ConComillas("\"");
  V directos;
  {
    LectorRegistros l(ruta, d);
    while (!l.AtEndOfStream()) directos.push_back(Describe(l.Lee()));
  }
  ASSERT_GT(directos.size(), 10 * LecturaAnticipada::kRegistrosPorTanda);
  V anticipados;
  LectorRegistros l(ruta, d);
  LecturaAnticipada lectura(l);
  while (!lectura.AlFinal()) anticipados.push_back(Describe(lectura.Lee()));
  EXPECT_EQ(anticipados, directos);
  // past the end, as many times as asked, nothing more
  EXPECT_TRUE(lectura.AlFinal());
  EXPECT_EQ(Describe(lectura.Lee()), "0: ");
}

// Split on the reading thread: the values the splitter gives on the record;
// a record the splitter refuses (or with a defect) is left to be split where
// it is processed, so that its error is met there.
TEST(LecturaAnticipada, SplitsWhatTheSplitterAcceptsAndLeavesTheRest) {
  prueba::CarpetaTemporal tmp;
  const std::string ruta = tmp.Archivo("f.txt");
  prueba::EscribeBytes(
      ruta, "1,a,b\n2,\"c\"x,d\n3,\"e\n" + std::string(2000, 'z') + "\n4,\"f,g\",h\r\n5");
  const DivisorLineas d = DivisorLineas::Separado(",", 3).ConComillas("\"");
  LectorRegistros l(ruta, d);
  LecturaAnticipada lectura(l, &d);
  int divididas = 0, dejadas = 0;
  while (!lectura.AlFinal()) {
    const LineaLeida x = lectura.Lee();
    std::vector<std::string> esperados;
    bool acepta = !x.defecto;
    try {
      d.Divide(x.texto, esperados);
    } catch (const ErrorVarlo&) {
      acepta = false;
    }
    EXPECT_EQ(x.dividida, acepta) << x.texto;
    if (acepta) {
      EXPECT_EQ(x.valores, esperados) << x.texto;
    }
    ++(acepta ? divididas : dejadas);
  }
  EXPECT_GT(divididas, 0);
  EXPECT_GT(dejadas, 0);
}

TEST(LecturaAnticipada, StoppingWhileTheReaderWaitsForRoomEndsIt) {
  prueba::CarpetaTemporal tmp;
  const std::string ruta = tmp.Archivo("f.txt");
  std::string bytes;
  for (int i = 1; i <= 20000; ++i) bytes += std::to_string(i) + "\n";
  prueba::EscribeBytes(ruta, bytes);
  LectorRegistros l(ruta, DivisorLineas::Separado(",", 1));
  for (int vuelta = 0; vuelta < 3; ++vuelta) {
    LecturaAnticipada lectura(l);
    // the first records come in order; the reader then fills its batches
    // and waits for the caller, who stops (here, or by leaving the scope)
    const LineaLeida primera = lectura.Lee();
    EXPECT_GT(primera.linea, 0);
    EXPECT_EQ(primera.texto, std::to_string(primera.linea));
    if (vuelta == 0) {
      lectura.Detiene();
      EXPECT_TRUE(lectura.AlFinal());
    }
  }
}

}  // namespace
}  // namespace varlo
