#include "import/MascaraFecha.h"

#include "common/ErrorVarlo.h"

namespace varlo {

namespace {
void Posicion(std::string_view mascara, char letra, std::int16_t& inicio, std::int16_t& largo) {
  char minuscula = static_cast<char>(letra - 'A' + 'a');
  std::size_t primera = std::string_view::npos, ultima = std::string_view::npos;
  for (std::size_t i = 0; i < mascara.size(); ++i) {
    if (mascara[i] == letra || mascara[i] == minuscula) {
      if (primera == std::string_view::npos) primera = i;
      ultima = i;
    }
  }
  if (primera == std::string_view::npos) {
    inicio = 0;
    largo = 1;
    return;
  }
  if (ultima >= 32767) LanzaError(errores::Desbordamiento);
  inicio = static_cast<std::int16_t>(primera + 1);
  largo = static_cast<std::int16_t>(ultima - primera + 1);
}

bool EsContinuacion(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte offset of character number `n` (from 0); the text size when past it.
std::size_t OffsetDeCaracter(std::string_view s, std::size_t n) {
  std::size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && EsContinuacion(static_cast<unsigned char>(s[i]))) ++i;
    --n;
  }
  return i;
}
}  // namespace

MascaraFecha MascaraFecha::Desde(std::string_view mascara) {
  MascaraFecha m;
  Posicion(mascara, 'Y', m.InicioAnio, m.LargoAnio);
  Posicion(mascara, 'M', m.InicioMes, m.LargoMes);
  Posicion(mascara, 'D', m.InicioDia, m.LargoDia);
  return m;
}

std::string ParteTexto(std::string_view valor, int inicio, int largo) {
  if (inicio < 1 || largo < 0) LanzaError(errores::ArgumentoNoValido);
  std::size_t desde = OffsetDeCaracter(valor, static_cast<std::size_t>(inicio - 1));
  std::size_t hasta = desde + OffsetDeCaracter(valor.substr(desde), static_cast<std::size_t>(largo));
  return std::string(valor.substr(desde, hasta - desde));
}

std::size_t LargoEnCaracteres(std::string_view texto) {
  std::size_t n = 0;
  for (unsigned char c : texto)
    if (!EsContinuacion(c)) ++n;
  return n;
}

}  // namespace varlo
