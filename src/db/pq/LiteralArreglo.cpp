#include "db/pq/LiteralArreglo.h"

#include "common/ErrorVarlo.h"
#include "db/pq/TiposPq.h"

namespace varlo::db::pq {

void AnadeElemento(std::string& arreglo, const std::string& valor) {
  arreglo += '"';
  // the runs between quotes and backslashes go whole
  std::size_t desde = 0;
  for (std::size_t i = 0; i < valor.size(); ++i) {
    if (valor[i] != '"' && valor[i] != '\\') continue;
    arreglo.append(valor, desde, i - desde);
    arreglo += '\\';
    desde = i;
  }
  arreglo.append(valor, desde, std::string::npos);
  arreglo += '"';
}

std::string LiteralArreglo(const std::vector<Valor>& valores) {
  std::string r = "{";
  r.reserve(valores.size() * 16 + 2);
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
    } else if (std::holds_alternative<Bytes>(v) || std::holds_alternative<std::string>(v)) {
      // bytes, or a text with a NUL byte (ParametroDe refuses it as when bound alone)
      const Parametro p = ParametroDe(v);
      if (p.binario)
        throw ErrorVarlo(errores::FalloProveedor, "PostgreSQL",
                         "Un valor binario no se puede escribir en un arreglo");
      AnadeElemento(r, p.datos);
    } else {
      // numbers, decimals and dates hold nothing to escape
      r += '"';
      AnadeTextoSimple(r, v);
      r += '"';
    }
  }
  return r + "}";
}

SentenciaSql ConArreglos(const std::string& texto,
                         const std::vector<std::vector<Valor>>& columnas) {
  SentenciaSql s{texto, {}};
  s.parametros.reserve(columnas.size());
  for (const std::vector<Valor>& columna : columnas)
    s.parametros.emplace_back(LiteralArreglo(columna));
  return s;
}

}  // namespace varlo::db::pq
