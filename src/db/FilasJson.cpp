#include "db/FilasJson.h"

#include <charconv>
#include <cmath>

#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "db/ErroresBD.h"

namespace varlo::db {

std::string_view TipoJson(const Valor& v) {
  if (std::holds_alternative<std::string>(v)) return "text";
  if (std::holds_alternative<std::int64_t>(v)) return "bigint";
  if (std::holds_alternative<double>(v)) return "double precision";
  if (std::holds_alternative<bool>(v)) return "boolean";
  if (std::holds_alternative<FechaHora>(v)) return "timestamp";
  if (std::holds_alternative<Decimal>(v)) return "numeric";
  return {};
}

namespace {
void AnadeTexto(std::string& json, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  json += '"';
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (u < 0x20) {
      json += "\\u00";
      json += kHex[u >> 4];
      json += kHex[u & 0xF];
    } else {
      json += c;
    }
  }
  json += '"';
}
}  // namespace

void AnadeJson(std::string& json, const Valor& v) {
  char numero[40];
  if (const auto* s = std::get_if<std::string>(&v)) {
    AnadeTexto(json, *s);
  } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
    json.append(numero, std::to_chars(numero, numero + sizeof numero, *n).ptr);
  } else if (const auto* d = std::get_if<double>(&v)) {
    if (!std::isfinite(*d))
      throw ErrorVarlo(errores::Desbordamiento, kFuenteBD,
                       "Un número no finito no tiene forma JSON");
    json.append(numero, std::to_chars(numero, numero + sizeof numero, *d).ptr);
  } else if (const auto* b = std::get_if<bool>(&v)) {
    json += *b ? "true" : "false";
  } else if (const auto* f = std::get_if<FechaHora>(&v)) {
    AnadeTexto(json, FormatoISOHora(*f));
  } else if (const auto* dec = std::get_if<Decimal>(&v)) {
    // as a string: numeric's own input reads every form a source may have
    AnadeTexto(json, dec->texto);
  } else if (EsNulo(v)) {
    json += "null";
  } else {
    throw ErrorVarlo(errores::TiposNoCoinciden, kFuenteBD, "Un valor binario no tiene forma JSON");
  }
}

}  // namespace varlo::db
