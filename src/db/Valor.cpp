#include "db/Valor.h"

#include <cstdio>

namespace varlo::db {

namespace {
// As the original runtime printed a double: 15 significant digits, no
// trailing zeros, "E+20" / "E-07" for exponents.
std::string TextoDoble(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  std::string s(buf);
  for (char& c : s)
    if (c == 'e') c = 'E';
  return s;
}

bool EsSoloHora(const FechaHora& f) {
  return f.anio == 1899 && f.mes == 12 && f.dia == 30;
}

std::string DosDigitos(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}
}  // namespace

std::string ValorComoTexto(const Valor& v) {
  struct Visitante {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(std::int64_t n) const { return std::to_string(n); }
    std::string operator()(double d) const { return TextoDoble(d); }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(const FechaHora& f) const {
      if (!f.TieneHora()) return FormatoISO(f);
      if (EsSoloHora(f))
        return DosDigitos(f.hora) + ":" + DosDigitos(f.minuto) + ":" + DosDigitos(f.segundo);
      return FormatoISOHora(f);
    }
    std::string operator()(const Bytes& b) const { return std::string(b.begin(), b.end()); }
    std::string operator()(const Decimal& d) const { return d.texto; }
  };
  return std::visit(Visitante{}, v);
}

}  // namespace varlo::db
