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
    i = q + comillas_.size();
    if (EmpiezaComilla(linea, i)) {  // a doubled quote is one quote of the value
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
  if (registro.empty()) return;
  std::size_t i = 0, c = 0;
  while (true) {
    std::string* valor = c < columnas ? &valores[c] : nullptr;
    if (EmpiezaComilla(registro, i)) {
      i += comillas_.size();
      while (true) {
        const std::size_t q = registro.find(comillas_, i);
        if (q == std::string_view::npos)
          LanzaError(errores::TiposNoCoinciden,
                     "Las comillas de la columna " + std::to_string(c + 1) + " no se cierran");
        if (valor) valor->append(registro.substr(i, q - i));
        i = q + comillas_.size();
        if (!EmpiezaComilla(registro, i)) break;
        if (valor) valor->append(comillas_);
        i += comillas_.size();
      }
      if (i == registro.size()) return;
      if (separador_.empty() || !IgualSinCaso(registro.substr(i, separador_.size()), separador_))
        LanzaError(
            errores::TiposNoCoinciden,
            "Texto después de las comillas de cierre en la columna " + std::to_string(c + 1));
      i += separador_.size();
      ++c;
      continue;
    }
    const std::size_t s = Separador(registro, i);
    if (s == std::string_view::npos) {
      if (valor) valor->assign(registro.substr(i));
      return;
    }
    if (valor) valor->assign(registro.substr(i, s - i));
    i = s + separador_.size();
    ++c;
  }
}

}  // namespace varlo
