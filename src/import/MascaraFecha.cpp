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
  m.Texto = std::string(mascara);
  Posicion(mascara, 'Y', m.InicioAnio, m.LargoAnio);
  Posicion(mascara, 'M', m.InicioMes, m.LargoMes);
  Posicion(mascara, 'D', m.InicioDia, m.LargoDia);
  return m;
}

std::optional<FechaHora> FechaConFormaDeMascara(std::string_view valor, const MascaraFecha& m) {
  const std::string_view mascara = m.Texto;
  if (!m.Completa() || valor.size() < mascara.size()) return std::nullopt;
  int anio = 0, mes = 0, dia = 0;
  int cifrasAnio = 0;
  for (std::size_t i = 0; i < mascara.size(); ++i) {
    const char letra = mascara[i] >= 'a' && mascara[i] <= 'z' ? mascara[i] - 'a' + 'A' : mascara[i];
    const char c = valor[i];
    int* parte = letra == 'Y' ? &anio : letra == 'M' ? &mes : letra == 'D' ? &dia : nullptr;
    if (!parte) {
      if (c != mascara[i]) return std::nullopt;
      continue;
    }
    if (c < '0' || c > '9' || *parte > 99999) return std::nullopt;
    *parte = *parte * 10 + (c - '0');
    if (letra == 'Y') ++cifrasAnio;
  }
  FechaHora f;
  std::string_view resto = valor.substr(mascara.size());
  if (!resto.empty() && (resto.front() != ' ' || !LeeHoraDelDia(resto.substr(1), f)))
    return std::nullopt;
  // a written year of 0..99 in full ("0099") is no year of the window
  if (mes < 1 || mes > 12 || dia < 1 || (cifrasAnio > 2 && anio < 100) || anio > 9999)
    return std::nullopt;
  const FechaHora d = ComponeFecha(anio, mes, dia);
  if (d.mes != mes || d.dia != dia) return std::nullopt;
  f.anio = d.anio;
  f.mes = d.mes;
  f.dia = d.dia;
  return f;
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
