#include "import/MascaraFecha.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"

namespace varlo {

namespace {
void Posicion(std::string_view mascara, char letra, std::int16_t& inicio, std::int16_t& largo) {
  const char casos[] = {letra, static_cast<char>(letra - 'A' + 'a'), '\0'};
  const std::size_t primera = mascara.find_first_of(casos), ultima = mascara.find_last_of(casos);
  if (primera == std::string_view::npos) return;  // the fields' defaults: start 0, length 1
  if (ultima >= 32767) LanzaError(errores::Desbordamiento);
  inicio = static_cast<std::int16_t>(primera + 1);
  largo = static_cast<std::int16_t>(ultima - primera + 1);
}

// 'Y', 'M' or 'D' for a date letter in either case, 0 for any other character.
char LetraFecha(char c) {
  // the 0x20 bit is the only difference between a letter's two cases
  const char mayuscula = static_cast<char>(c & ~0x20);
  return mayuscula == 'Y' || mayuscula == 'M' || mayuscula == 'D' ? mayuscula : 0;
}

bool EsSeparador(char c) {
  return c == '/' || c == '-' || c == '.';
}

// How many of the value's first characters are digits and separators.
std::size_t LargoFecha(std::string_view valor) {
  std::size_t n = 0;
  while (n < valor.size() && (EsCifra(valor[n]) || EsSeparador(valor[n]))) ++n;
  return n;
}

// A mask of three letter runs joined by separators: its letters in order and
// the two separators. Anything after the third run is left to the time.
struct Tramos {
  char letras[3] = {};
  std::string_view separadores[2];
};

std::optional<Tramos> TramosDe(std::string_view mascara) {
  Tramos t;
  std::size_t i = 0;
  for (int k = 0; k < 3; ++k) {
    if (i >= mascara.size() || !LetraFecha(mascara[i])) return std::nullopt;
    t.letras[k] = LetraFecha(mascara[i]);
    if (std::find(t.letras, t.letras + k, t.letras[k]) != t.letras + k) return std::nullopt;
    while (i < mascara.size() && LetraFecha(mascara[i]) == t.letras[k]) ++i;
    if (k == 2) break;
    const std::size_t desde = i;
    while (i < mascara.size() && EsSeparador(mascara[i])) ++i;
    if (i == desde) return std::nullopt;
    t.separadores[k] = mascara.substr(desde, i - desde);
  }
  for (; i < mascara.size(); ++i)
    if (LetraFecha(mascara[i])) return std::nullopt;
  return t;
}

// Whether the value fits the mask, as CortaFecha says.
bool EncajaEnMascara(std::string_view valor, std::string_view mascara) {
  // the letters are ASCII, so each begins a character of the mask
  const std::size_t ultimaLetra = mascara.find_last_of("YyMmDd");
  if (ultimaLetra == std::string_view::npos) return true;
  std::size_t iv = 0, im = 0;
  while (im <= ultimaLetra) {
    if (iv >= valor.size()) return true;
    const std::size_t finV = AvanzaCaracteres(valor, iv, 1),
                      finM = AvanzaCaracteres(mascara, im, 1);
    if (!LetraFecha(mascara[im]) && valor.substr(iv, finV - iv) != mascara.substr(im, finM - im))
      return false;
    iv = finV;
    im = finM;
  }
  if (iv >= valor.size() || !EsCifra(valor[iv])) return true;
  // a digit right after the last letter lengthens that part, unless the
  // mask itself has that digit there
  return im < mascara.size() && mascara[im] == valor[iv];
}

// The trimmed value cut between the mask's separators, when it has both in order.
std::optional<VistaFecha> CortaPorSeparadores(std::string_view valor, const Tramos& t) {
  const std::size_t fin = LargoFecha(valor);
  const std::string_view fecha = valor.substr(0, fin);
  const std::size_t primero = fecha.find(t.separadores[0]);
  if (primero == std::string_view::npos) return std::nullopt;
  const std::size_t segundo = fecha.find(t.separadores[1], primero + t.separadores[0].size());
  if (segundo == std::string_view::npos) return std::nullopt;
  const std::string_view piezas[3] = {
      fecha.substr(0, primero),
      fecha.substr(primero + t.separadores[0].size(), segundo - primero - t.separadores[0].size()),
      fecha.substr(segundo + t.separadores[1].size())};
  for (std::string_view pieza : piezas)
    if (!std::ranges::all_of(pieza, EsCifra)) return std::nullopt;  // a third separator
  VistaFecha p;
  p.porSeparadores = true;
  for (int k = 0; k < 3; ++k)
    (t.letras[k] == 'Y' ? p.anio : t.letras[k] == 'M' ? p.mes : p.dia) = piezas[k];
  p.resto = RecortaVista(valor.substr(fin));
  return p;
}

std::string_view ParteVista(std::string_view valor, int inicio, int largo) {
  if (inicio < 1 || largo < 0) LanzaError(errores::ArgumentoNoValido);
  std::size_t desde = AvanzaCaracteres(valor, 0, inicio - 1);
  std::size_t hasta = AvanzaCaracteres(valor, desde, largo);
  return valor.substr(desde, hasta - desde);
}

std::optional<std::string_view> ParteSiHayLetra(std::string_view valor, int inicio, int largo) {
  if (inicio < 1) return std::nullopt;
  return ParteVista(valor, inicio, largo);
}

// Where a part lies, when it lies inside the first `largoMascara` bytes.
bool DentroDe(std::size_t largoMascara, std::int16_t inicio, std::int16_t largo) {
  return inicio >= 1 && largo >= 1 &&
         static_cast<std::size_t>(inicio) - 1 + static_cast<std::size_t>(largo) <= largoMascara;
}

}  // namespace

VistaFecha CortaFechaGeneral(std::string_view valor, const MascaraFecha& m) {
  if (!EncajaEnMascara(valor, m.Texto)) {
    if (auto tramos = TramosDe(m.Texto)) {
      const std::string_view recortado = RecortaVista(valor);
      if (auto p = CortaPorSeparadores(recortado, *tramos)) return *p;
      // A date of another length written with other separators ("5-3-2010"
      // for DD/MM/YYYY) would be cut into nonsense at the mask's places; one
      // of the mask's length ("2006/08/01" for YYYY-MM-DD) reads there as it
      // always did.
      const std::size_t cifras =
          std::min(recortado.find_first_not_of("0123456789"), recortado.size());
      const std::size_t fecha = LargoFecha(recortado);
      if (cifras > 0 && cifras < fecha && fecha != LargoEnCaracteres(m.Texto))
        LanzaError(errores::TiposNoCoinciden);
    }
  }
  VistaFecha p;
  p.anio = ParteSiHayLetra(valor, m.InicioAnio, m.LargoAnio);
  p.mes = ParteSiHayLetra(valor, m.InicioMes, m.LargoMes);
  p.dia = ParteSiHayLetra(valor, m.InicioDia, m.LargoDia);
  p.resto = RecortaVista(valor.substr(
      AvanzaCaracteres(valor, 0, static_cast<std::int64_t>(LargoEnCaracteres(m.Texto)))));
  return p;
}

std::optional<VistaFecha> CortaFechaExacta(std::string_view valor, const MascaraFecha& m) {
  const std::string_view mascara = m.Texto;
  const std::size_t n = mascara.size();
  if (valor.size() < n || !DentroDe(n, m.InicioAnio, m.LargoAnio) ||
      !DentroDe(n, m.InicioMes, m.LargoMes) || !DentroDe(n, m.InicioDia, m.LargoDia))
    return std::nullopt;
  // single bytes, so that a byte is a character and the places are bytes
  bool letraAlFinal = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = mascara[i];
    if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
    letraAlFinal = LetraFecha(c) != 0;
    if (letraAlFinal ? !EsCifra(valor[i]) : valor[i] != c) return std::nullopt;
  }
  // a continuation byte would join the mask's last character; a digit
  // right after the last letter would lengthen its part
  const char siguiente = valor.size() > n ? valor[n] : '\0';
  if ((static_cast<unsigned char>(siguiente) & 0xC0) == 0x80 ||
      (letraAlFinal && EsCifra(siguiente)))
    return std::nullopt;
  const auto parte = [valor](std::int16_t inicio, std::int16_t largo) {
    return valor.substr(static_cast<std::size_t>(inicio - 1), static_cast<std::size_t>(largo));
  };
  return VistaFecha{parte(m.InicioAnio, m.LargoAnio), parte(m.InicioMes, m.LargoMes),
                    parte(m.InicioDia, m.LargoDia), RecortaVista(valor.substr(n)), false};
}

