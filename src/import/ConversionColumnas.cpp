#include "import/ConversionColumnas.h"

#include <algorithm>

#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "common/Texto.h"
#include "db/ConversionValores.h"
#include "db/TiposAdo.h"
#include "import/ConsultaBusqueda.h"
#include "import/PlanColumnas.h"

namespace varlo {

namespace {
// The runtime's conversion of a text to a 16-bit integer.
std::int16_t EnteroDeTexto(std::string_view texto) {
  auto n = NumeroEstricto(texto);
  if (!n) LanzaError(errores::TiposNoCoinciden);
  return AEntero16(*n);
}
}  // namespace

bool ValorBooleano(std::string_view valor) {
  // digits alone (the usual 0/1): a number that is 0 only when every digit is
  if (!valor.empty() && std::all_of(valor.begin(), valor.end(), EsCifra))
    return valor.find_first_not_of('0') != std::string_view::npos;
  if (auto n = NumeroEstricto(valor)) return *n != 0;
  char primera = valor.empty() ? '\0' : valor.front();
  return !(primera == 'F' || primera == 'f' || primera == 'N' || primera == 'n');
}

namespace {
std::string_view ParteExigida(const std::optional<std::string_view>& parte) {
  if (!parte) LanzaError(errores::ArgumentoNoValido);
  return *parte;
}

// One to four ASCII digits: the number they write, read as the general rules
// below would read it; nothing otherwise.
std::optional<int> Cifras(std::string_view s) {
  if (s.empty() || s.size() > 4) return std::nullopt;
  int n = 0;
  for (char c : s) {
    if (!EsCifra(c)) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<FechaHora> FechaDePartes(const VistaFecha& p) {
  const std::string_view mes = ParteExigida(p.mes);
  const std::string_view dia = ParteExigida(p.dia);
  // the usual date, digits only: no general number reading
  if (p.anio) {
    const auto a = Cifras(*p.anio), m = Cifras(mes), d = Cifras(dia);
    if (a && m && d) {
      if (!(*m > 0 && *d > 0)) return std::nullopt;
      return ComponeFechaExacta(*a, *m, *d);
    }
  }
  if (!(LeeNumero(mes) > 0 && LeeNumero(dia) > 0)) return std::nullopt;
  const std::string_view anio = ParteExigida(p.anio);
  return ComponeFechaExacta(EnteroDeTexto(anio), EnteroDeTexto(mes), EnteroDeTexto(dia));
}
}  // namespace

std::optional<FechaHora> FechaDeMascara(const std::string& valor, const MascaraFecha& m) {
  return FechaDePartes(CortaFechaVista(valor, m));
}

std::optional<FechaHora> FechaYHoraDeMascara(const std::string& valor, const MascaraFecha& m) {
  const VistaFecha p = CortaFechaVista(valor, m);
  std::optional<FechaHora> f = FechaDePartes(p);
  if (!f || m.Texto.empty()) return f;
  std::string_view resto = p.resto;
  if ((resto.size() > 1 && (resto[0] == 'T' || resto[0] == 't')) && EsCifra(resto[1]))
    resto.remove_prefix(1);
  if (resto.empty() || !EsCifra(resto[0])) return f;
  if (!LeeHoraDelDia(resto, *f)) LanzaError(errores::TiposNoCoinciden);
  return f;
}

ConversionColumnas::ConversionColumnas(const DefinicionTabla& d)
    : d_(d), esLlave_(d.Campos.size(), false), campos_(d.Campos.size(), nullptr) {
  for (std::int16_t p : d.PosicionIndice)
    if (p > 0 && static_cast<std::size_t>(p) <= esLlave_.size())
      esLlave_[static_cast<std::size_t>(p - 1)] = true;
  for (std::size_t c = 0; c < d.Campos.size(); ++c) {
    const std::string& nombre = d.Campos[c];
    if (EstaEnBlanco(nombre) || ColumnaSoloLectura(d.Tabla, nombre)) continue;
    for (const db::InfoCampo& campo : d.CamposTabla)
      if (IgualSinCaso(campo.nombre, nombre)) {
        campos_[c] = &campo;
        break;
      }
  }
}

ValorConvertido ConversionColumnas::Convierte(std::size_t c, const std::string& bruto, int tipo,
                                              const db::InfoCampo& campo) const {
  using Estado = ValorConvertido::Estado;
  ValorConvertido r;
  r.estado = Estado::Listo;
  const std::string_view v = RecortaVista(bruto);
  if (!d_.TextoNulo.empty() && v == d_.TextoNulo) {
    // Asked for in so many words: NULL, whatever the column's type; a key never.
    if (esLlave_[c]) LanzaError(errores::ArgumentoNoValido, ValorNuloEnLlave(d_.Campos[c]));
    r.valor = db::ConvierteValor(campo, db::Valor{});
  } else if (v.empty()) {
    // An empty value never clears a column; a picture column takes its file.
    r.estado = tipo == db::adLongVarBinary ? Estado::Foto : Estado::NoSeAsigna;
  } else if (db::EsTipoFecha(tipo)) {
    // A date key is written as its lookup read it, time of day included:
    // otherwise the next run would not find the row.
    if (esLlave_[c])
      r.valor = db::ConvierteValor(campo, FechaDeLlave(std::string(v), d_.Mascara));
    else if (auto f = FechaYHoraDeMascara(bruto, d_.Mascara))
      r.valor = db::ConvierteValor(campo, *f);
    else
      r.estado = Estado::NoSeAsigna;
  } else if (tipo == db::adBoolean) {
    r.valor = db::ConvierteValor(campo, ValorBooleano(v));
  } else {
    r.valor = db::ConvierteTexto(campo, v.size() == bruto.size() ? bruto : std::string(v));
  }
  return r;
}

void ConversionColumnas::ConvierteRegistro(const std::vector<std::string>& valores,
                                           std::vector<ValorConvertido>& convertidos) const {
  convertidos.clear();
  convertidos.reserve(campos_.size());
  for (std::size_t c = 0; c < campos_.size(); ++c) {
    if (!campos_[c] || c >= valores.size()) {
      convertidos.emplace_back();
      continue;
    }
    try {
      convertidos.push_back(Convierte(c, valores[c], campos_[c]->tipo, *campos_[c]));
    } catch (const ErrorVarlo&) {
      convertidos.emplace_back().estado = ValorConvertido::Estado::Fallido;
      convertidos.back().error = std::current_exception();
    } catch (...) {
      // anything else (memory) the writer meets again in its own place
      convertidos.resize(c + 1);
    }
  }
}

bool ConversionColumnas::Vale(std::size_t c, const ValorConvertido& v, int tipo,
                              const db::InfoCampo& campo) const {
  if (v.estado == ValorConvertido::Estado::SinConvertir || c >= campos_.size() || !campos_[c])
    return false;
  const db::InfoCampo& sonda = *campos_[c];
  // a refusal names its column
  return sonda.tipo == tipo && sonda.tipo == campo.tipo &&
         sonda.tamanoDefinido == campo.tamanoDefinido &&
         (v.estado != ValorConvertido::Estado::Fallido || sonda.nombre == campo.nombre);
}

}  // namespace varlo
