#pragma once
// What every dialect shares: INSERT and UPDATE with every value bound, and
// the typed value of a key condition. A dialect adds its SELECT and its
// identifier quoting.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/Dialecto.h"

namespace varlo::db {

class DialectoBase : public Dialecto {
 public:
  SentenciaSql Insert(const std::string& tabla,
                      const std::vector<std::pair<std::string, Valor>>& valores) const override;
  SentenciaSql Update(const std::string& tabla,
                      const std::vector<std::pair<std::string, Valor>>& valores,
                      const std::vector<Predicado>& condiciones) const override;
  SentenciaSql UpdateLocalizado(const std::string& tabla,
                                const std::vector<std::pair<std::string, Valor>>& valores,
                                const std::vector<Predicado>& condiciones,
                                const std::vector<Valor>& localizador) const override;
  // One marker per value: each read as a single row's INSERT reads it.
  SentenciaSql InsertVarias(const std::string& tabla, const std::vector<std::string>& columnas,
                            std::vector<std::vector<Valor>> filas,
                            const TiposTabla* tipos) const override;
  std::string DeleteFrom(const std::string& tabla) const override;
  std::size_t ColumnasLocalizador() const override { return 0; }
  // Few enough to keep far from any driver's limit of markers, many enough
  // that the round trip no longer counts.
  std::size_t FilasPorSentencia(std::size_t marcasPorFila) const override;

 protected:
  // One bound key condition (column, the comparison text, a "?" marker)
  // added to the statement with its value.
  virtual void Condicion(const Predicado& p, const std::string& igual, SentenciaSql& s) const;
  // The locator's columns in a select list, and its condition with one "?"
  // per column; empty where the database has none.
  virtual std::string ListaLocalizador() const { return {}; }
  virtual std::string CondicionLocalizador() const { return {}; }
  // The columns of a SELECT: "*" or the names joined with ", ".
  std::string ListaColumnas(const Consulta& c) const;
  // The SELECT of the rows of several keys, each key's conditions written by
  // `condicion` and joined with "and", the keys joined with "or";
  // `columnasExtra` follow the listed columns. Nothing when `llaves` is not
  // a whole number of keys.
  std::optional<SentenciaSql> SelectPorLlaves(
      const Consulta& c, const std::vector<Valor>& llaves, const std::string& columnasExtra,
      const std::function<void(const Predicado&, SentenciaSql&)>& condicion) const;

 private:
  SentenciaSql Asignaciones(const std::string& tabla,
                            const std::vector<std::pair<std::string, Valor>>& valores) const;
  SentenciaSql Condiciones(const std::vector<Predicado>& condiciones) const;

  // The last INSERT text and select list made: every record of a table asks
  // for the same ones, and a name's quoting costs more than comparing it.
  mutable std::string tablaInsert_;
  mutable std::vector<std::string> columnasInsert_;
  mutable std::string textoInsert_;
  mutable std::vector<std::string> columnasLista_;
  mutable std::string textoLista_;
};

// The value a key condition compares with: text, a number (its text must be
// a number: error 13 otherwise) or a date (a date alone at midnight).
Valor ValorDeCondicion(const Predicado& p);

// The text of a number key, checked: only a sign, digits, a "." fraction
// and an exponent may appear in it (it goes into SQL text as it is).
std::string TextoNumeroCondicion(const Predicado& p);

// The date of a date key (error 13 when the value is not a date).
FechaHora FechaCondicion(const Predicado& p);

}  // namespace varlo::db
