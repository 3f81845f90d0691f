// Reading a source line by line: line ends, a last line without one, a
// byte-order mark, and lines that straddle the reader's blocks.
#include "common/LectorLineas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::EscribeBytes;

std::vector<std::string> TodasLasLineas(const std::string& ruta) {
  LectorLineas l(ruta);
  std::vector<std::string> r;
  while (!l.AtEndOfStream()) r.push_back(l.ReadLine());
  return r;
}

TEST(LectorLineas, LineEndsLastLineAndEncoding) {
  CarpetaTemporal tmp;
  const struct {
    std::string bytes;
    std::vector<std::string> lineas;
  } casos[] = {
      {"", {}},
      {"a\r\nb\nc", {"a", "b", "c"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\xC1rbol\r\n", {"\xC3\x81rbol"}},              // Windows-1252
      {"\xEF\xBB\xBF\xC3\x81rbol", {"\xC3\x81rbol"}},  // UTF-8 with its mark
  };
  for (const auto& c : casos) {
    EscribeBytes(tmp.Archivo("o.txt"), c.bytes);
    EXPECT_EQ(TodasLasLineas(tmp.Archivo("o.txt")), c.lineas) << c.bytes;
  }
}

TEST(LectorLineas, LinesAcrossBlocksComeWhole) {
  CarpetaTemporal tmp;
  std::string bytes;
  std::vector<std::string> esperadas;
  // Lines of growing length, up to longer than a block, so that line ends
  // and the CR of a CR LF fall on every side of a block boundary.
  for (std::size_t n = 1; bytes.size() < 300000; n = n * 3 + 1) {
    esperadas.push_back(std::string(n % 70000, 'x') + std::to_string(n));
    bytes += esperadas.back() + "\r\n";
  }
  for (int i = 0; i < 40000; ++i) {
    esperadas.push_back("E" + std::to_string(i));
    bytes += esperadas.back() + "\r\n";
  }
  EscribeBytes(tmp.Archivo("o.txt"), bytes);
  EXPECT_EQ(TodasLasLineas(tmp.Archivo("o.txt")), esperadas);
  EXPECT_EQ(LectorLineas::CuentaLineas(tmp.Archivo("o.txt")), static_cast<long>(esperadas.size()));

  LectorLineas l(tmp.Archivo("o.txt"));
  EXPECT_EQ(l.ReadLine(), esperadas[0]);
  l.Close();
  EXPECT_TRUE(l.AtEndOfStream());
  EXPECT_EQ(l.ReadLine(), "");
}

}  // namespace
}  // namespace varlo
