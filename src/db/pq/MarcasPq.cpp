#include "db/pq/MarcasPq.h"

#include <cctype>
#include <cstddef>

namespace varlo::db::pq {

namespace {
bool EsLetraNombre(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
         (static_cast<unsigned char>(c) & 0x80) != 0;
}

// Where a quoted piece that starts at `i` ends (one past its closing quote).
// A doubled quote is the quote itself; with `barras`, a backslash escapes
// the next character (E'...').
std::size_t FinCitado(const std::string& s, std::size_t i, char comilla, bool barras) {
  for (++i; i < s.size(); ++i) {
    if (barras && s[i] == '\\') {
      ++i;
    } else if (s[i] == comilla) {
      if (i + 1 < s.size() && s[i + 1] == comilla) {
        ++i;
      } else {
        return i + 1;
      }
    }
  }
  return s.size();
}

// "$tag$" or "$$" at `i`: its length, 0 when it is not one ($1 is a marker).
std::size_t EtiquetaDolar(const std::string& s, std::size_t i) {
  std::size_t j = i + 1;
  if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) return 0;
  while (j < s.size() && EsLetraNombre(s[j])) ++j;
  return j < s.size() && s[j] == '$' ? j + 1 - i : 0;
}
}  // namespace

std::string NumeraMarcas(const std::string& s) {
  std::string r;
  r.reserve(s.size() + 16);
  int numero = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    std::size_t fin = i + 1;
    if (c == '\'') {
      // E'...' takes backslash escapes; the E was copied as a letter already
      const bool barras =
          i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e') && (i < 2 || !EsLetraNombre(s[i - 2]));
      fin = FinCitado(s, i, '\'', barras);
    } else if (c == '"') {
      fin = FinCitado(s, i, '"', false);
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      fin = s.find('\n', i);
      fin = fin == std::string::npos ? s.size() : fin + 1;
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      // comments nest
      int nivel = 0;
      for (fin = i; fin < s.size(); ++fin) {
        if (s.compare(fin, 2, "/*") == 0) {
          ++nivel, ++fin;
        } else if (s.compare(fin, 2, "*/") == 0) {
          ++fin;
          if (--nivel == 0) break;
        }
      }
      fin = fin < s.size() ? fin + 1 : s.size();
    } else if (c == '$' && (i == 0 || !EsLetraNombre(s[i - 1]))) {
      if (const std::size_t n = EtiquetaDolar(s, i); n > 0) {
        const std::size_t cierre = s.find(s.substr(i, n), i + n);
        fin = cierre == std::string::npos ? s.size() : cierre + n;
      }
    } else if (c == '?') {
      r += '$' + std::to_string(++numero);
      ++i;
      continue;
    }
    r.append(s, i, fin - i);
    i = fin;
  }
  return r;
}

}  // namespace varlo::db::pq
