#include "import/DivisorComillas.h"

#include "common/Codificacion.h"
#include "common/ErrorVarlo.h"
#include "common/Texto.h"

namespace varlo {

DivisorComillas::DivisorComillas(std::string separador, std::string comillas)
    : separador_(std::move(separador)), comillas_(std::move(comillas)) {
  if (comillas_.empty() || BuscaSinCaso(separador_, comillas_) != std::string::npos)
    LanzaError(
        errores::ArgumentoNoValido,
        "Las comillas (" + comillas_ + ") no pueden ser parte del separador (" + separador_ + ")");
}

bool DivisorComillas::EsAscii() const {
  return SoloAscii(separador_ + comillas_);
}

void DivisorComillas::Camina(std::string_view linea, Recorrido& r,
                             std::vector<std::string>* valores) const {
  std::size_t i = 0;
  while (true) {
    // the value of this column, when it is one of those kept
    std::string* const v =
        valores && r.columna <= valores->size() ? &(*valores)[r.columna - 1] : nullptr;
    // a field is quoted when it begins with the quote, or when the line goes
    // on with a quoted value that a line break cut
    const bool citado = r.abierta || linea.substr(i).starts_with(comillas_);
    if (!r.abierta && citado) i += comillas_.size();
    r.abierta = false;
    while (citado) {
      const std::size_t q = linea.find(comillas_, i);
      if (q == std::string_view::npos) {
        r.abierta = true;
        return;
      }
      if (v) v->append(linea.substr(i, q - i));
      i = q + comillas_.size();
      if (!linea.substr(i).starts_with(comillas_)) break;
      // a doubled quote is one quote of the value
      if (v) v->append(comillas_);
      i += comillas_.size();
    }
    // A quoted field ends at the next separator. Anything before it is wrong,
    // and read as plain text so that the record still ends somewhere.
    if (citado && i == linea.size()) return;
    // an empty separator is never found
    const std::size_t s =
        separador_.empty() ? std::string_view::npos : BuscaSinCaso(linea, separador_, i);
    // an unquoted value runs to the separator, or to the end when there is none
    if (v && !citado) v->assign(linea.substr(i, s - i));
    if (citado && s != i && r.columnaMala == 0) r.columnaMala = r.columna;
    if (s == std::string_view::npos) return;
    i = s + separador_.size();
    ++r.columna;
  }
}

void DivisorComillas::Divide(std::string_view registro, std::vector<std::string>& valores) const {
  Recorrido r;
  Camina(registro, r, &valores);
  // the first fault from the left: a quote left open can only be the last
  if (r.columnaMala != 0) LanzaError(errores::TiposNoCoinciden, r.TextoTrasCierre());
  if (r.abierta)
    LanzaError(errores::TiposNoCoinciden,
               "Las comillas de la columna " + std::to_string(r.columna) + " no se cierran");
}

}  // namespace varlo
