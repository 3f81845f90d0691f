#include "db/pq/TiposPq.h"

#include <cctype>
#include <charconv>
#include <cstdint>

#include "common/Fechas.h"
#include "db/ErrorBaseDatos.h"
#include "db/EstadosSql.h"
#include "db/TiposAdo.h"

namespace varlo::db::pq {

namespace {
// The type OIDs of the catalog (pg_type.h): fixed for every server.
enum Oid : unsigned int {
  kBool = 16,
  kBytea = 17,
  kChar = 18,
  kName = 19,
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kText = 25,
  kOid = 26,
  kFloat4 = 700,
  kFloat8 = 701,
  kBpchar = 1042,
  kVarchar = 1043,
  kDate = 1082,
  kTime = 1083,
  kTimestamp = 1114,
  kTimestamptz = 1184,
  kNumeric = 1700,
  kUuid = 2950,
};

constexpr long kTamanoLargo = 2147483647;
// What psqlODBC declares for a text of no declared length (its MaxVarcharSize).
constexpr long kTamanoSinTope = 255;
// Beyond this a variable column is a long one, as the original provider saw it.
constexpr long kMaxCorto = 8000;

// Declared length of a character column (the modifier carries 4 more).
long Largo(int modificador) {
  return modificador >= 4 ? modificador - 4 : 0;
}

int Digito(char c) {
  return c >= '0' && c <= '9' ? c - '0' : -1;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS[.ffff][+zz]" or "HH:MM:SS[.ffff]",
// fields read as far as they go.
bool LeeCampos(const char* t, int largo, int* campos, int cuantos) {
  int i = 0;
  for (int c = 0; c < cuantos; ++c) {
    if (c > 0) {
      if (i >= largo) return c == 3;  // a date alone
      ++i;                            // '-', ' ', ':'
    }
    int n = 0, cifras = 0;
    while (i < largo && Digito(t[i]) >= 0) n = n * 10 + Digito(t[i++]), ++cifras;
    if (cifras == 0) return false;
    campos[c] = n;
  }
  return true;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

InfoCampo InfoDeColumna(const char* nombre, unsigned int oid, int modificador) {
  InfoCampo info;
  info.nombre = nombre ? nombre : "";
  long tamano = 0;
  switch (oid) {
    case kBool:
      info.tipo = adBoolean, tamano = 2;
      break;
    case kBytea:
      info.tipo = adLongVarBinary, tamano = kTamanoLargo;
      break;
    case kChar:
      info.tipo = adChar, tamano = 1;
      break;
    case kInt2:
      info.tipo = adSmallInt, tamano = 2;
      break;
    case kInt4:
    case kOid:
      info.tipo = adInteger, tamano = 4;
      break;
    case kInt8:
      info.tipo = adBigInt, tamano = 8;
      break;
    case kFloat4:
      info.tipo = adSingle, tamano = 4;
      break;
    case kFloat8:
      info.tipo = adDouble, tamano = 8;
      break;
    case kNumeric:
      info.tipo = adNumeric, tamano = 19;
      break;
    case kDate:
      info.tipo = adDBDate, tamano = 6;
      break;
    case kTime:
      info.tipo = adDBTime, tamano = 6;
      break;
    case kTimestamp:
    case kTimestamptz:
      info.tipo = adDBTimeStamp, tamano = 16;
      break;
    case kUuid:
      info.tipo = adGUID, tamano = 16;
      break;
    case kBpchar:
      info.tipo = adChar, tamano = Largo(modificador);
      break;
    case kVarchar:
      tamano = Largo(modificador);
      if (tamano == 0)
        info.tipo = adVarChar, tamano = kTamanoSinTope;
      else if (tamano > kMaxCorto)
        info.tipo = adLongVarChar, tamano = kTamanoLargo;
      else
        info.tipo = adVarChar;
      break;
    case kName:
      info.tipo = adVarChar, tamano = 63;
      break;
    case kText:
      info.tipo = adLongVarChar, tamano = kTamanoLargo;
      break;
    default:
      // anything else is read as text of no declared length
      info.tipo = adVarChar, tamano = kTamanoSinTope;
      break;
  }
  info.tamanoDefinido = tamano;
  return info;
}

Valor LeeValor(const char* t, int largo, int tipoAdo) {
  if (EsTipoEntero(tipoAdo)) {
    std::int64_t n = 0;
    std::from_chars(t, t + largo, n);
    return n;
  }
  if (tipoAdo == adBoolean) return largo > 0 && (t[0] == 't' || t[0] == 'T' || t[0] == '1');
  if (tipoAdo == adSingle || tipoAdo == adDouble || tipoAdo == adNumeric) {
    double d = 0;
    std::from_chars(t, t + largo, d);
    return d;
  }
  if (tipoAdo == adDBDate || tipoAdo == adDBTimeStamp) {
    int c[6] = {1899, 12, 30, 0, 0, 0};
    if (LeeCampos(t, largo, c, tipoAdo == adDBDate ? 3 : 6))
      return FechaHora{c[0], c[1], c[2], c[3], c[4], c[5]};
    return std::string(t, static_cast<std::size_t>(largo));  // infinity, a date before Christ
  }
  if (tipoAdo == adDBTime) {
    // A time alone sits on the runtime's day zero, as the original runtime kept it.
    int c[3] = {0, 0, 0};
    if (LeeCampos(t, largo, c, 3)) return FechaHora{1899, 12, 30, c[0], c[1], c[2]};
    return std::string(t, static_cast<std::size_t>(largo));
  }
  if (tipoAdo == adGUID) {
    // in capitals, as ODBC writes a GUID
    std::string u(t, static_cast<std::size_t>(largo));
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  }
  if (EsTipoBinario(tipoAdo)) {
    Bytes b;
    if (largo >= 2 && t[0] == '\\' && t[1] == 'x') {
      b.reserve(static_cast<std::size_t>(largo - 2) / 2);
      for (int i = 2; i + 1 < largo; i += 2)
        b.push_back(static_cast<unsigned char>(Hex(t[i]) * 16 + Hex(t[i + 1])));
    }
    return b;
  }
  return std::string(t, static_cast<std::size_t>(largo));
}

std::optional<unsigned int> OidDeArreglo(unsigned int oid) {
  switch (oid) {
    case 0:
      return 0u;
    case kBool:
      return 1000u;
    case kInt8:
      return 1016u;
    case kFloat8:
      return 1022u;
    case kTimestamp:
      return 1115u;
    case kNumeric:
      return 1231u;
    default:
      return std::nullopt;
  }
}

unsigned int AnadeTextoSimple(std::string& destino, const Valor& v) {
  char b[kMaximoISOHora];
  if (const auto* n = std::get_if<std::int64_t>(&v)) {
    destino.append(b, std::to_chars(b, b + sizeof b, *n).ptr);
    return kInt8;
  }
  if (const auto* d = std::get_if<Decimal>(&v)) {
    destino += d->texto;
    return kNumeric;
  }
  if (const auto* l = std::get_if<bool>(&v)) {
    destino += *l ? 't' : 'f';
    return kBool;
  }
  if (const auto* f = std::get_if<FechaHora>(&v)) {
    // every date of a batch written in place, without a string of its own
    destino.append(b, EscribeISOHora(*f, b));
    return kTimestamp;
  }
  if (const auto* r = std::get_if<double>(&v)) {
    destino.append(b, std::to_chars(b, b + sizeof b, *r).ptr);
    return kFloat8;
  }
  return 0;
}

Parametro ParametroDe(const Valor& v) {
  Parametro p;
  if (EsNulo(v)) {
    p.nulo = true;
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    // libpq ends a text value at its first NUL: it would be stored cut short
    if (s->find('\0') != std::string::npos)
      throw ErrorBaseDatos(NumeroDeEstado("22021"), "PostgreSQL",
                           "El texto contiene un carácter nulo (NUL), que PostgreSQL no admite",
                           ErrorBaseDatos::Clase::Otro);
    p.datos = *s;  // untyped: the server reads it as the place it goes to asks
  } else if (const unsigned int oid = AnadeTextoSimple(p.datos, v)) {
    p.oid = oid;
  } else if (const auto* bytes = std::get_if<Bytes>(&v)) {
    p.oid = kBytea, p.binario = true;
    p.datos.assign(bytes->begin(), bytes->end());
  }
  return p;
}

}  // namespace varlo::db::pq
