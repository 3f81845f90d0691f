#include "import/MascaraFecha.h"

#include "common/ErrorVarlo.h"
#include "common/Texto.h"

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
  std::size_t desde = AvanzaCaracteres(valor, 0, inicio - 1);
  std::size_t hasta = AvanzaCaracteres(valor, desde, largo);
  return std::string(valor.substr(desde, hasta - desde));
}

std::size_t LargoEnCaracteres(std::string_view texto) {
  std::size_t n = 0;
  for (unsigned char c : texto)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace varlo
