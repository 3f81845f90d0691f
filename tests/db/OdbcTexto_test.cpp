// Text between UTF-8 and the UTF-16 that ODBC's wide calls take.
#include <gtest/gtest.h>

#include <string>

#include "db/odbc/TextoOdbc.h"

namespace varlo::db::odbc {
namespace {

TEST(OdbcTexto, IdaYVueltaDeTextoValido) {
  const std::string textos[] = {"", "ID_Empleado", "Peña Ñandú é", "日本語", "😀 y 𝄞", std::string("a\0b", 3)};
  for (const std::string& t : textos) {
    EXPECT_EQ(Utf16AUtf8(Utf8AUtf16(t)), t);
  }
  EXPECT_EQ(Utf8AUtf16("ñ"), u"ñ");
  // Outside the basic plane: a surrogate pair.
  EXPECT_EQ(Utf8AUtf16("😀"), std::u16string({char16_t(0xD83D), char16_t(0xDE00)}));
}

TEST(OdbcTexto, SecuenciasMalFormadasSeReemplazan) {
  // A lone continuation byte, a truncated sequence followed by ASCII, an
  // overlong "/", an encoded surrogate and a byte that never starts UTF-8.
  EXPECT_EQ(Utf8AUtf16("a\x80z"), u"a\uFFFDz");
  EXPECT_EQ(Utf8AUtf16("\xC3z"), u"\uFFFDz");
  EXPECT_EQ(Utf8AUtf16("\xE6\x97"), u"\uFFFD");
  EXPECT_EQ(Utf8AUtf16("\xC0\xAF"), u"\uFFFD");
  EXPECT_EQ(Utf8AUtf16("\xED\xA0\x80!"), u"\uFFFD!");
  EXPECT_EQ(Utf8AUtf16("\xFF"), u"\uFFFD");
  // Unpaired surrogates coming from a driver.
  EXPECT_EQ(Utf16AUtf8(std::u16string({char16_t(0xD83D), u'x'})), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16AUtf8(std::u16string({char16_t(0xDE00)})), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace varlo::db::odbc
