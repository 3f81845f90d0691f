// Number reading: the leading number of any text, the strict reading of a
// whole text, the 16- and 32-bit conversions, and a number printed as the
// database layer prints it and read back.
#include <cmath>
#include <cstdint>
#include <string>

#include "Invariante.h"
#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "db/Valor.h"

namespace varlo::fuzz {
namespace {

// Halves go to the even neighbour, so the last value that fits is the half
// below the bound on top and the half beyond it at the bottom.
template <typename Entero>
void CompruebaRedondeo(double v, Entero (*convierte)(double), double menor, double mayor) {
  bool cabe = v >= menor - 0.5 && v < mayor + 0.5;
  try {
    Entero r = convierte(v);
    EXIGE(cabe);
    double diferencia = std::fabs(static_cast<double>(r) - v);
    EXIGE(diferencia <= 0.5);
    EXIGE(diferencia < 0.5 || r % 2 == 0);
  } catch (const ErrorVarlo& e) {
    EXIGE(e.Numero() == errores::Desbordamiento && !cabe);
  }
}

void CompruebaTruncado(double v) {
  bool cabe = v >= -32768.0 && v < 32768.0;
  try {
    std::int16_t r = TruncaEntero16(v);
    EXIGE(cabe && r <= v && v < r + 1.0);
  } catch (const ErrorVarlo& e) {
    EXIGE(e.Numero() == errores::Desbordamiento && !cabe);
  }
}

// Printed with the layer's 15 digits, a number reads back as a number that
// prints the same; a whole number below 10^15 reads back exactly.
void CompruebaImpresion(double v) {
  if (!std::isfinite(v)) return;
  std::string impreso = db::ValorComoTexto(db::Valor(v));
  std::optional<double> leido = NumeroEstricto(impreso);
  EXIGE(leido.has_value());
  EXIGE(db::ValorComoTexto(db::Valor(*leido)) == impreso);
  if (std::fabs(v) < 1e15 && std::trunc(v) == v) EXIGE(*leido == v);
}

}  // namespace
}  // namespace varlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo;
  using namespace varlo::fuzz;
  std::string_view texto(reinterpret_cast<const char*>(datos), tamano);
  double inicial = LeeNumero(texto);
  EXIGE(!std::isnan(inicial));
  // a text that is wholly a number is also its own leading number
  if (std::optional<double> entero = NumeroEstricto(texto)) EXIGE(*entero == inicial);
  CompruebaRedondeo<std::int16_t>(inicial, AEntero16, -32768.0, 32767.0);
  CompruebaRedondeo<std::int32_t>(inicial, AEntero32, -2147483648.0, 2147483647.0);
  CompruebaTruncado(inicial);
  CompruebaImpresion(inicial);
  return 0;
}
