// Records of separated sources whose fields may be quoted: where a record
// ends, what its values are, and what is rejected, with the line it names.
#include "import/LectorRegistros.h"

#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "support/CarpetaTemporal.h"

namespace varlo {
namespace {

using V = std::vector<std::string>;

DivisorLineas Comas(std::size_t columnas, const std::string& comillas = "\"",
                    const std::string& separador = ",") {
  return DivisorLineas::Separado(separador, columnas).ConComillas(comillas);
}

V Divide(const DivisorLineas& d, std::string_view registro) {
  V v;
  d.Divide(registro, v);
  return v;
}

std::string ErrorDe(const DivisorLineas& d, std::string_view registro) {
  try {
    Divide(d, registro);
  } catch (const ErrorVarlo& e) {
    return std::to_string(e.Numero()) + " " + e.Descripcion();
  }
  return "sin error";
}

// What a spreadsheet writes is checked against PostgreSQL (ComillasPostgres_test);
// these are the cases COPY reads otherwise or cannot be asked about.
TEST(DivisorComillas, QuotesOnlyOpenAFieldAndOtherSeparatorsIgnoreCase) {
  const DivisorLineas d = Comas(3);
  // a quote that does not begin its field is a character of the value
  EXPECT_EQ(Divide(d, "tubo 5\",a\"b\"c, \"x\""), (V{"tubo 5\"", "a\"b\"c", " \"x\""}));
  // extra pieces are dropped, missing ones empty, an empty record gives no piece
  EXPECT_EQ(Divide(d, "\"a\",\"b\",\"c\",\"d\""), (V{"a", "b", "c"}));
  EXPECT_EQ(Divide(d, "\"a,b\""), (V{"a,b", "", ""}));
  EXPECT_EQ(Divide(d, ""), (V{"", "", ""}));
  EXPECT_EQ(Divide(d, "a,"), (V{"a", "", ""}));
  // a separator of several letters matches without regard to case, outside quotes only
  const DivisorLineas otro = Comas(3, "'", "Sep");
  EXPECT_EQ(Divide(otro, "a'b'SEPc'sep'd'sepE"), (V{"a'b'", "c'", "d"}));
  EXPECT_EQ(Divide(otro, "'x sep y'sep'it''s'"), (V{"x sep y", "it's", ""}));
  // fixed width has no fields to quote
  V fijo;
  DivisorLineas::AnchoFijo({2, 3}).ConComillas("\"").Divide("\"a\"bc", fijo);
  EXPECT_EQ(fijo, (V{"\"a", "\"bc"}));
}

TEST(DivisorComillas, AQuoteThatDoesNotCloseOrIsFollowedByTextIsAnError) {
  const DivisorLineas d = Comas(2);
  EXPECT_EQ(ErrorDe(d, "a,\"b"), "13 Las comillas de la columna 2 no se cierran");
  EXPECT_EQ(ErrorDe(d, "\"a\"\""), "13 Las comillas de la columna 1 no se cierran");
  EXPECT_EQ(ErrorDe(d, "\"a\"b,c"), "13 Texto después de las comillas de cierre en la columna 1");
  // also in a column beyond those configured: the record is wrong as a whole
  EXPECT_EQ(ErrorDe(d, "a,b,\"c\" "), "13 Texto después de las comillas de cierre en la columna 3");
  EXPECT_EQ(ErrorDe(Comas(1, "\"", ""), "\"a\"b"),
            "13 Texto después de las comillas de cierre en la columna 1");
}

TEST(DivisorComillas, AQuoteThatIsPartOfTheSeparatorIsRefused) {
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

// Every record of the file as "line: text" followed by " <- number description"
// when the reader rejects it; the count must agree with what was read.
V Lee(const std::string& bytes, const DivisorLineas& d) {
  prueba::CarpetaTemporal tmp;
  prueba::EscribeBytes(tmp.Archivo("f.txt"), bytes);
  V r;
  LectorRegistros l(tmp.Archivo("f.txt"), d);
  while (!l.AtEndOfStream()) {
    LineaLeida x = l.Lee();
    r.push_back(std::to_string(x.linea) + ": " + x.texto);
    if (x.defecto)
      r.back() += " <- " + std::to_string(x.defecto->Numero()) + " " + x.defecto->Descripcion();
  }
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

}  // namespace
}  // namespace varlo
