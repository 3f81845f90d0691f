// The source-file reader: line ends, lines that cannot be imported, and the
// files it refuses to open.
#include "common/LectorLineas.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "common/ErrorVarlo.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::EscribeBytes;
using V = std::vector<std::string>;
using Linea = std::pair<std::string, std::string>;  // the line and why it cannot be imported

// Each line with the reason it cannot be imported ("" when it can).
std::vector<Linea> LeeTodo(const std::string& ruta) {
  std::vector<Linea> r;
  LectorLineas l(ruta);
  while (!l.AtEndOfStream()) {
    std::string linea = l.ReadLine();
    std::string motivo;
    try {
      l.CompruebaLinea();
    } catch (const ErrorVarlo& e) {
      motivo = std::to_string(e.Numero()) + " " + e.Descripcion();
    }
    r.emplace_back(std::move(linea), std::move(motivo));
  }
  return r;
}

V Lineas(const std::string& ruta) {
  V r;
  for (auto& [linea, motivo] : LeeTodo(ruta)) r.push_back(linea + (motivo.empty() ? "" : "!"));
  return r;
}

TEST(LectorLineas, CrLfLfOrCrAloneEndALine) {
  CarpetaTemporal tmp;
  const std::vector<std::pair<std::string, V>> casos = {
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\r\r\nb\r", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {"x\n", {"x"}},
      {"", {}},
      {"\xEF\xBB\xBF"
       "A\xC3\xB1o\rfin",
       {"Año", "fin"}},
      {"A\xF1o\r\n", {"Año"}},  // Windows-1252 without a mark
  };
  for (const auto& [bytes, lineas] : casos) {
    EscribeBytes(tmp.Archivo("f.txt"), bytes);
    EXPECT_EQ(Lineas(tmp.Archivo("f.txt")), lineas) << bytes;
    EXPECT_EQ(LectorLineas::CuentaLineas(tmp.Archivo("f.txt")), static_cast<long>(lineas.size()))
        << bytes;
  }
}

TEST(LectorLineas, ALineThatCannotBeImportedIsReportedAndReadingGoesOn) {
  CarpetaTemporal tmp;
  const std::string larga(LectorLineas::kLargoMaximoLinea + 1, 'x');
  EscribeBytes(tmp.Archivo("utf8.txt"),
               "\xEF\xBB\xBF"
               "bien \xC3\xB1\r\ncortada \xC3(\r\n\xED\xA0\x80\r\n\xC0\xAF\r\n" +
                   larga + "\r\n" + std::string(LectorLineas::kLargoMaximoLinea, 'y') + "\r\nfin");
  const std::string invalida = "13 La línea no es texto UTF-8 válido";
  const std::string muyLarga = "6 La línea pasa del largo máximo de 1048576 bytes";
  auto lineas = LeeTodo(tmp.Archivo("utf8.txt"));
  ASSERT_EQ(lineas.size(), 7u);
  EXPECT_EQ(lineas[0], Linea("bien ñ", ""));
  // the line as it was read, for the error file
  EXPECT_EQ(lineas[1], Linea("cortada \xC3(", invalida));
  EXPECT_EQ(lineas[2].second, invalida);  // a UTF-16 surrogate
  EXPECT_EQ(lineas[3].second, invalida);  // an overlong "/"
  // a line past the limit is never held whole: its start names it
  EXPECT_EQ(lineas[4], Linea(std::string(100, 'x') + "...", muyLarga));
  EXPECT_EQ(lineas[5].second, "");  // exactly at the limit
  EXPECT_EQ(lineas[6], Linea("fin", ""));

  // Windows-1252 has a character for every byte.
  EscribeBytes(tmp.Archivo("ansi.txt"), "cortada \xC3(\r\n\x81\x9D");
  EXPECT_EQ(Lineas(tmp.Archivo("ansi.txt")), (V{"cortada Ã(", "\xC2\x81\xC2\x9D"}));
}

// A regular file this process may not open: mode 000, or for root, who
// reads that anyway, a write-only kernel setting.
std::optional<std::string> ArchivoProhibido(const CarpetaTemporal& tmp) {
  const std::string propio = tmp.Archivo("prohibido.txt");
  EscribeBytes(propio, "x");
  chmod(propio.c_str(), 0);
  for (const std::string& ruta : {propio, std::string("/proc/sys/vm/compact_memory")}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(ruta, ec) && !std::ifstream(ruta)) return ruta;
  }
  return std::nullopt;
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
  ASSERT_GE(escritor, 0);
  ASSERT_EQ(write(escritor, "abc\n", 4), 4);
  for (const std::string& ruta : {fifo, std::string("/dev/zero"), tmp.Ruta(), tmp.Archivo("no")})
    EXPECT_EQ(ErrorAlAbrir(ruta), "53 No se encontró el archivo (" + ruta + ")");
  close(escritor);

  auto prohibido = ArchivoProhibido(tmp);
  if (!prohibido) GTEST_SKIP() << "no file here that this process may not read";
  EXPECT_EQ(ErrorAlAbrir(*prohibido), "70 Permiso denegado (" + *prohibido + ")");
}

}  // namespace
}  // namespace varlo
