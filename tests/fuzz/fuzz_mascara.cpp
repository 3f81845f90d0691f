// The date mask ("FormatoFecha") and the dates cut with it. First line: the
// mask; the rest: the date value, cut as the table import and the absence
// planning cut it.
#include <cstdint>
#include <string>

#include "Invariante.h"
#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "import/EscrituraRegistro.h"
#include "import/MascaraFecha.h"
#include "incidences/RangoFechas.h"

namespace varlo::fuzz {
namespace {

bool EsLetra(char c, char letra) {
  return c == letra || c == letra - 'A' + 'a';
}

// A part runs from the first to the last occurrence of its letter; a letter
// that is missing gives start 0 and length 1.
void CompruebaParte(std::string_view mascara, std::string_view valor, char letra,
                    std::int16_t inicio, std::int16_t largo) {
  std::size_t primera = std::string_view::npos, ultima = 0;
  for (std::size_t i = 0; i < mascara.size(); ++i) {
    if (!EsLetra(mascara[i], letra)) continue;
    if (primera == std::string_view::npos) primera = i;
    ultima = i;
  }
  if (primera == std::string_view::npos) {
    EXIGE(inicio == 0 && largo == 1);
    return;
  }
  EXIGE(inicio >= 1 && static_cast<std::size_t>(inicio - 1) == primera);
  EXIGE(largo >= 1 && static_cast<std::size_t>(inicio - 1 + largo - 1) == ultima);
  std::string parte = ParteTexto(valor, inicio, largo);
  EXIGE(LargoEnCaracteres(parte) <= static_cast<std::size_t>(largo));
  EXIGE(valor.find(parte) != std::string_view::npos);
}

// A day of the calendar as written: nothing rolled over into another month.
bool FechaPosible(const FechaHora& f) {
  return f.anio >= 100 && f.anio <= 9999 && f.mes >= 1 && f.mes <= 12 && f.dia >= 1 &&
         f.dia <= 31 && !f.TieneHora() && FechaDeDias(DiasDesdeEpoca(f)) == f;
}

// A value that fits the mask (its own characters where it has them, the
// mask's length) is cut at the mask's places, as it always was.
void CompruebaCorteEnMascara(std::string_view mascara, std::string_view valor,
                             const MascaraFecha& m) {
  if (LargoEnCaracteres(valor) != LargoEnCaracteres(mascara)) return;
  for (std::size_t i = 0; i < mascara.size() && i < valor.size(); ++i) {
    const char c = mascara[i];
    const bool letra = EsLetra(c, 'Y') || EsLetra(c, 'M') || EsLetra(c, 'D');
    if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(valor[i]) >= 0x80)
      return;  // kept to single bytes, where a place is a byte
    if (!letra && valor[i] != c) return;
  }
  const VistaFecha p = CortaFecha(valor, m);
  EXIGE(!p.porSeparadores);
  const auto igual = [&](std::optional<std::string_view> parte, std::int16_t inicio,
                         std::int16_t largo) {
    EXIGE(inicio < 1 ? !parte : parte && *parte == ParteTexto(valor, inicio, largo));
  };
  igual(p.anio, m.InicioAnio, m.LargoAnio);
  igual(p.mes, m.InicioMes, m.LargoMes);
  igual(p.dia, m.InicioDia, m.LargoDia);
}

// Parts taken between separators are digits only, and the value (trimmed)
// begins with them joined by separators.
void CompruebaCorteEntreSeparadores(std::string_view valor, const MascaraFecha& m) {
  VistaFecha p;
  try {
    p = CortaFecha(valor, m);
  } catch (const ErrorVarlo& e) {
    EXIGE(e.Numero() == errores::TiposNoCoinciden);
    return;
  }
  if (!p.porSeparadores) return;
  EXIGE(p.anio && p.mes && p.dia);
  for (std::string_view parte : {*p.anio, *p.mes, *p.dia})
    for (char c : parte) EXIGE(c >= '0' && c <= '9');
  const std::string recortado = Recorta(valor);
  for (std::string_view parte : {*p.anio, *p.mes, *p.dia})
    EXIGE(recortado.find(parte) != std::string::npos);
}

// What a bad date value may raise: a part that is no number (13), out of the
// 16-bit range (6), a missing letter or a day that does not exist (5).
bool ErrorDeValor(const ErrorVarlo& e) {
  return e.Numero() == errores::TiposNoCoinciden || e.Numero() == errores::Desbordamiento ||
         e.Numero() == errores::ArgumentoNoValido;
}

}  // namespace
}  // namespace varlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo;
  using namespace varlo::fuzz;
  std::string_view valor(reinterpret_cast<const char*>(datos), tamano);
  std::string_view mascara = CortaLinea(valor);
  MascaraFecha m;
  try {
    m = MascaraFecha::Desde(mascara);
  } catch (const ErrorVarlo& e) {
    // a letter past the 16-bit position
    EXIGE(e.Numero() == errores::Desbordamiento && mascara.size() > 32767);
    return 0;
  }
  CompruebaParte(mascara, valor, 'Y', m.InicioAnio, m.LargoAnio);
  CompruebaParte(mascara, valor, 'M', m.InicioMes, m.LargoMes);
  CompruebaParte(mascara, valor, 'D', m.InicioDia, m.LargoDia);

  CompruebaCorteEnMascara(mascara, valor, m);
  // the shortcut answers as the general rules do wherever it answers
  if (auto atajo = CortaFechaExacta(valor, m)) EXIGE(*atajo == CortaFechaGeneral(valor, m));
  CompruebaCorteEntreSeparadores(valor, m);
  try {
    if (auto f = FechaDeMascara(std::string(valor), m)) EXIGE(FechaPosible(*f));
  } catch (const ErrorVarlo& e) {
    EXIGE(ErrorDeValor(e));
  }
  try {
    EXIGE(FechaPosible(LeeFecha(m, valor)));
  } catch (const ErrorVarlo& e) {
    EXIGE(ErrorDeValor(e));
  }
  return 0;
}
