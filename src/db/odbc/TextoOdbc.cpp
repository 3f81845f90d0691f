#include "db/odbc/TextoOdbc.h"

#include <cstdint>

namespace varlo::db::odbc {

namespace {
constexpr char32_t kReemplazo = 0xFFFD;

void AnadeUtf16(std::u16string& destino, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    destino.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    destino.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    destino.push_back(static_cast<char16_t>(c));
  }
}

void AnadeUtf8(std::string& destino, char32_t c) {
  if (c < 0x80) {
    destino.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    destino.push_back(static_cast<char>(0xC0 | (c >> 6)));
    destino.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    destino.push_back(static_cast<char>(0xE0 | (c >> 12)));
    destino.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    destino.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    destino.push_back(static_cast<char>(0xF0 | (c >> 18)));
    destino.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    destino.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    destino.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}
}  // namespace

std::u16string Utf8AUtf16(std::string_view utf8) {
  // Most texts are ASCII (every batch's array of digits and dates): that
  // part is widened without the decoder.
  std::size_t i = 0;
  while (i < utf8.size() && static_cast<std::uint8_t>(utf8[i]) < 0x80) ++i;
  std::u16string resultado(i, u'\0');
  for (std::size_t k = 0; k < i; ++k) resultado[k] = static_cast<char16_t>(utf8[k]);
  if (i == utf8.size()) return resultado;
  resultado.reserve(utf8.size());
  while (i < utf8.size()) {
    const auto b = static_cast<std::uint8_t>(utf8[i]);
    int siguientes = 0;
    char32_t c = 0;
    char32_t minimo = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F, siguientes = 1, minimo = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F, siguientes = 2, minimo = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07, siguientes = 3, minimo = 0x10000;
    } else {
      AnadeUtf16(resultado, kReemplazo);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool valido = true;
    for (int k = 0; k < siguientes; ++k, ++j) {
      if (j >= utf8.size() || (static_cast<std::uint8_t>(utf8[j]) & 0xC0) != 0x80) {
        valido = false;
        break;
      }
      c = (c << 6) | (static_cast<std::uint8_t>(utf8[j]) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (!valido || c < minimo || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AnadeUtf16(resultado, kReemplazo);
      i = j;  // resume at the byte that broke the sequence
      continue;
    }
    AnadeUtf16(resultado, c);
    i = j;
  }
  return resultado;
}

std::string Utf16AUtf8(std::u16string_view utf16) {
  // the ASCII part of every value read narrowed without the encoder
  std::size_t i = 0;
  while (i < utf16.size() && utf16[i] < 0x80) ++i;
  std::string resultado(i, '\0');
  for (std::size_t k = 0; k < i; ++k) resultado[k] = static_cast<char>(utf16[k]);
  if (i == utf16.size()) return resultado;
  resultado.reserve(utf16.size() + utf16.size() / 2);
  for (; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReemplazo;
    }
    AnadeUtf8(resultado, c);
  }
  return resultado;
}

}  // namespace varlo::db::odbc
