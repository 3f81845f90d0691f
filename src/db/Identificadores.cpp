#include "db/Identificadores.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "db/ErroresBD.h"

namespace varlo::db {

namespace {

bool EsLetraAscii(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool EsDigito(char c) {
  return c >= '0' && c <= '9';
}

// The Latin letter (U+00AA..U+024F, signs and symbols left out) that
// starts at `i`, and its length in bytes; 0 when there is none.
std::size_t LargoLetraLatina(std::string_view s, std::size_t i) {
  if (i + 1 >= s.size()) return 0;
  const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]);
  if (b0 < 0xC2 || b0 > 0xC9 || (b1 & 0xC0) != 0x80) return 0;
  const unsigned c = ((b0 & 0x1Fu) << 6) | (b1 & 0x3Fu);
  const bool letra = c == 0xAA || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c <= 0x24F);
  return letra ? 2 : 0;
}

bool EsNombrePlano(std::string_view s) {
  if (s.empty() || EsDigito(s[0]) || s[0] == '$') return false;
  for (std::size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (EsLetraAscii(c) || EsDigito(c) || c == '_' || c == '$' || c == '#') {
      ++i;
    } else if (std::size_t n = LargoLetraLatina(s, i)) {
      i += n;
    } else {
      return false;
    }
  }
  return true;
}

bool EsNombreEntreCorchetes(std::string_view s) {
  if (s.size() < 3 || s.front() != '[' || s.back() != ']') return false;
  std::string_view dentro = s.substr(1, s.size() - 2);
  return std::none_of(dentro.begin(), dentro.end(), [](char c) {
    return c == ']' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

}  // namespace

bool EsIdentificadorValido(std::string_view comoEscrito) {
  return EsNombrePlano(comoEscrito) || EsNombreEntreCorchetes(comoEscrito);
}

void ExigeIdentificador(std::string_view comoEscrito) {
  if (!EsIdentificadorValido(comoEscrito))
    throw ErrorVarlo(errores::ArgumentoNoValido, kFuenteBD,
                     "Nombre no válido: " + std::string(comoEscrito));
}

std::vector<std::string> PartesNombre(std::string_view comoEscrito) {
  if (EsIdentificadorValido(comoEscrito))
    return {EsNombreEntreCorchetes(comoEscrito)
                ? std::string(comoEscrito.substr(1, comoEscrito.size() - 2))
                : std::string(comoEscrito)};
  std::vector<std::string> partes;
  std::size_t inicio = 0;
  bool entreCorchetes = false;
  for (std::size_t i = 0; i <= comoEscrito.size(); ++i) {
    if (i < comoEscrito.size()) {
      const char c = comoEscrito[i];
      if (c == '[' && i == inicio) entreCorchetes = true;
      if (c == ']') entreCorchetes = false;
      if (c != '.' || entreCorchetes) continue;
    }
    const std::string_view parte = comoEscrito.substr(inicio, i - inicio);
    if (!EsIdentificadorValido(parte) || partes.size() == 2)
      throw ErrorVarlo(errores::ArgumentoNoValido, kFuenteBD,
                       "Nombre no válido: " + std::string(comoEscrito));
    partes.emplace_back(EsNombreEntreCorchetes(parte) ? parte.substr(1, parte.size() - 2) : parte);
    inicio = i + 1;
  }
  return partes;
}

std::string NombreDeArchivos(const std::string& tabla) {
  if (EsIdentificadorValido(tabla)) return tabla;
  try {
    const std::vector<std::string> partes = PartesNombre(tabla);
    return partes.size() == 2 ? partes[1] + "." + partes[0] : partes[0];
  } catch (const ErrorVarlo&) {
    return tabla;
  }
}

bool EsNombreSimple(std::string_view nombre) {
  if (nombre.empty() || EsDigito(nombre[0])) return false;
  return std::all_of(nombre.begin(), nombre.end(),
                     [](char c) { return EsLetraAscii(c) || EsDigito(c) || c == '_'; });
}

std::string ComoEscrito(const std::string& nombre) {
  if (EsNombrePlano(nombre)) return nombre;
  return "[" + nombre + "]";
}

}  // namespace varlo::db
