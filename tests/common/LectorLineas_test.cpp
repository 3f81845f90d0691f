// The source-file reader: line ends, lines that cannot be imported, and the
// files it refuses to open.
#include "common/LectorLineas.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "common/ErrorVarlo.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using V = std::vector<std::string>;

// Every line of the file, followed by " <- number description" when it cannot be imported.
V Lee(const std::string& bytes) {
  CarpetaTemporal tmp;
  prueba::EscribeBytes(tmp.Archivo("f.txt"), bytes);
  V r;
  LectorLineas l(tmp.Archivo("f.txt"));
  while (!l.AtEndOfStream()) {
    r.push_back(l.ReadLine());
    try {
      l.CompruebaLinea();
    } catch (const ErrorVarlo& e) {
      r.back() += " <- " + std::to_string(e.Numero()) + " " + e.Descripcion();
    }
  }
  EXPECT_EQ(LectorLineas::CuentaLineas(tmp.Archivo("f.txt")), static_cast<long>(r.size()));
  return r;
}

TEST(LectorLineas, CrLfLfOrCrAloneEndALine) {
  EXPECT_EQ(Lee("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Lee("a\r\r\nb\r"), (V{"a", "", "b"}));
  EXPECT_EQ(Lee("\n\nx\n"), (V{"", "", "x"}));
  EXPECT_EQ(Lee(""), V{});
  EXPECT_EQ(Lee("\xEF\xBB\xBF"
                "A\xC3\xB1o\rfin"),
            (V{"Año", "fin"}));
  EXPECT_EQ(Lee("A\xF1o\r\n"), V{"Año"});  // Windows-1252 without a mark
}

TEST(LectorLineas, ALineThatCannotBeImportedIsReportedAndReadingGoesOn) {
  const std::string invalida = " <- 13 La línea no es texto UTF-8 válido";
  // as it was read, for the error file: a cut sequence, a surrogate, an overlong "/"
  EXPECT_EQ(Lee("\xEF\xBB\xBF"
                "bien \xC3\xB1\r\ncortada \xC3(\r\n\xED\xA0\x80\r\n\xC0\xAF\r\nfin"),
            (V{"bien ñ", "cortada \xC3(" + invalida, "\xED\xA0\x80" + invalida,
               "\xC0\xAF" + invalida, "fin"}));
  // a line past the limit is never held whole: its start names it
  const std::size_t limite = LectorLineas::kLargoMaximoLinea;
  EXPECT_EQ(Lee(std::string(limite + 1, 'x') + "\n" + std::string(limite, 'y') + "\nfin"),
            (V{std::string(100, 'x') + "... <- 6 La línea 1 pasa del largo máximo de 1048576 bytes",
               std::string(limite, 'y'), "fin"}));
  // Windows-1252 has a character for every byte
  EXPECT_EQ(Lee("cortada \xC3(\r\n\x81\x9D"), (V{"cortada Ã(", "\xC2\x81\xC2\x9D"}));
}

std::string ErrorAlAbrir(const std::string& ruta) {
  try {
    LectorLineas l(ruta);
  } catch (const ErrorVarlo& e) {
    return std::to_string(e.Numero()) + " " + e.Descripcion();
  }
  return "abierto";
}

TEST(LectorLineas, OnlyARegularFileIsOpened) {
  CarpetaTemporal tmp;
  const std::string fifo = tmp.Archivo("tubo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A writer that has already written: a reader that opened the pipe would
  // return at once instead of waiting for ever.
  const int escritor = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_EQ(write(escritor, "abc\n", 4), 4);
  for (const std::string& ruta : {fifo, std::string("/dev/zero"), tmp.Ruta(), tmp.Archivo("no")})
    EXPECT_EQ(ErrorAlAbrir(ruta), "53 No se encontró el archivo (" + ruta + ")");
  close(escritor);

  // mode 000, or for root, who reads that anyway, a write-only kernel setting
  std::string prohibido = tmp.Archivo("prohibido.txt");
  prueba::EscribeBytes(prohibido, "x");
  chmod(prohibido.c_str(), 0);
  if (std::ifstream(prohibido)) prohibido = "/proc/sys/vm/compact_memory";
  if (std::ifstream(prohibido)) GTEST_SKIP() << "no file here that this process may not read";
  EXPECT_EQ(ErrorAlAbrir(prohibido), "70 Permiso denegado (" + prohibido + ")");
}

}  // namespace
}  // namespace varlo
