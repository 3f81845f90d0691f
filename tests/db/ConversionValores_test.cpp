// What an assignment refuses, per ADO type, and the positive number it
// raises: 6 overflow, 13 type mismatch, 8152 truncation.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/ConversionValores.h"
#include "db/TiposAdo.h"

namespace varlo::db {
namespace {

TEST(ConversionValores, RechazosConSuNumero) {
  struct Caso {
    int tipo;
    long tamano;
    std::vector<Valor> valores;
    long numero;
  };
  using S = std::string;
  const Caso casos[] = {
      // 32767.5 rounds to 32768
      {adSmallInt, 0, {S("32768"), S("-32769"), S("32767.5"), std::int64_t{40000}}, 6},
      {adTinyInt, 0, {S("256"), S("-1")}, 6},
      {adBigInt, 0, {S("9223372036854775808")}, 6},
      {adDouble, 0, {S("1E999")}, 6},
      {adCurrency, 0, {S("922337203685478")}, 6},
      {adInteger,
       0,
       {S("1e3"), S("+"), S("-"), S("1-"), S(" "), S("- 1"), S("&H10"), 3.5, FechaHora{2005, 1, 1}},
       13},
      {adNumeric, 0, {S("1,5"), S("1e3")}, 13},
      {adBoolean, 0, {S("No")}, 13},
      {adDBTimeStamp, 0, {S("25/12/2005"), S("2005-02-30"), S("2005-12-25 24:00")}, 13},
      {adChar, 3, {S("abcd")}, 8152},
      {adVarWChar, 2, {S("ábc")}, 8152},
      {adVarBinary, 2, {Bytes{1, 2, 3}}, 8152},
      // a NUL character: no column stores it whole
      {adVarChar, 0, {S("a\0b", 3)}, 13},
      {adLongVarWChar, 0, {S("\0", 1)}, 13},
  };
  for (const Caso& c : casos)
    for (const Valor& v : c.valores) {
      SCOPED_TRACE("tipo " + std::to_string(c.tipo) + ", valor " + ValorComoTexto(v));
      try {
        ADD_FAILURE() << ValorComoTexto(ConvierteValor(InfoCampo{"C", c.tipo, c.tamano}, v));
      } catch (const ErrorVarlo& e) {
        EXPECT_EQ(e.Numero(), c.numero);
      }
    }
  auto t = [](const char* s) { return Valor(std::string(s)); };
  // at the limit, and counted in characters: accepted
  EXPECT_EQ(ConvierteValor(InfoCampo{"C", adChar, 3}, t("ñañ")), t("ñañ"));
  EXPECT_EQ(ConvierteValor(InfoCampo{"C", adSmallInt, 0}, t(" -32768 ")),
            Valor(std::int64_t{-32768}));
  // whole numbers: a sign, leading zeros, every digit of the widest type
  const auto entero = [&](int tipo, const char* texto) {
    return ConvierteValor(InfoCampo{"C", tipo, 0}, t(texto));
  };
  EXPECT_EQ(entero(adTinyInt, "+0255"), Valor(std::int64_t{255}));
  EXPECT_EQ(entero(adBigInt, "999999999999999999"), Valor(std::int64_t{999999999999999999}));
  EXPECT_EQ(entero(adBigInt, "-9223372036854775808"),
            Valor(std::numeric_limits<std::int64_t>::min()));
  EXPECT_EQ(entero(adInteger, "-2147483648"), Valor(std::int64_t{-2147483648}));
}

// A text column's size counts characters, whether or not its bytes already
// fit: generated texts of one- to four-byte characters around each size.
TEST(ConversionValores, LargoDeTextoEnCaracteresAlrededorDelTamano) {
  const char* caracteres[] = {"a", " ", "\xC3\xB1", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
  std::uint32_t semilla = 7;
  auto siguiente = [&semilla] {
    semilla = semilla * 1103515245u + 12345u;
    return (semilla >> 8) & 0xFFFFu;
  };
  long aceptados = 0, rechazados = 0;
  for (int vuelta = 0; vuelta < 4000; ++vuelta) {
    std::string texto;
    const unsigned largo = siguiente() % 12;
    for (unsigned k = 0; k < largo; ++k) texto += caracteres[siguiente() % std::size(caracteres)];
    const long tamano = static_cast<long>(siguiente() % 14) - 1;
    for (int tipo : {adChar, adVarChar, adWChar, adVarWChar, adLongVarWChar}) {
      const bool cabe = tamano <= 0 || tipo == adLongVarWChar ||
                        CuentaCaracteres(texto) <= static_cast<std::size_t>(tamano);
      try {
        EXPECT_EQ(ConvierteTexto(InfoCampo{"C", tipo, tamano}, texto), Valor(texto));
        EXPECT_TRUE(cabe) << texto << " en " << tamano;
        ++aceptados;
      } catch (const ErrorVarlo& e) {
        EXPECT_EQ(e.Numero(), 8152);
        EXPECT_FALSE(cabe) << texto << " en " << tamano;
        ++rechazados;
      }
      // a NUL is refused whatever the size
      EXPECT_THROW(ConvierteTexto(InfoCampo{"C", tipo, tamano}, texto + '\0'), ErrorVarlo);
    }
  }
  EXPECT_GT(aceptados, 1000);
  EXPECT_GT(rechazados, 1000);
}

// A numeric or decimal column gets the digits as written, trimmed: no double
// in between, however many digits.
TEST(ConversionValores, DecimalConservaSusCifras) {
  for (int tipo : {adNumeric, adDecimal})
    for (const char* texto : {"0.1", "-123456789.123456789012345", "7"})
      EXPECT_EQ(ConvierteValor(InfoCampo{"C", tipo, 0}, Valor(std::string(" ") + texto + " ")),
                Valor(Decimal{texto}));
}

}  // namespace
}  // namespace varlo::db
