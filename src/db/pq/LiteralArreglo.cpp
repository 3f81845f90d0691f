#include "db/pq/LiteralArreglo.h"

#include "common/ErrorVarlo.h"
#include "db/pq/TiposPq.h"

namespace varlo::db::pq {

void AnadeElemento(std::string& arreglo, const std::string& valor) {
  arreglo += '"';
  for (char c : valor) {
    if (c == '"' || c == '\\') arreglo += '\\';
    arreglo += c;
  }
  arreglo += '"';
}

std::string LiteralArreglo(const std::vector<Valor>& valores) {
  std::string r = "{";
  for (std::size_t i = 0; i < valores.size(); ++i) {
    if (i) r += ',';
    const Valor& v = valores[i];
    if (EsNulo(v)) {
      r += "NULL";
    } else if (const auto* t = std::get_if<std::string>(&v);
               t && t->find('\0') == std::string::npos) {
      AnadeElemento(r, *t);  // the text as it is, without a copy
    } else if (const auto* b = std::get_if<bool>(&v)) {
      r += *b ? "true" : "false";
    } else {
      const Parametro p = ParametroDe(v);
      if (p.binario)
        throw ErrorVarlo(errores::FalloProveedor, "PostgreSQL",
                         "Un valor binario no se puede escribir en un arreglo");
      AnadeElemento(r, p.datos);
    }
  }
  return r + "}";
}

}  // namespace varlo::db::pq