VistaFecha CortaFecha(std::string_view valor, const MascaraFecha& m) {
  if (auto p = CortaFechaExacta(valor, m)) return *p;
  return CortaFechaGeneral(valor, m);
}

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
  int anio = 0, mes = 0, dia = 0, cifrasAnio = 0;
  for (std::size_t i = 0; i < mascara.size(); ++i) {
    const char letra = LetraFecha(mascara[i]);
    const char c = valor[i];
    int* parte = letra == 'Y' ? &anio : letra == 'M' ? &mes : letra == 'D' ? &dia : nullptr;
    if (!parte) {
      if (c != mascara[i]) return std::nullopt;
      continue;
    }
    if (!EsCifra(c) || *parte > 99999) return std::nullopt;
    *parte = *parte * 10 + (c - '0');
    if (letra == 'Y') ++cifrasAnio;
  }
  FechaHora f;
  std::string_view resto = valor.substr(mascara.size());
  if (!resto.empty() && (resto.front() != ' ' || !LeeHoraDelDia(resto.substr(1), f)))
    return std::nullopt;
  // a written year of 0..99 in full ("0099") is no year of the window
  if ((cifrasAnio > 2 && anio < 100) || anio > 9999) return std::nullopt;
  const FechaHora d = ComponeFechaExacta(anio, mes, dia);
  f.anio = d.anio;
  f.mes = d.mes;
  f.dia = d.dia;
  return f;
}

std::string ParteTexto(std::string_view valor, int inicio, int largo) {
  return std::string(ParteVista(valor, inicio, largo));
}

std::size_t LargoEnCaracteres(std::string_view texto) {
  return static_cast<std::size_t>(
      std::ranges::count_if(texto, [](unsigned char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace varlo
