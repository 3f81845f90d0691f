// Records of separated sources whose fields may be quoted: where a record
// ends, what its values are, and what is rejected, with the line it names;
// the same records read ahead on a thread of their own.
#include "import/LectorRegistros.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/Codificacion.h"
#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "import/LecturaAnticipada.h"
#include "support/CarpetaTemporal.h"
#include "support/Orden.h"

namespace varlo {
namespace {

using V = std::vector<std::string>;

DivisorLineas Comas(std::size_t columnas, const std::string& comillas = "\"",
                    const std::string& separador = ",") {
  return DivisorLineas::Separado(separador, columnas).ConComillas(comillas);
}

// The pieces of a record joined by "|", or "error N description".
std::string Divide(const DivisorLineas& d, std::string_view registro) {
  V v;
  try {
    d.Divide(registro, v);
  } catch (const ErrorVarlo& e) {
    return "error " + std::to_string(e.Numero()) + " " + e.Descripcion();
  }
  return Une(v, "|");
}

// What a spreadsheet writes is checked against PostgreSQL (below);
// these are the cases COPY reads otherwise or cannot be asked about.
TEST(DivisorComillas, QuotesOpenAFieldOnlyAndMustCloseBeforeTheSeparator) {
  const DivisorLineas dos = Comas(2), tres = Comas(3), otro = Comas(3, "'", "Sep");
  const std::string cierre = "error 13 Texto después de las comillas de cierre en la columna ";
  const std::vector<std::tuple<const DivisorLineas*, const char*, std::string>> casos = {
      // a quote that does not begin its field is a character of the value
      {&tres, "tubo 5\",a\"b\"c, \"x\"", "tubo 5\"|a\"b\"c| \"x\""},
      // extra pieces are dropped, missing ones empty, an empty record gives no piece
      {&tres, "\"a\",\"b\",\"c\",\"d\"", "a|b|c"},
      {&tres, "\"a,b\"", "a,b||"},
      {&tres, "", "||"},
      {&tres, "a,", "a||"},
      // a separator of several letters matches without regard to case, outside quotes only
      {&otro, "a'b'SEPc'sep'd'sepE", "a'b'|c'|d"},
      {&otro, "'x sep y'sep'it''s'", "x sep y|it's|"},
      {&dos, "a,\"b", "error 13 Las comillas de la columna 2 no se cierran"},
      {&dos, "\"a\"\"", "error 13 Las comillas de la columna 1 no se cierran"},
      {&dos, "\"a\"b,c", cierre + "1"},
      // also in a column beyond those configured: the record is wrong as a whole
      {&dos, "a,b,\"c\" ", cierre + "3"},
  };
  for (const auto& [d, registro, esperado] : casos)
    EXPECT_EQ(Divide(*d, registro), esperado) << registro;
  EXPECT_EQ(Divide(Comas(1, "\"", ""), "\"a\"b"), cierre + "1");
  // fixed width has no fields to quote
  EXPECT_EQ(Divide(DivisorLineas::AnchoFijo({2, 3}).ConComillas("\""), "\"a\"bc"), "\"a|\"bc");
  // a quote that is part of the separator is refused
  for (const auto& [separador, comillas] : std::vector<std::pair<std::string, std::string>>{
           {",", ","}, {"\t", "\t"}, {"ab", "B"}, {"x;y", ";"}}) {
    try {
      Comas(2, comillas, separador);
      ADD_FAILURE() << separador << " " << comillas;
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), errores::ArgumentoNoValido);
      EXPECT_EQ(e.Descripcion(), "Las comillas (" + comillas +
                                     ") no pueden ser parte del separador (" + separador + ")");
    }
  }
}

// A record as "line: text" followed by " <- number description" when the
// reader rejects it.
std::string Describe(const LineaLeida& x) {
  std::string r = std::to_string(x.linea) + ": " + x.texto;
  if (x.defecto) r += " <- " + std::to_string(x.defecto->Numero()) + " " + x.defecto->Descripcion();
  return r;
}

// Every record of the file; the count must agree with what was read.
V Lee(const std::string& bytes, const DivisorLineas& d) {
  prueba::CarpetaTemporal tmp;
  prueba::EscribeBytes(tmp.Archivo("f.txt"), bytes);
  V r;
  LectorRegistros l(tmp.Archivo("f.txt"), d);
  while (!l.AtEndOfStream()) r.push_back(Describe(l.Lee()));
  EXPECT_EQ(LectorRegistros::Cuenta(tmp.Archivo("f.txt"), d, std::nullopt),
            static_cast<long>(r.size()));
  return r;
}

