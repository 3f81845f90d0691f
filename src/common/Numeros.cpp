#include "common/Numeros.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/ErrorVarlo.h"

namespace varlo {

namespace {
bool EsBlanco(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool EsDigito(char c) {
  return c >= '0' && c <= '9';
}

// Collects the leading number of `texto` into plain "[-]d.dE[-]d" form and
// reports where the scan stopped and whether any digit was seen.
struct Lectura {
  std::string limpio;
  std::size_t fin = 0;
  bool hayDigitos = false;
};

Lectura Explora(std::string_view texto) {
  Lectura r;
  std::size_t i = 0;
  auto saltaBlancos = [&] {
    while (i < texto.size() && EsBlanco(texto[i])) ++i;
  };
  saltaBlancos();
  if (i < texto.size() && (texto[i] == '+' || texto[i] == '-')) {
    if (texto[i] == '-') r.limpio += '-';
    ++i;
    saltaBlancos();
  }
  while (i < texto.size()) {
    if (EsDigito(texto[i])) {
      r.limpio += texto[i++];
      r.hayDigitos = true;
    } else if (EsBlanco(texto[i])) {
      ++i;
    } else {
      break;
    }
  }
  if (i < texto.size() && texto[i] == '.') {
    r.limpio += '.';
    ++i;
    while (i < texto.size()) {
      if (EsDigito(texto[i])) {
        r.limpio += texto[i++];
        r.hayDigitos = true;
      } else if (EsBlanco(texto[i])) {
        ++i;
      } else {
        break;
      }
    }
  }
  r.fin = i;
  if (r.hayDigitos && i < texto.size() &&
      (texto[i] == 'e' || texto[i] == 'E' || texto[i] == 'd' || texto[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exponente = "e";
    while (j < texto.size() && EsBlanco(texto[j])) ++j;
    if (j < texto.size() && (texto[j] == '+' || texto[j] == '-')) exponente += texto[j++];
    bool digitosExp = false;
    while (j < texto.size() && (EsDigito(texto[j]) || EsBlanco(texto[j]))) {
      if (EsDigito(texto[j])) {
        exponente += texto[j];
        digitosExp = true;
      }
      ++j;
    }
    if (digitosExp) {
      r.limpio += exponente;
      r.fin = j;
    }
  }
  return r;
}

// Up to 15 digits and no exponent: the digits as a whole number are exact in
// a double, and so is a power of ten up to 10^22, so one division gives the
// correctly rounded value strtod would give, without its cost per value.
std::optional<double> ConvierteCorto(const std::string& limpio) {
  static constexpr double kPotencias[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::size_t i = 0;
  const bool negativo = !limpio.empty() && limpio[0] == '-';
  if (negativo) ++i;
  std::int64_t cifras = 0;
  int cuantas = 0, decimales = 0;
  bool fraccion = false;
  for (; i < limpio.size(); ++i) {
    const char c = limpio[i];
    if (c == '.' && !fraccion) {
      fraccion = true;
      continue;
    }
    if (!EsDigito(c) || ++cuantas > 15) return std::nullopt;
    cifras = cifras * 10 + (c - '0');
    if (fraccion) ++decimales;
  }
  if (decimales > 22) return std::nullopt;
  const double valor = static_cast<double>(cifras) / kPotencias[decimales];
  return negativo ? -valor : valor;
}

double Convierte(const std::string& limpio) {
  if (limpio.empty() || limpio == "-" || limpio == "." || limpio == "-.") return 0.0;
  if (auto corto = ConvierteCorto(limpio)) return *corto;
  return std::strtod(limpio.c_str(), nullptr);
}
}  // namespace

double LeeNumero(std::string_view texto) {
  Lectura r = Explora(texto);
  if (!r.hayDigitos) return 0.0;
  return Convierte(r.limpio);
}

std::optional<double> NumeroEstricto(std::string_view texto) {
  Lectura r = Explora(texto);
  if (!r.hayDigitos) return std::nullopt;
  std::size_t i = r.fin;
  while (i < texto.size() && EsBlanco(texto[i])) ++i;
  if (i != texto.size()) return std::nullopt;
  return Convierte(r.limpio);
}

std::string RedondeaDecimal(std::string_view texto) {
  const std::size_t i = texto.find_first_not_of(' ');
  if (i == std::string_view::npos) return std::string();
  const std::string_view t = texto.substr(i, texto.find_last_not_of(' ') - i + 1);
  const std::size_t punto = t.find('.');
  if (punto == std::string_view::npos) return std::string(t);
  const std::size_t cifras = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
  const std::string_view entero = t.substr(cifras, punto - cifras), fraccion = t.substr(punto + 1);
  auto soloDigitos = [](std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!soloDigitos(entero) || !soloDigitos(fraccion) || (entero.empty() && fraccion.empty()))
    return std::string(t);
  std::string r(t.substr(0, cifras));
  r.append(entero.empty() ? std::string_view("0") : entero);
  // the fraction against one half: below, exactly or above
  bool sube = false;
  if (!fraccion.empty() && fraccion[0] >= '5') {
    const bool mitadExacta =
        fraccion[0] == '5' && fraccion.find_first_not_of('0', 1) == std::string_view::npos;
    sube = !mitadExacta || (r.back() - '0') % 2 == 1;
  }
  if (sube) {
    std::size_t k = r.size();
    while (k > cifras && r[k - 1] == '9') r[--k] = '0';
    if (k == cifras)
      r.insert(cifras, 1, '1');  // every digit carried
    else
      ++r[k - 1];
  }
  return r;
}

double RedondeaPar(double valor) {
  if (!std::isfinite(valor)) return valor;
  return std::nearbyint(valor);  // the default rounding mode is to nearest, ties to even
}

std::int16_t AEntero16(double valor) {
  double r = RedondeaPar(valor);
  if (!(r >= std::numeric_limits<std::int16_t>::min() &&
        r <= std::numeric_limits<std::int16_t>::max()))
    LanzaError(errores::Desbordamiento);
  return static_cast<std::int16_t>(r);
}

std::int32_t AEntero32(double valor) {
  double r = RedondeaPar(valor);
  if (!(r >= std::numeric_limits<std::int32_t>::min() &&
        r <= std::numeric_limits<std::int32_t>::max()))
    LanzaError(errores::Desbordamiento);
  return static_cast<std::int32_t>(r);
}

std::int16_t TruncaEntero16(double valor) {
  double r = std::floor(valor);
  if (!(r >= std::numeric_limits<std::int16_t>::min() &&
        r <= std::numeric_limits<std::int16_t>::max()))
    LanzaError(errores::Desbordamiento);
  return static_cast<std::int16_t>(r);
}

std::int16_t Suma16(std::int16_t a, std::int32_t b) {
  std::int64_t s = static_cast<std::int64_t>(a) + b;
  if (s < std::numeric_limits<std::int16_t>::min() || s > std::numeric_limits<std::int16_t>::max())
    LanzaError(errores::Desbordamiento);
  return static_cast<std::int16_t>(s);
}

}  // namespace varlo
