// The line splitter with a layout of the fuzzer's choosing. First line: "F"
// and the widths ("F 5 0 3", any number a "LongitudColumna" may hold, huge
// and negative ones included), or "S", the number of columns and the
// separator ("S 3 ,", the separator being the rest of the line). What
// follows the first line is the source line, split as it stands.
#include <cstdint>
#include <string>
#include <vector>

#include "Invariante.h"
#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "common/Texto.h"
#include "import/DefinicionTabla.h"
#include "import/MascaraFecha.h"
#include "import/PlanColumnas.h"

namespace varlo::fuzz {
namespace {

// A width is read as the plan reads "LongitudColumna": leading number, 32 bits.
bool LeeAnchos(std::string_view texto, std::vector<std::int32_t>& anchos) {
  for (const std::string& pieza : Divide(texto, " ")) {
    if (pieza.empty()) continue;
    try {
      anchos.push_back(AEntero32(LeeNumero(pieza)));
    } catch (const ErrorVarlo&) {
      return false;  // refused when the plan is built, never split with
    }
    if (anchos.size() == 200) break;
  }
  return true;
}

void CompruebaFijo(const std::vector<std::int32_t>& anchos, std::string_view linea) {
  // The position starts at 1 and only positive widths move it; the first
  // column that takes it past 32767 raises error 6 once its value is taken.
  std::int64_t posicion = 1;
  std::size_t desborda = anchos.size();
  for (std::size_t c = 0; c < anchos.size() && desborda == anchos.size(); ++c) {
    if (anchos[c] > 0) posicion += anchos[c];
    if (posicion > 32767) desborda = c;
  }
  DefinicionTabla d;
  d.Formato = 1;
  d.Longitudes = anchos;
  std::vector<std::string> valores;
  try {
    DivisorDe(d).Divide(linea, valores);
    EXIGE(desborda == anchos.size());
  } catch (const ErrorVarlo& e) {
    EXIGE(e.Numero() == errores::Desbordamiento);
    EXIGE(desborda < anchos.size());
  }
  EXIGE(valores.size() == anchos.size());
  // The values, in order, are consecutive pieces of the line from its start;
  // on plain ASCII a value is short only where the line has ended.
  bool ascii = true;
  for (char ch : linea) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
  std::size_t byte = 0;
  for (std::size_t c = 0; c < anchos.size(); ++c) {
    const std::string& v = valores[c];
    if (anchos[c] <= 0 || c > desborda) {
      EXIGE(v.empty());
      continue;
    }
    EXIGE(linea.substr(byte, v.size()) == v);
    byte += v.size();
    EXIGE(LargoEnCaracteres(v) <= static_cast<std::size_t>(anchos[c]));
    EXIGE(!ascii || v.size() == static_cast<std::size_t>(anchos[c]) || byte == linea.size());
  }
}

void CompruebaSeparado(std::int16_t formato, std::size_t columnas, std::string_view separador,
                       std::string_view linea) {
  DefinicionTabla d;
  d.Formato = formato;
  d.Separador = separador;
  d.Campos.assign(columnas, "C");
  std::vector<std::string> valores;
  DivisorDe(d).Divide(linea, valores);
  // the same cut as the general one; extra pieces dropped, missing ones empty
  std::vector<std::string> piezas = Divide(linea, separador, true);
  piezas.resize(columnas);
  EXIGE(valores == piezas);
}

}  // namespace
}  // namespace varlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo::fuzz;
  std::string_view linea(reinterpret_cast<const char*>(datos), tamano);
  std::string_view disposicion = CortaLinea(linea);
  if (disposicion.starts_with("F")) {
    std::vector<std::int32_t> anchos;
    if (LeeAnchos(disposicion.substr(1), anchos)) CompruebaFijo(anchos, linea);
  } else if (disposicion.starts_with("S")) {
    // "S", the columns, one space, the separator (possibly empty)
    std::string_view resto = disposicion.substr(1);
    std::size_t espacio = resto.find(' ', resto.find_first_not_of(' '));
    std::string numero(resto.substr(0, espacio));
    std::string_view separador =
        espacio == std::string_view::npos ? std::string_view() : resto.substr(espacio + 1);
    double columnas = varlo::LeeNumero(numero);
    if (columnas >= 0 && columnas <= 200) {
      std::int16_t formato = separador == "\t" ? 2 : separador == "," ? 3 : 4;
      CompruebaSeparado(formato, static_cast<std::size_t>(columnas), separador, linea);
    }
  }
  return 0;
}