TEST(LectorRegistros, AQuotedLineBreakJoinsLinesKeepingTheirLineEnds) {
  const DivisorLineas d = Comas(3);
  EXPECT_EQ(Lee("1,\"a\r\nb\",x\r\n2,\"c\nd\re\",y\n3,\"\r\n\r\n\",z\r4,w", d),
            (V{"1: 1,\"a\r\nb\",x", "3: 2,\"c\nd\re\",y", "6: 3,\"\r\n\r\n\",z", "9: 4,w"}));
  // a doubled quote at the end of a line keeps the value open; a single one closes it
  EXPECT_EQ(Lee("\"a\"\"\nb\"\n\"c\"\nd", d), (V{"1: \"a\"\"\nb\"", "3: \"c\"", "4: d"}));
  // without quoted fields every line is a record, quotes and all
  EXPECT_EQ(Lee("1,\"a\r\nb\",x\r\n", DivisorLineas::Separado(",", 3)),
            (V{"1: 1,\"a", "2: b\",x"}));
  EXPECT_EQ(Lee("", d), V{});
}

// Files whose quoted values hold no line break are counted from their bytes:
// the count must still be the records read, whatever ends their lines.
TEST(LectorRegistros, CountingFromTheBytesGivesTheRecordsRead) {
  const DivisorLineas d = Comas(2);
  EXPECT_EQ(Lee("\xEF\xBB\xBF"
                "a,\"b\"\r\n\"c,d\",e\r\rf,\"\"",
                d),
            (V{"1: a,\"b\"", "2: \"c,d\",e", "3: ", "4: f,\"\""}));
  EXPECT_EQ(Lee("\"a\xE9\",b\n", d), V{"1: \"a\xC3\xA9\",b"});  // Windows-1252
  // the mark is not the first field's first character
  EXPECT_EQ(Lee("\xEF\xBB\xBF\"a\nb\"", d), V{"1: \"a\nb\""});
  // a CR LF cut by the 64 KiB blocks the bytes are read in
  const std::string bloque(65535 - 4, 'x');
  EXPECT_EQ(Lee("\"" + bloque + "\",\r\n\"z\"", d).size(), 2u);
}

TEST(LectorRegistros, AQuoteThatNeverClosesRejectsItsLineAndReadingGoesOn) {
  const DivisorLineas d = Comas(3);
  // "" is a quote inside the open value: only the end of the file stops it
  EXPECT_EQ(
      Lee("1,a\r\n2,\"b\r\n3,\"\"c\r\n4,d", d),
      (V{"1: 1,a", "2: 2,\"b <- 13 Las comillas abiertas en la línea 2 no se cierran",
         "3: 3,\"\"c <- 13 Texto después de las comillas de cierre en la columna 2", "4: 4,d"}));
  // a quote that closes with text after it ends the record where its line ends
  EXPECT_EQ(
      Lee("x,\"a\ny,\"b,\"c\"\nz", d),
      (V{"1: x,\"a\ny,\"b,\"c\" <- 13 Texto después de las comillas de cierre en la columna 2",
         "3: z"}));
  // Past the largest record the quote counts as never closed: the lines read
  // ahead are records again, with their own numbers.
  const std::size_t limite = LectorRegistros::kLargoMaximoRegistro;
  const std::string linea(999, 'x');
  std::string bytes = "1,\"a\n";
  const std::size_t lineas = limite / (linea.size() + 1) + 1;
  for (std::size_t i = 0; i < lineas; ++i) bytes += linea + "\n";
  const V r = Lee(bytes + "2,\"b\"", d);
  ASSERT_EQ(r.size(), lineas + 2);
  EXPECT_EQ(r.front(),
            "1: 1,\"a <- 6 Las comillas abiertas en la línea 1 no se cierran dentro del largo "
            "máximo de 1048576 bytes");
  EXPECT_EQ(r[1], "2: " + linea);
  EXPECT_EQ(r[lineas], std::to_string(lineas + 1) + ": " + linea);
  EXPECT_EQ(r.back(), std::to_string(lineas + 2) + ": 2,\"b\"");
}

TEST(LectorRegistros, ALinePastTheLimitNamesItsLineAndEndsItsRecord) {
  const DivisorLineas d = Comas(3);
  const std::string largo(LectorLineas::kLargoMaximoLinea + 1, 'y');
  const std::string motivo = " pasa del largo máximo de 1048576 bytes";
  // its quotes are not followed: what it holds past the cut is unknown
  EXPECT_EQ(Lee("a\n\"" + largo + "\nb", d),
            (V{"1: a", "2: \"" + std::string(99, 'y') + "... <- 6 La línea 2" + motivo, "3: b"}));
  EXPECT_EQ(Lee("1,\"a\r\n" + largo + "\r\n\",c\r\nd", d),
            (V{"1: 1,\"a\r\n" + std::string(100, 'y') + "... <- 6 La línea 2" + motivo,
               "3: \",c <- 13 Las comillas abiertas en la línea 3 no se cierran", "4: d"}));
}

