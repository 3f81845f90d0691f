// The source-file reader: its encodings (judged by the iconv command), line
// ends, lines that cannot be imported, and the files it refuses to open.
#include "common/LectorLineas.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "common/ArchivoResultado.h"
#include "common/ErrorVarlo.h"
#include "support/CarpetaTemporal.h"
#include "support/IconvComando.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using V = std::vector<std::string>;

const std::string kBom = "\xEF\xBB\xBF";

// Every line of the file, followed by " <- number description" when it
// cannot be imported; `clave` is the encoding a definitions file names.
V Lee(const std::string& bytes, const std::optional<Codificacion>& clave = std::nullopt) {
  CarpetaTemporal tmp;
  prueba::EscribeBytes(tmp.Archivo("f.txt"), bytes);
  V r;
  LectorLineas l(tmp.Archivo("f.txt"));
  if (clave) l.EstableceCodificacion(*clave);
  while (!l.AtEndOfStream()) {
    r.push_back(l.ReadLine());
    try {
      l.CompruebaLinea();
    } catch (const ErrorVarlo& e) {
      r.back() += " <- " + std::to_string(e.Numero()) + " " + e.Descripcion();
    }
  }
  EXPECT_EQ(LectorLineas::CuentaLineas(tmp.Archivo("f.txt"), clave), static_cast<long>(r.size()));
  return r;
}

