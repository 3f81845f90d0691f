#include "db/LlaveSuelta.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "common/Texto.h"

namespace varlo::db {

namespace {
// Spaces at both ends left out, as Recorta, without a copy.
std::string_view SinEspacios(std::string_view s) {
  const std::size_t i = s.find_first_not_of(' ');
  if (i == std::string_view::npos) return {};
  return s.substr(i, s.find_last_not_of(' ') - i + 1);
}

// Text as a case- and accent-blind collation could see it: upper-case
// ASCII letters and digits; nothing for a character it cannot fold.
std::optional<std::string> Pliega(std::string_view t) {
  // U+00C0 to U+00FF as the ASCII letters a case- and accent-blind
  // comparison may take them for; "" where it is no letter.
  static constexpr const char* kLatin1[64] = {
      "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",
      "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "SS",
      "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",
      "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "Y"};
  std::string r;
  r.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c < 0x80) {
      // letters and digits only: a collation may also ignore punctuation
      if (c >= 'a' && c <= 'z')
        r += static_cast<char>(c - 'a' + 'A');
      else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        r += static_cast<char>(c);
      continue;
    }
    const auto c2 = i + 1 < t.size() ? static_cast<unsigned char>(t[i + 1]) : 0;
    if ((c == 0xC3) && (c2 & 0xC0) == 0x80) {
      const char* letra = kLatin1[c2 - 0x80];
      if (!*letra) return std::nullopt;
      r += letra;
      ++i;
      continue;
    }
    return std::nullopt;
  }
  return r;
}
}  // namespace

std::string Suelta(ClaseLiteral clase, const Valor& v) {
  // a text key, as every key of a text column comes: folded straight from it
  if (const auto* t = std::get_if<std::string>(&v); t && clase == ClaseLiteral::Texto)
    return Pliega(SinEspacios(*t)).value_or(kSinPliegue);
  if (clase == ClaseLiteral::Numero) {
    const std::string t = Recorta(ValorComoTexto(v));
    char* fin = nullptr;
    const double n = std::strtod(t.c_str(), &fin);
    if (!t.empty() && fin && *fin == '\0') {
      char texto[40];
      std::snprintf(texto, sizeof texto, "%.17g", n);
      return texto;
    }
    return t;
  }
  std::string t = Recorta(ValorComoTexto(v));
  if (clase == ClaseLiteral::Texto) return Pliega(t).value_or(kSinPliegue);
  for (char& c : t)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return t;
}

std::string SueltaLlave(const std::vector<Predicado>& condiciones, const Valor* valores) {
  if (condiciones.size() == 1) return Suelta(condiciones[0].clase, valores[0]);
  std::string r;
  for (std::size_t k = 0; k < condiciones.size(); ++k) {
    const std::string parte = Suelta(condiciones[k].clase, valores[k]);
    if (parte == kSinPliegue) return kSinPliegue;
    // equal parts give equal keys; a key that merely looks like another
    // only sends both to their own lookups
    r += parte;
    r += '\x1f';
  }
  return r;
}

}  // namespace varlo::db
