#include "db/ConversionValores.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "common/Texto.h"
#include "db/ErroresBD.h"
#include "db/TiposAdo.h"

namespace varlo::db {

namespace {

bool EsDigito(char c) {
  return c >= '0' && c <= '9';
}

[[noreturn]] void NoCoinciden(const InfoCampo& campo, const std::string& valor) {
  throw ErrorVarlo(errores::TiposNoCoinciden, kFuenteBD,
                   "No coinciden los tipos (columna " + campo.nombre + ", valor '" + valor + "')");
}

[[noreturn]] void Desborda(const InfoCampo& campo, const std::string& valor) {
  throw ErrorVarlo(errores::Desbordamiento, kFuenteBD,
                   "Desbordamiento (columna " + campo.nombre + ", valor '" + valor + "')");
}

[[noreturn]] void Trunca(const InfoCampo& campo) {
  throw ErrorVarlo(errores_bd::DatosTruncados, kFuenteBD,
                   "Los datos de cadena o binarios se truncarían (columna " + campo.nombre + ")");
}

// Limits of the whole-number types.
bool Rango(int tipo, std::int64_t& min, std::int64_t& max) {
  switch (tipo) {
    case adTinyInt:
      min = 0;
      max = 255;
      return true;
    case adSmallInt:
      min = -32768;
      max = 32767;
      return true;
    case adInteger:
      min = std::numeric_limits<std::int32_t>::min();
      max = std::numeric_limits<std::int32_t>::max();
      return true;
    case adBigInt:
      min = std::numeric_limits<std::int64_t>::min();
      max = std::numeric_limits<std::int64_t>::max();
      return true;
    default:
      return false;
  }
}

Valor EnteroEnRango(const InfoCampo& campo, std::int64_t n, const std::string& comoTexto) {
  std::int64_t min = 0, max = 0;
  if (Rango(campo.tipo, min, max) && (n < min || n > max)) Desborda(campo, comoTexto);
  return n;
}

Valor DobleEnRango(const InfoCampo& campo, double d, const std::string& comoTexto) {
  if (!std::isfinite(d)) Desborda(campo, comoTexto);
  if (campo.tipo == adSingle && std::fabs(d) > std::numeric_limits<float>::max())
    Desborda(campo, comoTexto);
  // money: +-922337203685477.5807
  if (campo.tipo == adCurrency && std::fabs(d) > 922337203685477.5807) Desborda(campo, comoTexto);
  return d;
}

// Up to 18 digits with an optional sign, nothing else (the usual value):
// read at once, no rounded copy of the text to build; nothing otherwise.
std::optional<std::int64_t> EnteroSimple(const std::string& t) {
  const std::size_t signo = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (t.size() == signo || t.size() - signo > 18) return std::nullopt;
  std::int64_t n = 0;
  for (std::size_t i = signo; i < t.size(); ++i) {
    if (!EsDigito(t[i])) return std::nullopt;
    n = n * 10 + (t[i] - '0');
  }
  return t[0] == '-' ? -n : n;
}

Valor TextoAEntero(const InfoCampo& campo, const std::string& texto) {
  if (const std::optional<std::int64_t> n = EnteroSimple(texto))
    return EnteroEnRango(campo, *n, texto);
  if (!EsNumeroDecimal(texto, true, false)) NoCoinciden(campo, texto);
  std::string t = RedondeaDecimal(texto);
  errno = 0;
  char* fin = nullptr;
  long long n = std::strtoll(t.c_str(), &fin, 10);
  if (errno == ERANGE) Desborda(campo, texto);
  return EnteroEnRango(campo, static_cast<std::int64_t>(n), texto);
}

Valor TextoADoble(const InfoCampo& campo, const std::string& texto) {
  bool flotante = campo.tipo == adDouble || campo.tipo == adSingle;
  if (!EsNumeroDecimal(texto, true, flotante)) NoCoinciden(campo, texto);
  std::string t = Recorta(texto);
  errno = 0;
  double d = std::strtod(t.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(d)) Desborda(campo, texto);
  return DobleEnRango(campo, d, texto);
}

// A numeric or decimal column gets the digits as written: the database
// reads them, exactly, with its own scale.
Valor TextoADecimal(const InfoCampo& campo, const std::string& texto) {
  if (!EsNumeroDecimal(texto, true, false)) NoCoinciden(campo, texto);
  return Decimal{Recorta(texto)};
}

bool EsTipoDecimal(int t) {
  return t == adDecimal || t == adNumeric;
}

Valor TextoABooleano(const InfoCampo& campo, const std::string& texto) {
  std::string t = Recorta(texto);
  if (IgualSinCaso(t, "True")) return true;
  if (IgualSinCaso(t, "False")) return false;
  if (!EsNumeroDecimal(t, true, true)) NoCoinciden(campo, texto);
  return std::strtod(t.c_str(), nullptr) != 0.0;
}

Valor TextoAFecha(const InfoCampo& campo, const std::string& texto) {
  FechaHora f;
  if (!LeeFechaISO(Recorta(texto), f)) NoCoinciden(campo, texto);
  return f;
}

Valor TextoACadena(const InfoCampo& campo, const std::string& texto) {
  // PostgreSQL cannot hold it and drivers cut the text at it: refused, never
  // stored as less than what was written
  if (texto.find('\0') != std::string::npos)
    throw ErrorVarlo(errores::TiposNoCoinciden, kFuenteBD,
                     "El valor tiene un carácter nulo (columna " + campo.nombre + ")");
  // A UTF-8 text has no more characters than bytes: one whose bytes fit
  // the column's size fits it; the others are counted.
  if (campo.tamanoDefinido > 0 && texto.size() > static_cast<std::size_t>(campo.tamanoDefinido))
    CompruebaLargo(campo, texto.size(), CuentaCaracteres(texto));
  return texto;
}

Valor BytesEnTamano(const InfoCampo& campo, Bytes b) {
  CompruebaLargo(campo, b.size(), b.size());
  return b;
}

}  // namespace

bool EsNumeroDecimal(std::string_view texto, bool fraccion, bool exponente) {
  std::size_t i = 0, n = texto.size();
  while (i < n && texto[i] == ' ') ++i;
  while (n > i && texto[n - 1] == ' ') --n;
  if (i < n && (texto[i] == '+' || texto[i] == '-')) ++i;
  std::size_t digitos = 0;
  while (i < n && EsDigito(texto[i])) ++i, ++digitos;
  if (fraccion && i < n && texto[i] == '.') {
    ++i;
    while (i < n && EsDigito(texto[i])) ++i, ++digitos;
  }
  if (digitos == 0) return false;
  if (exponente && i < n && (texto[i] == 'E' || texto[i] == 'e')) {
    ++i;
    if (i < n && (texto[i] == '+' || texto[i] == '-')) ++i;
    std::size_t exp = 0;
    while (i < n && EsDigito(texto[i])) ++i, ++exp;
    if (exp == 0) return false;
  }
  return i == n;
}

void CompruebaLargo(const InfoCampo& campo, std::size_t bytes, std::size_t caracteres) {
  if (campo.tamanoDefinido <= 0) return;
  const auto tamano = static_cast<std::size_t>(campo.tamanoDefinido);
  const int t = campo.tipo;
  if ((t == adBinary || t == adVarBinary) && bytes > tamano) Trunca(campo);
  if ((t == adChar || t == adVarChar || t == adWChar || t == adVarWChar) && caracteres > tamano)
    Trunca(campo);
}

std::size_t CuentaCaracteres(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

Valor ConvierteTexto(const InfoCampo& campo, const std::string& texto) {
  int t = campo.tipo;
  // the most frequent column first; no text type is of the kinds below
  if (EsTipoTexto(t)) return TextoACadena(campo, texto);
  if (EsTipoEntero(t)) return TextoAEntero(campo, texto);
  if (EsTipoDecimal(t)) return TextoADecimal(campo, texto);
  if (EsTipoNumerico(t)) return TextoADoble(campo, texto);
  if (t == adBoolean) return TextoABooleano(campo, texto);
  if (EsTipoFecha(t)) return TextoAFecha(campo, texto);
  if (EsTipoBinario(t)) return BytesEnTamano(campo, Bytes(texto.begin(), texto.end()));
  return TextoACadena(campo, texto);
}

Valor ConvierteValor(const InfoCampo& campo, const Valor& valor) {
  int t = campo.tipo;
  if (EsNulo(valor)) return valor;
  if (const auto* s = std::get_if<std::string>(&valor)) return ConvierteTexto(campo, *s);
  if (const auto* d = std::get_if<Decimal>(&valor)) return ConvierteTexto(campo, d->texto);
  if (const auto* b = std::get_if<Bytes>(&valor)) {
    if (EsTipoBinario(t)) return BytesEnTamano(campo, *b);
    if (EsTipoTexto(t)) return TextoACadena(campo, std::string(b->begin(), b->end()));
    NoCoinciden(campo, "(binario)");
  }
  if (const auto* f = std::get_if<FechaHora>(&valor)) {
    if (EsTipoFecha(t)) return *f;
    if (EsTipoTexto(t)) return TextoACadena(campo, ValorComoTexto(valor));
    NoCoinciden(campo, ValorComoTexto(valor));
  }
  if (const auto* b = std::get_if<bool>(&valor)) {
    if (t == adBoolean) return *b;
    // the original runtime's True is -1
    if (EsTipoNumerico(t))
      return EsTipoEntero(t) ? EnteroEnRango(campo, *b ? -1 : 0, ValorComoTexto(valor))
                             : Valor(*b ? -1.0 : 0.0);
    if (EsTipoTexto(t)) return TextoACadena(campo, ValorComoTexto(valor));
    NoCoinciden(campo, ValorComoTexto(valor));
  }
  // a number
  std::string comoTexto = ValorComoTexto(valor);
  if (t == adBoolean) {
    if (const auto* n = std::get_if<std::int64_t>(&valor)) return *n != 0;
    return std::get<double>(valor) != 0.0;
  }
  if (EsTipoEntero(t)) {
    if (const auto* n = std::get_if<std::int64_t>(&valor))
      return EnteroEnRango(campo, *n, comoTexto);
    double d = std::get<double>(valor);
    if (d != std::floor(d)) NoCoinciden(campo, comoTexto);
    if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) Desborda(campo, comoTexto);
    return EnteroEnRango(campo, static_cast<std::int64_t>(d), comoTexto);
  }
  if (EsTipoNumerico(t)) {
    if (const auto* n = std::get_if<std::int64_t>(&valor))
      return DobleEnRango(campo, static_cast<double>(*n), comoTexto);
    return DobleEnRango(campo, std::get<double>(valor), comoTexto);
  }
  if (EsTipoTexto(t)) return TextoACadena(campo, comoTexto);
  NoCoinciden(campo, comoTexto);
}

}  // namespace varlo::db
