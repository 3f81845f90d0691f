// What an assignment turns a value into, and what it refuses, per ADO type;
// and the ADO types SQLite columns report from their declared types.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "db/ConversionValores.h"
#include "db/TiposAdo.h"
#include "db/sqlite/TiposSQLite.h"

namespace varlo::db {
namespace {

InfoCampo Campo(int tipo, long tamano = 0) {
  return InfoCampo{"C", tipo, tamano};
}

long NumeroDe(const InfoCampo& c, const Valor& v) {
  try {
    ConvierteValor(c, v);
  } catch (const ErrorVarlo& e) {
    return e.Numero();
  }
  return 0;
}
long NumeroDe(const InfoCampo& c, const char* texto) {
  return NumeroDe(c, Valor(std::string(texto)));
}

TEST(ConversionValores, EnterosComoLosAceptaSqlServer) {
  EXPECT_EQ(ConvierteTexto(Campo(adSmallInt), " -32768 "), Valor(std::int64_t{-32768}));
  EXPECT_EQ(ConvierteTexto(Campo(adInteger), "+0012"), Valor(std::int64_t{12}));
  EXPECT_EQ(ConvierteTexto(Campo(adBigInt), "9223372036854775807"),
            Valor(std::int64_t{9223372036854775807}));
  EXPECT_EQ(NumeroDe(Campo(adSmallInt), "32768"), 6);
  EXPECT_EQ(NumeroDe(Campo(adTinyInt), "256"), 6);
  EXPECT_EQ(NumeroDe(Campo(adTinyInt), "-1"), 6);
  EXPECT_EQ(NumeroDe(Campo(adBigInt), "9223372036854775808"), 6);
  for (const char* malo : {"1.5", "1e3", "", " ", "12a", "- 1", "&H10", "1 2"})
    EXPECT_EQ(NumeroDe(Campo(adInteger), malo), 13) << malo;
  EXPECT_EQ(ConvierteValor(Campo(adInteger), 3.0), Valor(std::int64_t{3}));
  EXPECT_EQ(NumeroDe(Campo(adInteger), Valor(3.5)), 13);
  EXPECT_EQ(NumeroDe(Campo(adSmallInt), Valor(std::int64_t{40000})), 6);
  EXPECT_EQ(ConvierteValor(Campo(adSmallInt), true), Valor(std::int64_t{-1}));
}

TEST(ConversionValores, DecimalesYFlotantes) {
  EXPECT_EQ(ConvierteTexto(Campo(adNumeric), " 1.50 "), Valor(1.5));
  EXPECT_EQ(ConvierteTexto(Campo(adNumeric), "-.5"), Valor(-0.5));
  EXPECT_EQ(ConvierteTexto(Campo(adDouble), "1.5E3"), Valor(1500.0));
  EXPECT_EQ(NumeroDe(Campo(adNumeric), "1E3"), 13);
  EXPECT_EQ(NumeroDe(Campo(adNumeric), "1,5"), 13);
  EXPECT_EQ(NumeroDe(Campo(adDouble), "1E999"), 6);
  EXPECT_EQ(NumeroDe(Campo(adCurrency), "922337203685478"), 6);
}

TEST(ConversionValores, BooleanosFechasYTexto) {
  EXPECT_EQ(ConvierteTexto(Campo(adBoolean), "true"), Valor(true));
  EXPECT_EQ(ConvierteTexto(Campo(adBoolean), "FALSE"), Valor(false));
  EXPECT_EQ(ConvierteTexto(Campo(adBoolean), "-1"), Valor(true));
  EXPECT_EQ(ConvierteTexto(Campo(adBoolean), "0"), Valor(false));
  EXPECT_EQ(ConvierteTexto(Campo(adBoolean), "2.5"), Valor(true));
  EXPECT_EQ(NumeroDe(Campo(adBoolean), "No"), 13);
  EXPECT_EQ(ConvierteValor(Campo(adBoolean), std::int64_t{0}), Valor(false));

  EXPECT_EQ(ConvierteTexto(Campo(adDBTimeStamp), "2005-12-25"), Valor(FechaHora{2005, 12, 25}));
  EXPECT_EQ(ConvierteTexto(Campo(adDBTimeStamp), "2005-12-25 21:30"),
            Valor(FechaHora{2005, 12, 25, 21, 30, 0}));
  EXPECT_EQ(ConvierteTexto(Campo(adDBTime), "08:15:00"), Valor(FechaHora{1899, 12, 30, 8, 15, 0}));
  for (const char* malo : {"25/12/2005", "2005-13-01", "2005-12-25 24:00", "ayer"})
    EXPECT_EQ(NumeroDe(Campo(adDBTimeStamp), malo), 13) << malo;
  EXPECT_EQ(NumeroDe(Campo(adInteger), Valor(FechaHora{2005, 1, 1})), 13);

  EXPECT_EQ(ConvierteTexto(Campo(adChar, 3), "ñañ"), Valor(std::string("ñañ")));
  EXPECT_EQ(NumeroDe(Campo(adChar, 3), "abcd"), 8152);
  EXPECT_EQ(NumeroDe(Campo(adVarWChar, 2), "ábc"), 8152);
  EXPECT_EQ(ConvierteTexto(Campo(adLongVarChar, 2147483647), std::string(5000, 'x')),
            Valor(std::string(5000, 'x')));
  EXPECT_EQ(ConvierteValor(Campo(adVarChar, 10), std::int64_t{42}), Valor(std::string("42")));
  EXPECT_EQ(NumeroDe(Campo(adVarBinary, 2), Valor(Bytes{1, 2, 3})), 8152);
  EXPECT_EQ(ConvierteValor(Campo(adLongVarBinary, 2147483647), Valor{}), Valor{});
}

TEST(TiposSQLite, TipoAdoYTamanoPorElTipoDeclarado) {
  struct Caso {
    const char* declarado;
    int tipo;
    long tamano;
  };
  const Caso casos[] = {
      {"CHAR(15)", adChar, 15},
      {"nchar(4)", adWChar, 4},
      {"VARCHAR(50)", adVarChar, 50},
      {"varchar(max)", adLongVarChar, 2147483647},
      {"NVARCHAR(20)", adVarWChar, 20},
      {"TEXT", adVarChar, 2147483647},
      {"INT", adInteger, 4},
      {"INTEGER", adInteger, 4},
      {"SMALLINT", adSmallInt, 2},
      {"TINYINT", adTinyInt, 1},
      {"BIGINT", adBigInt, 8},
      {"BIT", adBoolean, 2},
      {"boolean", adBoolean, 2},
      {"FLOAT", adDouble, 8},
      {"REAL", adDouble, 8},
      {"DECIMAL(12, 2)", adNumeric, 19},
      {"MONEY", adCurrency, 8},
      {"DATETIME", adDBTimeStamp, 16},
      {"TIMESTAMP", adDBTimeStamp, 16},
      {"DATE", adDBDate, 6},
      {"TIME", adDBTime, 6},
      {"IMAGE", adLongVarBinary, 2147483647},
      {"BLOB", adLongVarBinary, 2147483647},
      {"VARBINARY(16)", adVarBinary, 16},
      {"MEDIUMINT", adBigInt, 8},
      {"CHARACTER VARYING(9)", adVarChar, 9},
  };
  for (const Caso& c : casos) {
    InfoCampo f;
    ASSERT_TRUE(TipoDeclarado(c.declarado, f)) << c.declarado;
    EXPECT_EQ(f.tipo, c.tipo) << c.declarado;
    EXPECT_EQ(f.tamanoDefinido, c.tamano) << c.declarado;
  }
  InfoCampo f;
  EXPECT_FALSE(TipoDeclarado("", f));
}

}  // namespace
}  // namespace varlo::db
