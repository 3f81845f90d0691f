// SQL Server: the texts exactly as the system writes them, key values as
// literals (apostrophes doubled, numbers checked, ODBC date escapes).
#include "common/Texto.h"
#include "db/DialectoBase.h"
#include "db/Dialectos.h"
#include "db/Identificadores.h"

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
