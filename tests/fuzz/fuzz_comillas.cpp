// The quoted-field splitter and the record walk of the reader. First line:
// the quote (its first byte) followed by the separator ("\"," for a comma
// file, "'Sep" for an "Otro" text); what follows is the record, split as it
// stands. Invariants:
//   - a record with no quote splits exactly as the plain separated layout;
//   - on one line, the reader's walk and the splitter agree: a record splits
//     if and only if the walk ends outside quotes with no text after a
//     closing quote, and they name the same column or the same open quote;
//   - the values of a record, each quoted with its quotes doubled and joined
//     by the separator, split back into the same values.
// ASan stops any read past the record.
#include <cstdint>
#include <string>
#include <vector>

#include "Invariante.h"
#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "import/DivisorLineas.h"

namespace varlo::fuzz {
namespace {

constexpr std::size_t kMaximo = 4096;

struct Resultado {
  std::vector<std::string> valores;
  std::string error;  // "" when the split succeeded
};

Resultado Divide(const DivisorLineas& d, std::string_view registro) {
  Resultado r;
  try {
    d.Divide(registro, r.valores);
  } catch (const ErrorVarlo& e) {
    EXIGE(e.Numero() == errores::TiposNoCoinciden);
    r.error = e.Descripcion();
  }
  return r;
}

void Comprueba(const std::string& comillas, const std::string& separador,
               std::string_view registro) {
  // every piece fits: there are never more than one per byte, plus one
  const std::size_t columnas = registro.size() + 1;
  const DivisorLineas plano = DivisorLineas::Separado(separador, columnas);
  const DivisorLineas divisor = plano.ConComillas(comillas);
  const Resultado r = Divide(divisor, registro);

  if (registro.find(comillas) == std::string_view::npos) {
    EXIGE(r.error.empty());
    EXIGE(r.valores == Divide(plano, registro).valores);
  }

  if (registro.find_first_of("\r\n") == std::string_view::npos) {
    DivisorComillas::Recorrido recorrido;
    divisor.Comillas()->Recorre(registro, recorrido);
    // The splitter stops at the first fault; the walk goes on to find where
    // the record ends, and a later quote may still leave it open.
    if (r.error.empty()) {
      EXIGE(!recorrido.abierta && recorrido.columnaMala == 0);
      // the walk counts the pieces the splitter cut
      std::size_t piezas = registro.empty() ? 0 : 1;
      for (std::size_t c = 1; c < r.valores.size(); ++c)
        if (!r.valores[c].empty()) piezas = c + 1;
      EXIGE(recorrido.columna >= piezas);
    } else if (r.error.find("no se cierran") != std::string::npos) {
      EXIGE(recorrido.abierta && recorrido.columnaMala == 0);
    } else {
      EXIGE(r.error == "Texto después de las comillas de cierre en la columna " +
                           std::to_string(recorrido.columnaMala));
    }
  }

  if (!r.error.empty()) return;
  // without a separator there is one value to write back
  const std::size_t escritos = separador.empty() ? 1 : r.valores.size();
  std::string citado;
  for (std::size_t c = 0; c < escritos; ++c) {
    if (c) citado += separador;
    citado += comillas;
    std::size_t desde = 0;
    for (std::size_t q; (q = r.valores[c].find(comillas, desde)) != std::string::npos;
         desde = q + comillas.size())
      citado += r.valores[c].substr(desde, q + comillas.size() - desde) + comillas;
    citado += r.valores[c].substr(desde) + comillas;
  }
  const Resultado otra = Divide(divisor, citado);
  EXIGE(otra.error.empty());
  EXIGE(otra.valores == r.valores);
}

}  // namespace
}  // namespace varlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo::fuzz;
  if (tamano > kMaximo) return 0;
  std::string_view registro(reinterpret_cast<const char*>(datos), tamano);
  std::string_view disposicion = CortaLinea(registro);
  if (disposicion.empty()) return 0;
  const std::string comillas(disposicion.substr(0, 1));
  const std::string separador(disposicion.substr(1));
  // neither can hold a line end: the definitions file has one key a line
  if (comillas == "\r" || separador.find('\r') != std::string::npos) return 0;
  try {
    Comprueba(comillas, separador, registro);
  } catch (const varlo::ErrorVarlo& e) {
    // only a quote that is part of the separator is refused
    EXIGE(e.Numero() == varlo::errores::ArgumentoNoValido);
    EXIGE(varlo::BuscaSinCaso(separador, comillas) != std::string::npos);
  }
  return 0;
}
