#include "import/DivisorComillas.h"

#include <algorithm>
#include <cctype>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"

namespace varlo {

DivisorComillas::DivisorComillas(std::string separador, std::string comillas)
    : separador_(std::move(separador)), comillas_(std::move(comillas)) {
  if (comillas_.empty() || BuscaSinCaso(separador_, comillas_) != std::string::npos)
    LanzaError(
        errores::ArgumentoNoValido,
        "Las comillas (" + comillas_ + ") no pueden ser parte del separador (" + separador_ + ")");
  separadorSimple_ =
      separador_.size() == 1 && !std::isalpha(static_cast<unsigned char>(separador_[0]));
}

bool DivisorComillas::EsAscii() const {
  return std::ranges::all_of(separador_ + comillas_,
                             [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

std::size_t DivisorComillas::Separador(std::string_view texto, std::size_t desde) const {
  if (separador_.empty()) return std::string_view::npos;
  if (separadorSimple_) return texto.find(separador_[0], desde);
  return BuscaSinCaso(texto, separador_, desde);
}

void DivisorComillas::Recorre(std::string_view linea, Recorrido& r) const {
  Camina(linea, r, nullptr);
}

void DivisorComillas::Camina(std::string_view linea, Recorrido& r,
                             std::vector<std::string>* valores) const {
  // the value of the column being read, when it is one of those kept
  const auto valor = [&]() -> std::string* {
    return valores && r.columna <= valores->size() ? &(*valores)[r.columna - 1] : nullptr;
  };
  std::size_t i = 0;
  bool dentro = r.abierta;
  while (true) {
    if (!dentro) {
      // at the start of a field
      if (EmpiezaComilla(linea, i)) {
        i += comillas_.size();
        dentro = true;
        continue;
      }
      const std::size_t s = Separador(linea, i);
      if (std::string* v = valor()) v->assign(linea.substr(i, s - i));  // to the end when npos
      if (s == std::string_view::npos) break;
      i = s + separador_.size();
      ++r.columna;
      continue;
    }
    const std::size_t q = linea.find(comillas_, i);
    if (q == std::string_view::npos) {
      r.abierta = true;
      return;
    }
    if (std::string* v = valor()) v->append(linea.substr(i, q - i));
    i = q + comillas_.size();
    if (EmpiezaComilla(linea, i)) {  // a doubled quote is one quote of the value
      if (std::string* v = valor()) v->append(comillas_);
      i += comillas_.size();
      continue;
    }
    // Closed: the field ends at the next separator. Anything before it is
    // wrong, and read as plain text so that the record still ends somewhere.
    dentro = false;
    if (i == linea.size()) break;
    const std::size_t s = Separador(linea, i);
    if (s != i && r.columnaMala == 0) r.columnaMala = r.columna;
    if (s == std::string_view::npos) break;
    i = s + separador_.size();
    ++r.columna;
  }
  r.abierta = false;
}

void DivisorComillas::Divide(std::string_view registro, std::size_t columnas,
                             std::vector<std::string>& valores) const {
  valores.resize(columnas);
  for (auto& v : valores) v.clear();
  Recorrido r;
  Camina(registro, r, &valores);
  // the first fault from the left: a quote left open can only be the last
  if (r.columnaMala != 0)
    LanzaError(errores::TiposNoCoinciden, "Texto después de las comillas de cierre en la columna " +
                                              std::to_string(r.columnaMala));
  if (r.abierta)
    LanzaError(errores::TiposNoCoinciden,
               "Las comillas de la columna " + std::to_string(r.columna) + " no se cierran");
}

}  // namespace varlo
