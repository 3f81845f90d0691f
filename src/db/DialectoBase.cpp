#include "db/DialectoBase.h"

#include <algorithm>
#include <cstdlib>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/ConversionValores.h"
#include "db/ErroresBD.h"

namespace varlo::db {

namespace {
[[noreturn]] void CondicionNoValida(const Predicado& p) {
  throw ErrorVarlo(errores::TiposNoCoinciden, kFuenteBD,
                   "No coinciden los tipos (columna " + p.columna + ", valor '" +
                       ValorComoTexto(p.valor) + "')");
}
}  // namespace

std::string TextoNumeroCondicion(const Predicado& p) {
  if (!std::holds_alternative<std::string>(p.valor)) {
    if (std::holds_alternative<std::int64_t>(p.valor) || std::holds_alternative<double>(p.valor))
      return ValorComoTexto(p.valor);
    CondicionNoValida(p);
  }
  const std::string& t = std::get<std::string>(p.valor);
  if (!EsNumeroDecimal(t, true, true)) CondicionNoValida(p);
  return t;
}

FechaHora FechaCondicion(const Predicado& p) {
  FechaHora f;
  if (const auto* fh = std::get_if<FechaHora>(&p.valor)) {
    f = *fh;
  } else if (const auto* s = std::get_if<std::string>(&p.valor)) {
    if (!LeeFechaISO(Recorta(*s), f)) CondicionNoValida(p);
  } else {
    CondicionNoValida(p);
  }
  if (p.clase == ClaseLiteral::Fecha) f.hora = f.minuto = f.segundo = 0;
  return f;
}

Valor ValorDeCondicion(const Predicado& p) {
  switch (p.clase) {
    case ClaseLiteral::Texto:
      return ValorComoTexto(p.valor);
    case ClaseLiteral::Numero: {
      std::string t = Recorta(TextoNumeroCondicion(p));
      if (EsNumeroDecimal(t, false, false)) {
        char* fin = nullptr;
        errno = 0;
        long long n = std::strtoll(t.c_str(), &fin, 10);
        if (errno == 0) return static_cast<std::int64_t>(n);
      }
      return std::strtod(t.c_str(), nullptr);
    }
    case ClaseLiteral::Fecha:
    case ClaseLiteral::FechaHora:
      return FechaCondicion(p);
  }
  return {};
}

std::string DialectoBase::ListaColumnas(const Consulta& c) const {
  if (c.columnas.empty()) return "*";
  if (c.columnas != columnasLista_) {
    std::string r;
    for (std::size_t i = 0; i < c.columnas.size(); ++i) {
      if (i) r += ", ";
      r += Identificador(c.columnas[i]);
    }
    textoLista_ = std::move(r);
    columnasLista_ = c.columnas;
  }
  return textoLista_;
}

SentenciaSql DialectoBase::Insert(const std::string& tabla,
                                  const std::vector<std::pair<std::string, Valor>>& valores) const {
  SentenciaSql s;
  if (valores.empty()) {
    s.texto = "insert into " + Identificador(tabla) + " default values";
    return s;
  }
  s.parametros.reserve(valores.size());
  for (const auto& v : valores) s.parametros.push_back(v.second);
  const bool mismo =
      tabla == tablaInsert_ &&
      std::equal(valores.begin(), valores.end(), columnasInsert_.begin(), columnasInsert_.end(),
                 [](const auto& v, const std::string& c) { return v.first == c; });
  if (!mismo) {
    std::string columnas, marcas;
    for (std::size_t i = 0; i < valores.size(); ++i) {
      if (i) {
        columnas += ", ";
        marcas += ", ";
      }
      columnas += Identificador(valores[i].first);
      marcas += "?";
    }
    textoInsert_ =
        "insert into " + Identificador(tabla) + " (" + columnas + ") values (" + marcas + ")";
    tablaInsert_ = tabla;
    columnasInsert_.clear();
    for (const auto& v : valores) columnasInsert_.push_back(v.first);
  }
  s.texto = textoInsert_;
  return s;
}

SentenciaSql DialectoBase::InsertVarias(const std::string& tabla,
                                        const std::vector<std::string>& columnas,
                                        std::vector<std::vector<Valor>> filas,
                                        const TiposTabla* /*tipos*/) const {
  SentenciaSql s;
  s.texto = "insert into " + Identificador(tabla) + " (";
  for (std::size_t i = 0; i < columnas.size(); ++i)
    s.texto += (i ? ", " : "") + Identificador(columnas[i]);
  s.texto += ") values ";
  std::string marcas = "(";
  for (std::size_t i = 0; i < columnas.size(); ++i) marcas += i ? ", ?" : "?";
  marcas += ")";
  s.texto.reserve(s.texto.size() + filas.size() * (marcas.size() + 2));
  s.parametros.reserve(filas.size() * columnas.size());
  for (std::size_t f = 0; f < filas.size(); ++f) {
    if (f) s.texto += ", ";
    s.texto += marcas;
    s.parametros.insert(s.parametros.end(), std::make_move_iterator(filas[f].begin()),
                        std::make_move_iterator(filas[f].end()));
  }
  return s;
}

SentenciaSql DialectoBase::Asignaciones(
    const std::string& tabla, const std::vector<std::pair<std::string, Valor>>& valores) const {
  SentenciaSql s;
  s.texto = "update " + Identificador(tabla) + " set ";
  for (std::size_t i = 0; i < valores.size(); ++i) {
    if (i) s.texto += ", ";
    s.texto += Identificador(valores[i].first) + " = ?";
    s.parametros.push_back(valores[i].second);
  }
  return s;
}

SentenciaSql DialectoBase::Condiciones(const std::vector<Predicado>& condiciones) const {
  SentenciaSql s;
  for (std::size_t i = 0; i < condiciones.size(); ++i) {
    if (i) s.texto += " and ";
    Condicion(condiciones[i], " = ", s);
  }
  return s;
}

namespace {
void Anade(SentenciaSql& s, const SentenciaSql& parte) {
  s.texto += parte.texto;
  s.parametros.insert(s.parametros.end(), parte.parametros.begin(), parte.parametros.end());
}
}  // namespace

// Without a locator the keys are all there is to find the row by: the
// change is made only when they match exactly one row.
SentenciaSql DialectoBase::Update(const std::string& tabla,
                                  const std::vector<std::pair<std::string, Valor>>& valores,
                                  const std::vector<Predicado>& condiciones) const {
  SentenciaSql s = Asignaciones(tabla, valores);
  const SentenciaSql donde = Condiciones(condiciones);
  const std::string unaSola = "(select count(*) from " + Identificador(tabla);
  if (condiciones.empty()) {
    s.texto += " where " + unaSola + ") = 1";
    return s;
  }
  s.texto += " where ";
  Anade(s, donde);
  s.texto += " and " + unaSola + " where ";
  Anade(s, donde);
  s.texto += ") = 1";
  return s;
}

SentenciaSql DialectoBase::UpdateLocalizado(
    const std::string& tabla, const std::vector<std::pair<std::string, Valor>>& valores,
    const std::vector<Predicado>& condiciones, const std::vector<Valor>& localizador) const {
  if (ColumnasLocalizador() == 0 || localizador.size() != ColumnasLocalizador())
    throw ErrorVarlo(errores_bd::OperacionNoPermitida, kFuenteBD,
                     "No se puede actualizar la fila de " + tabla + " por su localizador");
  SentenciaSql s = Asignaciones(tabla, valores);
  s.texto += " where " + CondicionLocalizador();
  s.parametros.insert(s.parametros.end(), localizador.begin(), localizador.end());
  if (!condiciones.empty()) {
    s.texto += " and ";
    Anade(s, Condiciones(condiciones));
  }
  s.texto += " returning " + ListaLocalizador();
  return s;
}

void DialectoBase::Condicion(const Predicado& p, const std::string& igual, SentenciaSql& s) const {
  s.texto += Identificador(p.columna) + igual + "?";
  s.parametros.push_back(ValorDeCondicion(p));
}

std::optional<SentenciaSql> DialectoBase::SelectPorLlaves(
    const Consulta& c, const std::vector<Valor>& llaves, const std::string& columnasExtra,
    const std::function<void(const Predicado&, SentenciaSql&)>& condicion) const {
  const std::size_t n = c.condiciones.size();
  if (n == 0 || llaves.empty() || llaves.size() % n != 0) return std::nullopt;
  SentenciaSql s;
  s.variasLlaves = true;
  s.texto = c.select + ListaColumnas(c);
  if (!columnasExtra.empty()) s.texto += ", " + columnasExtra;
  s.texto += c.from + Identificador(c.tabla) + c.where;
  std::vector<Predicado> partes = c.condiciones;
  // The keys as a balanced tree of "or": a parser may build a chain of 1000
  // keys as a tree 1000 levels deep, and refuse it (SQLite does).
  const std::function<void(std::size_t, std::size_t)> escribe = [&](std::size_t desde,
                                                                    std::size_t hasta) {
    s.texto += "(";
    if (hasta - desde == 1) {
      for (std::size_t k = 0; k < n; ++k) {
        if (k) s.texto += " and ";
        partes[k].valor = llaves[desde * n + k];
        condicion(partes[k], s);
      }
    } else {
      const std::size_t medio = desde + (hasta - desde) / 2;
      escribe(desde, medio);
      s.texto += " or ";
      escribe(medio, hasta);
    }
    s.texto += ")";
  };
  escribe(0, llaves.size() / n);
  return s;
}

std::size_t DialectoBase::FilasPorSentencia(std::size_t marcasPorFila) const {
  constexpr std::size_t kMarcas = 20000, kFilas = 500;
  return std::clamp<std::size_t>(kMarcas / std::max<std::size_t>(marcasPorFila, 1), 1, kFilas);
}

std::string DialectoBase::DeleteFrom(const std::string& tabla) const {
  return "Delete From " + Identificador(tabla);
}

}  // namespace varlo::db
