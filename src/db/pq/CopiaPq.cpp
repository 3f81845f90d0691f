#include "db/pq/CopiaPq.h"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "db/pq/TiposPq.h"

namespace varlo::db::pq {

namespace {

// One value as a field, added to `datos`.
void AnadeCampo(std::string& datos, const Valor& v) {
  if (EsNulo(v)) {
    datos += "\\N";
    return;
  }
  // the common values written straight into the copy, without a copy of their own
  if (AnadeTextoSimple(datos, v)) return;
  const std::string* texto = std::get_if<std::string>(&v);
  if (texto && texto->find_first_of(std::string_view("\\\t\n\r\0", 5)) == std::string::npos) {
    datos += *texto;
    return;
  }
  const Parametro p = ParametroDe(v);
  if (p.binario) {
    // bytea's own text form, its backslash escaped for COPY
    static constexpr char kHex[] = "0123456789abcdef";
    datos += "\\\\x";
    for (unsigned char b : p.datos) {
      datos += kHex[b >> 4];
      datos += kHex[b & 15];
    }
    return;
  }
  for (char c : p.datos) {
    switch (c) {
      case '\\':
        datos += "\\\\";
        break;
      case '\t':
        datos += "\\t";
        break;
      case '\n':
        datos += "\\n";
        break;
      case '\r':
        datos += "\\r";
        break;
      default:
        datos += c;
    }
  }
}

}  // namespace

std::string OrdenCopia(const std::string& tablaSql, const std::vector<std::string>& columnasSql) {
  std::string orden = "copy " + tablaSql + " (";
  for (std::size_t i = 0; i < columnasSql.size(); ++i) orden += (i ? ", " : "") + columnasSql[i];
  orden += ") from stdin";
  return orden;
}

std::string DatosCopia(const std::vector<std::vector<Valor>>& filas) {
  std::string datos;
  if (!filas.empty()) datos.reserve(filas.size() * filas.front().size() * 12);
  for (const std::vector<Valor>& fila : filas) {
    for (std::size_t i = 0; i < fila.size(); ++i) {
      if (i) datos += '\t';
      AnadeCampo(datos, fila[i]);
    }
    datos += '\n';
  }
  return datos;
}

}  // namespace varlo::db::pq