TEST(LectorLineas, CrLfLfOrCrAloneEndALine) {
  EXPECT_EQ(Lee("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Lee("a\r\r\nb\r"), (V{"a", "", "b"}));
  EXPECT_EQ(Lee("\n\nx\n"), (V{"", "", "x"}));
  EXPECT_EQ(Lee(""), V{});
  EXPECT_EQ(Lee(kBom + "Año\rfin"), (V{"Año", "fin"}));
  EXPECT_EQ(Lee("A\xF1o\r\n"), V{"Año"});  // Windows-1252 without a mark
  // a CR LF, and a CR CR, split between two of the counter's 64 KiB reads
  const std::string largo(65535, 'a');
  EXPECT_EQ(Lee(largo + "\r\nb"), (V{largo, "b"}));
  EXPECT_EQ(Lee(largo + "\r\rb\n"), (V{largo, "", "b"}));
}

// The file is read 64 KiB at a time: a line end at, before or after the cut
// between two reads, a CR LF split by it, and a mark that moves every cut.
TEST(LectorLineas, LinesAreTheSameWhereverAReadEnds) {
  for (const std::string& marca : {std::string(), kBom})
    for (std::size_t largo = 65532; largo <= 65540; ++largo) {
      const std::string a(largo, 'a');
      SCOPED_TRACE(std::to_string(largo) + (marca.empty() ? "" : " con marca"));
      EXPECT_EQ(Lee(marca + a + "\r\nb\rc\n\nd"), (V{a, "b", "c", "", "d"}));
      EXPECT_EQ(Lee(marca + a + "\r\r\n" + a + "\r"), (V{a, "", a}));
      EXPECT_EQ(Lee(marca + "x\n" + a + "\n"), (V{"x", a}));
    }
}

TEST(LectorLineas, ALineThatCannotBeImportedIsReportedAndReadingGoesOn) {
  const std::string invalida = " <- 13 La línea no es texto UTF-8 válido";
  // as it was read, for the error file: a cut sequence, a surrogate, an overlong "/"
  EXPECT_EQ(Lee(kBom + "bien ñ\r\ncortada \xC3(\r\n\xED\xA0\x80\r\n\xC0\xAF\r\nfin"),
            (V{"bien ñ", "cortada \xC3(" + invalida, "\xED\xA0\x80" + invalida,
               "\xC0\xAF" + invalida, "fin"}));
  // a line past the limit is never held whole: its start names it
  const std::size_t limite = LectorLineas::kLargoMaximoLinea;
  EXPECT_EQ(Lee(std::string(limite + 1, 'x') + "\n" + std::string(limite, 'y') + "\nfin"),
            (V{std::string(100, 'x') + "... <- 6 La línea 1 pasa del largo máximo de 1048576 bytes",
               std::string(limite, 'y'), "fin"}));
  // Windows-1252 has no character for five bytes: they go back to the error file as read
  EXPECT_EQ(Lee("cortada \xC3(\r\n\x81\x9D\r\n\x8D\x8F\x90\r\n\x80\xFF"),
            (V{"cortada Ã(", "\xC2\x81\xC2\x9D <- 13 La línea no es texto Windows-1252 válido",
               "\xC2\x8D\xC2\x8F\xC2\x90 <- 13 La línea no es texto Windows-1252 válido", "€ÿ"}));
  EXPECT_EQ(ParaArchivo("\xC2\x81\xC2\x9D", Codificacion::Ansi), "\x81\x9D");
}

Codificacion Llamada(const std::string& nombre) {
  return *CodificacionPorNombre(nombre);
}

TEST(LectorLineas, AMarkDecidesThenTheKeyThenUtf8FoundAtTheStart) {
  // UTF-8 without a mark, as most exports write it; a later line that is not
  // UTF-8 is rejected, never read as another encoding
  const std::string largo(LectorLineas::kMuestraDeteccion, 'x');
  EXPECT_EQ(Lee("Muñoz\r\n" + largo + "\r\nmal \xF1\r\n"),
            (V{"Muñoz", largo, "mal \xF1 <- 13 La línea no es texto UTF-8 válido"}));
  // within the first 64 KiB it makes the file Windows-1252
  EXPECT_EQ(Lee("Muñoz\r\nmal \xF1"), (V{"MuÃ±oz", "mal ñ"}));
  // a byte that cannot start UTF-8 there: Windows-1252
  EXPECT_EQ(Lee("Mu\xF1oz ñ"), V{"Muñoz Ã±"});
  // a sequence cut by the end of the first 64 KiB is still UTF-8 ...
  const std::string relleno(LectorLineas::kMuestraDeteccion - 1, 'x');
  EXPECT_EQ(Lee(relleno + "ñ"), V{relleno + "ñ"});
  // ... and what comes after them does not decide
  EXPECT_EQ(Lee(relleno + "\nñ"), (V{relleno, "Ã±"}));

  // the key names the encoding of a file without a mark; a mark always wins
  EXPECT_EQ(Lee("Muñoz", Codificacion::Ansi), V{"MuÃ±oz"});
  EXPECT_EQ(Lee("Mu\xF1oz", Codificacion::Utf8),
            V{"Mu\xF1oz <- 13 La línea no es texto UTF-8 válido"});
  EXPECT_EQ(Lee(kBom + "Muñoz", Codificacion::Ansi), V{"Muñoz"});
  EXPECT_EQ(Lee(prueba::ConIconv(kBom + "Año\r\nfin", "UTF-16LE"), Llamada("CP850")),
            (V{"Año", "fin"}));
  EXPECT_EQ(Lee(prueba::ConIconv(kBom + "Año\nfin", "UTF-16BE")), (V{"Año", "fin"}));
}

TEST(LectorLineas, Utf16LinesEndAtWholeUnitsInEitherByteOrder) {
  // "Ċ" is 0x0A 0x01 in UTF-16LE, "਍" is 0x0D 0x0A: bytes of a line end
  // that are not one
  const std::string texto = "Ċ਍\r\n\r\nb\rc\nd";
  const V lineas{"Ċ਍", "", "b", "c", "d"};
  for (const char* nombre : {"UTF-16LE", "UTF-16BE"}) {
    SCOPED_TRACE(nombre);
    const std::string bytes = prueba::ConIconv(texto, nombre);
    EXPECT_EQ(Lee(bytes, Llamada(nombre)), lineas);
    // named without its byte order, the file's NUL bytes show it
    EXPECT_EQ(Lee(bytes, Llamada("UTF-16")), lineas);
  }
  EXPECT_EQ(Lee(prueba::ConIconv(texto, "UTF-16")), lineas);  // with its mark, no key needed
  EXPECT_EQ(Lee(prueba::ConIconv(texto, "UTF-32LE"), Llamada("UTF-32")), lineas);
}

TEST(LectorLineas, BytesThatAreNotTextInTheEncodingRejectTheirLineAndGoBackAsRead) {
  const Codificacion utf16 = Llamada("UTF-16LE");
  // a lone surrogate, then half a unit cut by the end of the file
  const std::string mala("A\0\0\xD8Z\0", 6), cortada("C\0D", 3);
  const std::string bytes = mala + std::string("\r\0\n\0", 4) + cortada;
  CarpetaTemporal tmp;
  prueba::EscribeBytes(tmp.Archivo("f.txt"), bytes);
  LectorLineas l(tmp.Archivo("f.txt"));
  l.EstableceCodificacion(utf16);
  std::string resultado;
  for (const std::string& fuente : {mala, cortada}) {
    const std::string linea = l.ReadLine();
    EXPECT_THROW(
        try { l.CompruebaLinea(); } catch (const ErrorVarlo& e) {
          EXPECT_EQ(e.Descripcion(), "La línea no es texto UTF-16LE válido");
          throw;
        },
        ErrorVarlo);
    EXPECT_EQ(ParaArchivo(linea, utf16), fuente);
  }
  EXPECT_TRUE(l.AtEndOfStream());
  // a NUL character is not text a column takes, whatever the encoding
  EXPECT_EQ(Lee(prueba::ConIconv("a", "UTF-16") + std::string("\0\0", 2)),
            V{std::string("a\0", 2) + " <- 13 La línea no es texto UTF-16LE válido"});
}

// The description of the error the counting pass raises, "" when it counts.
std::string RechazoAlContar(const std::string& bytes, const std::optional<Codificacion>& clave) {
  CarpetaTemporal tmp;
  prueba::EscribeBytes(tmp.Archivo("f.txt"), bytes);
  try {
    LectorLineas::CuentaLineas(tmp.Archivo("f.txt"), clave);
  } catch (const ErrorVarlo& e) {
    std::string d = e.Descripcion();
    return d.substr(0, d.find(" (" + tmp.Ruta()));
  }
  return "";
}

TEST(LectorLineas, Utf16WithoutMarkOrKeyIsNeverReadAsText) {
  const std::string texto = "Begoña\r\nfin\r\n";
  for (const char* orden : {"UTF-16LE", "UTF-16BE"}) {
    const std::string bytes = prueba::ConIconv(texto, orden);
    EXPECT_EQ(RechazoAlContar(bytes, std::nullopt),
              std::string("El archivo origen tiene bytes NUL: parece ") + orden +
                  " sin marca de orden de bytes; indique Codificacion=" + orden + " en su sección");
    // an 8-bit key does not make it text either; the right one does
    EXPECT_NE(RechazoAlContar(bytes, Codificacion::Ansi), "");
    EXPECT_EQ(RechazoAlContar(bytes, Llamada(orden)), "");
  }
  // a NUL far past the start is found as well
  EXPECT_NE(RechazoAlContar(std::string(LectorLineas::kMuestraDeteccion * 2, 'x') + '\0', {}), "");
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
