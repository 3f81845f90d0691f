#include "common/Texto.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace varlo {

namespace {
char AMayuscula(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

std::string Recorta(std::string_view s) {
  return std::string(RecortaVista(s));
}

std::string RecortaIzq(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string() : std::string(s.substr(i));
}

std::string RecortaDer(std::string_view s) {
  std::size_t i = s.find_last_not_of(' ');
  return i == std::string_view::npos ? std::string() : std::string(s.substr(0, i + 1));
}

bool EstaEnBlanco(std::string_view s) {
  return s.find_first_not_of(' ') == std::string_view::npos;
}

std::string Mayusculas(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = AMayuscula(c);
  return r;
}

bool IgualSinCaso(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AMayuscula(a[i]) != AMayuscula(b[i])) return false;
  return true;
}

std::size_t BuscaSinCaso(std::string_view pajar, std::string_view aguja, std::size_t desde) {
  if (aguja.empty()) return desde <= pajar.size() ? desde : std::string_view::npos;
  if (aguja.size() > pajar.size()) return std::string_view::npos;
  // a separator such as "," has no other case: the library's search is
  // several times faster, and it runs for every piece of every line
  if (aguja.size() == 1 && !std::isalpha(static_cast<unsigned char>(aguja[0])))
    return pajar.find(aguja[0], desde);
  for (std::size_t i = desde; i + aguja.size() <= pajar.size(); ++i)
    if (IgualSinCaso(pajar.substr(i, aguja.size()), aguja)) return i;
  return std::string_view::npos;
}

std::vector<std::string> Divide(std::string_view texto, std::string_view separador, bool sinCaso) {
  std::vector<std::string> piezas;
  if (texto.empty()) return piezas;
  if (separador.empty()) {
    piezas.emplace_back(texto);
    return piezas;
  }
  std::size_t inicio = 0;
  while (true) {
    std::size_t pos =
        sinCaso ? BuscaSinCaso(texto, separador, inicio) : texto.find(separador, inicio);
    if (pos == std::string_view::npos) {
      piezas.emplace_back(texto.substr(inicio));
      return piezas;
    }
    piezas.emplace_back(texto.substr(inicio, pos - inicio));
    inicio = pos + separador.size();
  }
}

std::string Une(const std::vector<std::string>& piezas, std::string_view separador) {
  std::string r;
  for (std::size_t i = 0; i < piezas.size(); ++i) {
    if (i) r += separador;
    r += piezas[i];
  }
  return r;
}

std::size_t AvanzaCaracteres(std::string_view s, std::size_t desde, std::int64_t caracteres) {
  std::size_t i = desde;
  // Eight ASCII bytes are eight characters: a fixed-width line is mostly
  // that, and is cut a word at a time instead of a byte at a time.
  bool bloques = false;
  while (caracteres >= 8 && i < s.size() && s.size() - i >= 8) {
    std::uint64_t ocho;
    std::memcpy(&ocho, s.data() + i, sizeof ocho);
    if (ocho & 0x8080808080808080ULL) break;
    i += 8;
    caracteres -= 8;
    bloques = true;
  }
  // a stray continuation byte belongs to the character before it
  if (bloques)
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  while (i < s.size() && caracteres > 0) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --caracteres;
  }
  return i;
}

std::string QuitaCorchetes(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s)
    if (c != '[' && c != ']') r += c;
  return r;
}

std::string DuplicaApostrofos(std::string_view s) {
  std::string r;
  r.reserve(s.size() + 2);
  for (char c : s) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r;
}

}  // namespace varlo
