#pragma once
// Text rules of the original runtime: trimming removes spaces only (never
// TABs), comparisons "without regard to case" fold ASCII letters, and a split
// keeps empty pieces.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace varlo {

std::string Recorta(std::string_view s);  // spaces at both ends
// Recorta as a view into `s`: no copy, for a value read and then dropped.
// Inline: it runs for every value of every record.
inline std::string_view RecortaVista(std::string_view s) {
  std::size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  // a fixed-width value is padded with spaces: eight at a time
  constexpr std::uint64_t kEspacios = 0x2020202020202020ULL;
  while (n - i >= 8) {
    std::uint64_t ocho;
    std::memcpy(&ocho, s.data() + n - 8, sizeof ocho);
    if (ocho != kEspacios) break;
    n -= 8;
  }
  while (n > i && s[n - 1] == ' ') --n;
  return std::string_view(s.data() + i, n - i);
}
std::string RecortaIzq(std::string_view s);  // leading spaces
std::string RecortaDer(std::string_view s);  // trailing spaces
bool EstaEnBlanco(std::string_view s);       // empty once trimmed

std::string Mayusculas(std::string_view s);
bool IgualSinCaso(std::string_view a, std::string_view b);

// Position of `aguja` in `pajar` from `desde`, ignoring case; npos if absent.
std::size_t BuscaSinCaso(std::string_view pajar, std::string_view aguja, std::size_t desde = 0);

// Cuts at every occurrence of `separador` (case-insensitive when `sinCaso`).
// An empty text gives no piece; an empty separator gives the whole text.
std::vector<std::string> Divide(std::string_view texto, std::string_view separador,
                                bool sinCaso = false);

std::string Une(const std::vector<std::string>& piezas, std::string_view separador);

// Byte offset reached by moving `caracteres` UTF-8 characters forward from
// byte `desde`; the text's size when it ends first.
std::size_t AvanzaCaracteres(std::string_view s, std::size_t desde, std::int64_t caracteres);

// Every "[" and "]" removed.
std::string QuitaCorchetes(std::string_view s);

// Apostrophes doubled, for a literal between apostrophes.
std::string DuplicaApostrofos(std::string_view s);

}  // namespace varlo
