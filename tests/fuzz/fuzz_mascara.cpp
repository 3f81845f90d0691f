// The date mask ("FormatoFecha") and the dates cut with it. First line: the
// mask; the rest: the date value, cut as the table import and the absence
// planning cut it.
#include <cstdint>
#include <string>

#include "Invariante.h"
#include "common/ErrorVarlo.h"
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

bool FechaPosible(const FechaHora& f) {
  return f.anio >= 100 && f.anio <= 9999 && f.mes >= 1 && f.mes <= 12 && f.dia >= 1 &&
         f.dia <= 31 && !f.TieneHora();
}

// What a bad date value may raise: a part that is no number (13), out of the
// 16-bit range (6), a missing letter or a date outside the years 100-9999 (5).
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
