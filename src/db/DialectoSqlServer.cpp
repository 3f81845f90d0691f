// SQL Server: the texts exactly as the system writes them, key values as
// literals (apostrophes doubled, numbers checked, ODBC date escapes).
#include <algorithm>

#include "common/Texto.h"
#include "db/DialectoBase.h"
#include "db/Dialectos.h"
#include "db/Identificadores.h"
#include "db/TiposAdo.h"

namespace varlo::db {

namespace {

class DialectoSqlServer final : public DialectoBase {
 public:
  Motor Tipo() const override { return Motor::SqlServer; }

  SentenciaSql Select(const Consulta& c) const override {
    SentenciaSql s;
    s.texto = c.select;
    if (c.top >= 0) s.texto += "top " + std::to_string(c.top) + " ";
    s.texto += ListaColumnas(c) + c.from + Identificador(c.tabla);
    for (std::size_t i = 0; i < c.condiciones.size(); ++i) {
      const Predicado& p = c.condiciones[i];
      s.texto += i ? " and " : c.where;
      s.texto += Identificador(p.columna) + p.igual + Literal(p);
    }
    return s;
  }

  // No row locator: an update changes a row only when its keys match that one row.
  SentenciaSql SelectConLocalizador(const Consulta& c) const override { return Select(c); }

  // The lookups of a batch, each key a literal as in the single lookup:
  //   select A, B from T Where K in ('a', 'b''c')
  // TOP is left out: it would bound the rows of every key together.
  std::optional<SentenciaSql> SelectVarias(const Consulta& c, const std::vector<Valor>& llaves,
                                           bool /*conLocalizador*/) const override {
    if (llaves.empty()) return std::nullopt;
    const ClaseLiteral clase = c.condiciones.empty() ? ClaseLiteral::Texto : c.condiciones[0].clase;
    if (c.condiciones.size() != 1 ||
        (clase != ClaseLiteral::Texto && clase != ClaseLiteral::Numero))
      return SelectPorLlaves(c, llaves, {}, [this](const Predicado& p, SentenciaSql& s) {
        s.texto += Identificador(p.columna) + p.igual + Literal(p);
      });
    Predicado p = c.condiciones[0];
    SentenciaSql s;
    s.texto = c.select + ListaColumnas(c) + c.from + Identificador(c.tabla) + c.where +
              Identificador(p.columna) + " in (";
    for (std::size_t i = 0; i < llaves.size(); ++i) {
      p.valor = llaves[i];
      s.texto += (i ? ", " : "") + Literal(p);
    }
    s.texto += ")";
    return s;
  }

  // No locator: a held change is matched on its keys, bound like its values.
  bool ActualizaVariasAdmite(const ActualizacionDiferible& a) const override {
    return a.localizador.empty() && !a.condiciones.empty() &&
           std::none_of(a.tipos.begin(), a.tipos.end(), [](int t) { return EsTipoBinario(t); });
  }

  // The changes joined on their keys to a VALUES list; a row is changed
  // only when its keys match exactly that one row, so the count of changed
  // rows confirms every change (OUTPUT would refuse a table with triggers):
  //   update [t] set [A] = [v].[c0] from T as [t], (values (?, ?), ...) as [v] ([c0], [k0])
  //   where [t].[K] = [v].[k0]
  //   and (select count(*) from T as [u] where [u].[K] = [v].[k0]) = 1
  // The target is the alias of the FROM table: T itself would be a second,
  // unjoined reference, and every row of it would change.
  std::optional<SentenciaSql> ActualizaVarias(const std::vector<ActualizacionDiferible>& filas,
                                              const TiposTabla* /*tipos*/) const override {
    if (filas.empty() || !ActualizaVariasAdmite(filas[0])) return std::nullopt;
    const ActualizacionDiferible& a = filas[0];
    const std::string tabla = Identificador(a.tabla);
    SentenciaSql s;
    s.texto = "update [t] set ";
    std::string nombres, marcas = "(";
    for (std::size_t c = 0; c < a.valores.size(); ++c) {
      const std::string v = "[c" + std::to_string(c) + "]";
      s.texto += (c ? ", " : "") + Identificador(a.valores[c].first) + " = [v]." + v;
      nombres += (c ? ", " : "") + v;
      marcas += c ? ", ?" : "?";
    }
    std::string en, cuenta;
    for (std::size_t k = 0; k < a.condiciones.size(); ++k) {
      const std::string v = "[k" + std::to_string(k) + "]";
      const std::string columna = Identificador(a.condiciones[k].columna);
      en += " and [t]." + columna + " = [v]." + v;
      cuenta += (k ? " and [u]." : "[u].") + columna + " = [v]." + v;
      nombres += ", " + v;
      marcas += ", ?";
    }
    marcas += ")";
    s.texto += " from " + tabla + " as [t], (values ";
    s.texto.reserve(s.texto.size() + filas.size() * (marcas.size() + 2));
    for (std::size_t f = 0; f < filas.size(); ++f) {
      const ActualizacionDiferible& fila = filas[f];
      if (fila.valores.size() != a.valores.size() ||
          fila.condiciones.size() != a.condiciones.size())
        return std::nullopt;
      s.texto += f ? ", " + marcas : marcas;
      for (const auto& [nombre, valor] : fila.valores) s.parametros.push_back(valor);
      for (const Predicado& p : fila.condiciones) s.parametros.push_back(ValorDeCondicion(p));
    }
    s.texto += ") as [v] (" + nombres + ") where " + en.substr(5) + " and (select count(*) from " +
               tabla + " as [u] where " + cuenta + ") = 1";
    return s;
  }
  bool ActualizaVariasCuentaFilas() const override { return true; }

  // A statement takes at most 1000 rows of VALUES and 2100 parameters; the
  // driver's own call (sp_executesql, sp_execute) takes a few of those.
  std::size_t FilasPorSentencia(std::size_t marcasPorFila) const override {
    constexpr std::size_t kMarcas = 2000, kFilas = 1000;
    return std::clamp<std::size_t>(kMarcas / std::max<std::size_t>(marcasPorFila, 1), 1, kFilas);
  }

  // Every name in brackets, reserved word or not ("[Key]", "[rrhh].[Empleado]");
  // a valid part never holds "]".
  std::string Identificador(const std::string& comoEscrito) const override {
    std::string r;
    for (const std::string& parte : PartesNombre(comoEscrito))
      r += (r.empty() ? "[" : ".[") + parte + "]";
    return r;
  }

 private:
  static std::string Literal(const Predicado& p) {
    switch (p.clase) {
      case ClaseLiteral::Texto:
        return "'" + DuplicaApostrofos(ValorComoTexto(p.valor)) + "'";
      case ClaseLiteral::Numero:
        return TextoNumeroCondicion(p);
      case ClaseLiteral::Fecha:
        return "{d '" + FormatoISO(FechaCondicion(p)) + "'}";
      case ClaseLiteral::FechaHora:
        return "{ts '" + FormatoISOHora(FechaCondicion(p)) + "'}";
    }
    return {};
  }
};

}  // namespace

std::unique_ptr<Dialecto> CreaDialectoSqlServer() {
  return std::make_unique<DialectoSqlServer>();
}

}  // namespace varlo::db