// Records read ahead on a thread of their own: the caller must see exactly
// what reading the file itself gives, and may stop at any moment.
// A file of many batches: quoted line breaks, quotes that never close or
// with text after them, lines past the limit and lines long enough to cut
// batches by their bytes.
std::string Fuente() {
  std::string bytes;
  for (int i = 1; i <= 3000; ++i) {
    bytes += std::to_string(i) + ",\"v" + std::to_string(i) + "\"";
    if (i % 97 == 0) bytes += ",\"dos,\r\nlíneas\"";
    if (i % 211 == 0) bytes += ",\"c\"x";
    if (i % 401 == 0) bytes += ",\"abierta";
    if (i % 733 == 0) bytes += "," + std::string(LectorLineas::kLargoMaximoLinea + 5, 'L');
    if (i % 500 == 0) bytes += "," + std::string(300000, 'x');
    bytes += i % 3 ? "\r\n" : "\n";
  }
  return bytes + "fin";
}

// Split on the reading thread: the values the splitter gives on the record;
// a record the splitter refuses (or with a defect) is left to be split where
// it is processed, so that its error is met there.
TEST(LecturaAnticipada, GivesTheRecordsOfReadingTheFileAndSplitsWhatTheSplitterAccepts) {
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
  LecturaAnticipada lectura(l, &d);
  int divididas = 0, dejadas = 0;
  while (!lectura.AlFinal()) {
    const LineaLeida x = lectura.Lee();
    anticipados.push_back(Describe(x));
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
  EXPECT_EQ(anticipados, directos);
  EXPECT_GT(divididas, 0);
  EXPECT_GT(dejadas, 0);
  // past the end, as many times as asked, nothing more
  EXPECT_TRUE(lectura.AlFinal());
  EXPECT_EQ(Describe(lectura.Lee()), "0: ");
}

// A record that only the splitter refuses (a fixed-width position past
// 32767, which the reader cannot see) comes whole and unsplit, so that it
// is split again and refused where it is processed.
TEST(LecturaAnticipada, LeavesWholeARecordOnlyTheSplitterRefuses) {
  prueba::CarpetaTemporal tmp;
  const std::string ruta = tmp.Archivo("f.txt");
  prueba::EscribeBytes(ruta, "ABCDEF\r\nXY\r\n");
  const DivisorLineas d = DivisorLineas::AnchoFijo({32767, 3});
  LectorRegistros l(ruta, d);
  LecturaAnticipada lectura(l, &d);
  for (const std::string texto : {"ABCDEF", "XY"}) {
    const LineaLeida x = lectura.Lee();
    EXPECT_EQ(x.texto, texto);
    EXPECT_FALSE(x.defecto) << texto;
    EXPECT_FALSE(x.dividida) << texto;
    EXPECT_TRUE(x.valores.empty()) << texto;
  }
  EXPECT_TRUE(lectura.AlFinal());
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

// Comma and TAB files written the way spreadsheets and exports write them are
// read here and by PostgreSQL's COPY (FORMAT csv): both must give the same
// values, field by field. The corpus is generated here, the same on every
// run. Needs the test cluster (VARLODI_PG_PORT, scripts/pg-cluster).
using Filas = std::vector<V>;

constexpr std::size_t kColumnas = 4;

// Values that need quoting and values that do not.
const V& Valores() {
  static const V v = {"00123",
                      "Pérez, Ana",
                      "25/12/2005",
                      "",
                      "dijo \"hola\"",
                      "línea 1\r\nlínea 2",
                      "a\nb",
                      "c\rd",
                      "  con espacios  ",
                      "tab\taquí",
                      "\"",
                      ",",
                      "\"\"",
                      "Ñandú 5€",
                      "x,\"y\",z",
                      "\"empieza",
                      "termina\"",
                      "tubo 5\" largo"};
  return v;
}

// Every value in every column, in a different company each time.
Filas Corpus() {
  const V& v = Valores();
  Filas r;
  for (std::size_t i = 0; i < 2 * v.size(); ++i) {
    r.emplace_back();
    for (std::size_t c = 0; c < kColumnas; ++c) r.back().push_back(v[(i + c * 5) % v.size()]);
  }
  return r;
}

struct Estilo {
  const char* nombre;
  char separador;
  bool siempreCitado;  // every field quoted, or only those that need it
  const char* finDeRegistro;
  bool ultimoSinFin;
  bool marca;  // UTF-8 byte-order mark
  Codificacion codificacion;
};

const Estilo kEstilos[] = {
    {"comas, comillas donde hacen falta, CR LF", ',', false, "\r\n", false, false,
     Codificacion::Utf8},
    {"comas, todo entre comillas, marca UTF-8", ',', true, "\r\n", true, true, Codificacion::Utf8},
    {"comas, LF, marca UTF-8, última sin fin", ',', false, "\n", true, true, Codificacion::Utf8},
    {"comas, CR solo", ',', true, "\r", false, false, Codificacion::Utf8},
    {"comas, Windows-1252", ',', false, "\r\n", true, false, Codificacion::Ansi},
    {"tabuladores, comillas donde hacen falta", '\t', false, "\r\n", false, false,
     Codificacion::Utf8},
    {"tabuladores, todo entre comillas, marca UTF-8", '\t', true, "\n", true, true,
     Codificacion::Utf8},
};

std::string Campo(const std::string& valor, char separador, bool siempre) {
  if (!siempre && valor.find_first_of(std::string{separador, '"', '\r', '\n'}) == std::string::npos)
    return valor;
  std::string r = "\"";
  for (char ch : valor) r += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return r + "\"";
}

// The file's bytes without the byte-order mark (COPY would take it as data).
std::string Escribe(const Filas& filas, const Estilo& e) {
  std::string bytes;
  for (std::size_t i = 0; i < filas.size(); ++i) {
    for (std::size_t c = 0; c < filas[i].size(); ++c) {
      if (c) bytes += e.separador;
      bytes += Campo(filas[i][c], e.separador, e.siempreCitado);
    }
    if (i + 1 < filas.size() || !e.ultimoSinFin) bytes += e.finDeRegistro;
  }
  return e.codificacion == Codificacion::Ansi ? Utf8AAnsi(bytes) : bytes;
}

Filas LeeVarloDI(const std::string& ruta, const Estilo& e) {
  const DivisorLineas divisor =
      DivisorLineas::Separado(std::string(1, e.separador), kColumnas).ConComillas("\"");
  LectorRegistros lector(ruta, divisor);
  lector.Lineas().EstableceCodificacion(e.codificacion);
  Filas r;
  while (!lector.AtEndOfStream()) {
    LineaLeida l = lector.Lee();
    EXPECT_FALSE(l.defecto) << l.linea << ": " << l.defecto->Descripcion();
    r.emplace_back();
    divisor.Divide(l.texto, r.back());
  }
  EXPECT_EQ(LectorRegistros::Cuenta(ruta, divisor, e.codificacion), static_cast<long>(r.size()));
  return r;
}

std::string DeHex(const std::string& hex) {
  std::string r;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    r += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return r;
}

// What COPY reads from the file: each field back as UTF-8 in hexadecimal,
// so that line breaks and separators inside values cannot blur the answer.
Filas LeePostgres(const std::string& ruta, const Estilo& e, const std::string& carpeta) {
  const V lineas = prueba::PsqlGuion(
      carpeta + "/copia.sql",
      "create temp table t (n serial, c1 text, c2 text, c3 text, c4 text);\n"
      "\\copy t (c1, c2, c3, c4) from '" +
          ruta + "' with (format csv, delimiter " + (e.separador == '\t' ? "E'\\t'" : "','") +
          ", force_not_null (c1, c2, c3, c4), encoding '" +
          (e.codificacion == Codificacion::Ansi ? "WIN1252" : "UTF8") +
          "')\n"
          "select encode(convert_to(c1, 'UTF8'), 'hex'), encode(convert_to(c2, 'UTF8'), 'hex'), "
          "encode(convert_to(c3, 'UTF8'), 'hex'), encode(convert_to(c4, 'UTF8'), 'hex') "
          "from t order by n;\n",
      "-F '|'");
  Filas r;
  for (const std::string& linea : lineas) {
    V fila;
    std::size_t desde = 0;
    for (std::size_t c = 0; c < kColumnas; ++c) {
      std::size_t barra = linea.find('|', desde);
      fila.push_back(DeHex(linea.substr(desde, barra - desde)));
      desde = barra == std::string::npos ? linea.size() : barra + 1;
    }
    r.push_back(std::move(fila));
  }
  return r;
}

TEST(ComillasContraPostgres, EveryProducerStyleReadsAsCopyReadsIt) {
  const Filas corpus = Corpus();
  for (const Estilo& e : kEstilos) {
    SCOPED_TRACE(e.nombre);
    prueba::CarpetaTemporal tmp;
    const std::string bytes = Escribe(corpus, e);
    const std::string paraCopy = tmp.Archivo("copy.csv"), paraVarlo = tmp.Archivo("varlo.csv");
    prueba::EscribeBytes(paraCopy, bytes);
    prueba::EscribeBytes(paraVarlo, (e.marca ? "\xEF\xBB\xBF" : "") + bytes);
    const Filas copy = LeePostgres(paraCopy, e, tmp.Ruta());
    const Filas varlo = LeeVarloDI(paraVarlo, e);
    ASSERT_EQ(copy.size(), corpus.size());  // COPY read every record
    EXPECT_EQ(varlo, copy);
  }
}

}  // namespace
}  // namespace varlo
