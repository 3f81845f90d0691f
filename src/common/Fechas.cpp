#include "common/Fechas.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "common/ErrorVarlo.h"

namespace varlo {

namespace {
// Howard Hinnant's civil-date algorithms, on the proleptic Gregorian calendar.
std::int64_t DiasDeCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilDeDias(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

bool LocaleEsC() {
  const char* nombre = std::setlocale(LC_TIME, nullptr);
  return nombre == nullptr || std::strcmp(nombre, "C") == 0 || std::strcmp(nombre, "POSIX") == 0 ||
         std::strncmp(nombre, "C.", 2) == 0;  // C.UTF-8 and the like
}

}  // namespace

std::tm ATm(const FechaHora& f) {
  std::tm t{};
  t.tm_year = f.anio - 1900;
  t.tm_mon = f.mes - 1;
  t.tm_mday = f.dia;
  t.tm_hour = f.hora;
  t.tm_min = f.minuto;
  t.tm_sec = f.segundo;
  std::int64_t dias = DiasDesdeEpoca(f);
  t.tm_wday = static_cast<int>(((dias % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  return t;
}

FechaHora ComponeFechaExacta(int anio, int mes, int dia) {
  const int y = anio >= 0 && anio <= 29    ? anio + 2000
                : anio >= 30 && anio <= 99 ? anio + 1900
                                           : anio;
  // the month's own length: no round trip through a day count
  static constexpr int kDias[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool bisiesto = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
  const bool existe = y >= 100 && y <= 9999 && mes >= 1 && mes <= 12 && dia >= 1 &&
                      dia <= kDias[mes - 1] + (mes == 2 && bisiesto ? 1 : 0);
  if (!existe) throw ErrorVarlo(errores::ArgumentoNoValido, kFuentePrograma, "Fecha inexistente");
  FechaHora f;
  f.anio = y;
  f.mes = mes;
  f.dia = dia;
  f.hora = f.minuto = f.segundo = 0;
  return f;
}

std::int64_t DiasDesdeEpoca(const FechaHora& f) {
  return DiasDeCivil(f.anio, static_cast<unsigned>(f.mes), static_cast<unsigned>(f.dia));
}

FechaHora FechaDeDias(std::int64_t dias) {
  FechaHora f;
  CivilDeDias(dias, f.anio, f.mes, f.dia);
  f.hora = f.minuto = f.segundo = 0;
  return f;
}

FechaHora DiaSiguiente(const FechaHora& f) {
  return FechaDeDias(DiasDesdeEpoca(f) + 1);
}

int ComparaDias(const FechaHora& a, const FechaHora& b) {
  std::int64_t x = DiasDesdeEpoca(a), y = DiasDesdeEpoca(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

std::string FormatoISO(const FechaHora& f) {
  // the date part of the full form, the same digits
  char b[kMaximoISOHora];
  const std::string_view texto(b, EscribeISOHora(f, b));
  return std::string(texto.substr(0, texto.find(' ')));
}

std::size_t EscribeISOHora(const FechaHora& f, char (&destino)[kMaximoISOHora]) {
  // Every date of every record is written this way: digits by hand, the
  // general path only for what does not fit the fixed form.
  const auto cabe = [](int v, int maximo) { return v >= 0 && v <= maximo; };
  if (!cabe(f.anio, 9999) || !cabe(f.mes, 99) || !cabe(f.dia, 99) || !cabe(f.hora, 99) ||
      !cabe(f.minuto, 99) || !cabe(f.segundo, 99)) {
    const int n = std::snprintf(destino, sizeof destino, "%04d-%02d-%02d %02d:%02d:%02d", f.anio,
                                f.mes, f.dia, f.hora, f.minuto, f.segundo);
    return static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof destino) - 1));
  }
  char* p = destino;
  const auto dos = [&p](int v, char tras) {
    *p++ = static_cast<char>('0' + v / 10);
    *p++ = static_cast<char>('0' + v % 10);
    if (tras) *p++ = tras;
  };
  dos(f.anio / 100, 0), dos(f.anio % 100, '-'), dos(f.mes, '-'), dos(f.dia, ' ');
  dos(f.hora, ':'), dos(f.minuto, ':'), dos(f.segundo, 0);
  return kLargoISOHora;
}

std::string FormatoISOHora(const FechaHora& f) {
  char b[kMaximoISOHora];
  return std::string(b, EscribeISOHora(f, b));
}

namespace {
// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (or with a "T"), digits only: the
// numbers the general reading below would take from them.
bool LeeFormaFija(const std::string& t, int& y, int& mo, int& d, int& h, int& mi, int& s) {
  if (t.size() != 10 && t.size() != kLargoISOHora) return false;
  const bool conHora = t.size() == kLargoISOHora;
  if (t[4] != '-' || t[7] != '-' ||
      (conHora && ((t[10] != ' ' && t[10] != 'T') || t[13] != ':' || t[16] != ':')))
    return false;
  bool bien = true;
  const auto cifras = [&t, &bien](std::size_t desde, std::size_t cuantas) {
    int v = 0;
    for (std::size_t i = desde; i < desde + cuantas; ++i) {
      bien = bien && t[i] >= '0' && t[i] <= '9';
      v = v * 10 + (t[i] - '0');
    }
    return v;
  };
  const int leidos[] = {cifras(0, 4),
                        cifras(5, 2),
                        cifras(8, 2),
                        conHora ? cifras(11, 2) : 0,
                        conHora ? cifras(14, 2) : 0,
                        conHora ? cifras(17, 2) : 0};
  if (!bien) return false;
  y = leidos[0], mo = leidos[1], d = leidos[2], h = leidos[3], mi = leidos[4], s = leidos[5];
  return true;
}
}  // namespace

bool LeeFechaISO(const std::string& texto, FechaHora& r) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char sep = 0;
  int n = 0;
  FechaHora f;
  // the usual form is read by hand; sscanf costs more than the rest of a value
  const bool fija = LeeFormaFija(texto, y, mo, d, h, mi, s);
  if (fija || (std::sscanf(texto.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &n) == 3 && n == 10)) {
    if (!fija && texto.size() > 10) {
      int n2 = 0;
      if (std::sscanf(texto.c_str() + 10, "%c%2d:%2d%n", &sep, &h, &mi, &n2) != 3 ||
          (sep != ' ' && sep != 'T'))
        return false;
      std::size_t resto = 10 + static_cast<std::size_t>(n2);
      if (resto < texto.size()) {
        int n3 = 0;
        if (std::sscanf(texto.c_str() + resto, ":%2d%n", &s, &n3) != 1) return false;
        resto += static_cast<std::size_t>(n3);
        // fractions of a second, as some drivers return them, are dropped
        if (resto < texto.size() && texto[resto] == '.') {
          ++resto;
          while (resto < texto.size() && texto[resto] >= '0' && texto[resto] <= '9') ++resto;
        }
        if (resto != texto.size()) return false;
      }
    }
    if (mo < 1 || mo > 12 || d < 1 || y < 1) return false;
    FechaHora c = FechaDeDias(DiasDeCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)));
    if (c.mes != mo || c.dia != d) return false;
    f = c;
  } else if (std::sscanf(texto.c_str(), "%2d:%2d%n", &h, &mi, &n) == 2) {
    std::size_t resto = static_cast<std::size_t>(n);
    if (resto < texto.size()) {
      int n3 = 0;
      if (std::sscanf(texto.c_str() + resto, ":%2d%n", &s, &n3) != 1) return false;
      resto += static_cast<std::size_t>(n3);
      if (resto != texto.size()) return false;
    }
  } else {
    return false;
  }
  if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return false;
  f.hora = h;
  f.minuto = mi;
  f.segundo = s;
  r = f;
  return true;
}

bool LeeHoraDelDia(std::string_view texto, FechaHora& resultado) {
  std::size_t i = 0;
  auto digitos = [&](std::size_t minimo, std::size_t maximo, int& valor) {
    std::size_t n = 0;
    valor = 0;
    while (i < texto.size() && n < maximo && texto[i] >= '0' && texto[i] <= '9') {
      valor = valor * 10 + (texto[i++] - '0');
      ++n;
    }
    return n >= minimo;
  };
  int h = 0, mi = 0, s = 0;
  if (!digitos(1, 2, h) || i >= texto.size() || texto[i++] != ':' || !digitos(2, 2, mi))
    return false;
  if (i < texto.size() && texto[i] == ':' && (++i, !digitos(2, 2, s))) return false;
  std::string_view sufijo = texto.substr(i);
  if (!sufijo.empty() && sufijo.front() == ' ') sufijo.remove_prefix(1);
  auto es = [&sufijo](std::string_view a, std::string_view b) {
    if (sufijo.size() != a.size() && sufijo.size() != b.size()) return false;
    std::string minusculas;
    for (char c : sufijo) minusculas += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return minusculas == a || minusculas == b;
  };
  if (es("p.m.", "pm")) {
    if (h >= 1 && h <= 11) h += 12;
  } else if (es("a.m.", "am")) {
    if (h == 12) h = 0;
  } else if (!sufijo.empty()) {
    return false;
  }
  if (h > 23 || mi > 59 || s > 59) return false;
  resultado.hora = h;
  resultado.minuto = mi;
  resultado.segundo = s;
  return true;
}

namespace {
Reloj& RelojActual() {
  static Reloj reloj;
  return reloj;
}
}  // namespace

void EstableceReloj(Reloj reloj) {
  RelojActual() = std::move(reloj);
}

FechaHora Ahora() {
  if (const Reloj& reloj = RelojActual()) return reloj();
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  FechaHora f;
  f.anio = tm.tm_year + 1900;
  f.mes = tm.tm_mon + 1;
  f.dia = tm.tm_mday;
  f.hora = tm.tm_hour;
  f.minuto = tm.tm_min;
  f.segundo = tm.tm_sec;
  return f;
}

std::string FormatoFechaGeneral(const FechaHora& f) {
  char b[96];
  if (LocaleEsC()) {
    int n = std::snprintf(b, sizeof b, "%d/%d/%d", f.mes, f.dia, f.anio);
    if (f.TieneHora()) {
      int h12 = f.hora % 12 == 0 ? 12 : f.hora % 12;
      std::snprintf(b + n, sizeof b - static_cast<std::size_t>(n), " %d:%02d:%02d %s", h12,
                    f.minuto, f.segundo, f.hora < 12 ? "AM" : "PM");
    }
    return b;
  }
  std::tm t = ATm(f);
  std::size_t n = std::strftime(b, sizeof b, f.TieneHora() ? "%x %X" : "%x", &t);
  return std::string(b, n);
}

std::string FormatoMesAnio(const FechaHora& f) {
  std::tm t = ATm(f);
  char b[64];
  std::size_t n = std::strftime(b, sizeof b, "%b%Y", &t);
  return std::string(b, n);
}

}  // namespace varlo
