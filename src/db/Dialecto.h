#pragma once
// Renders statements per database: SQL Server gets the exact texts of the
// original system with every key value as an escaped literal; SQLite and
// PostgreSQL get the equivalent statements with key values bound. Every
// name goes through Identificador, which refuses a name that is not one.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "db/Consulta.h"

namespace varlo::db {

enum class Motor { SQLite, SqlServer, PostgreSql, OtroOdbc };

// Whether a column of a date type keeps the time of day written to it: only
// SQLite, which stores the text as given; a real date type drops it.
inline bool FechaGuardaHora(Motor m) {
  return m == Motor::SQLite;
}

// One statement run once for each row of values.
struct SentenciaPorFilas {
  std::string texto;
  std::vector<std::vector<Valor>> filas;
};

// A statement whose markers each bind a whole column of values as an array.
struct SentenciaArreglos {
  std::string texto;
  std::vector<std::vector<Valor>> columnas;
};

// A table's columns as the catalog knows them, each by the catalog's
// spelling of its name.
struct TiposTabla {
  // The type's full name of each column an array can carry one per element.
  std::map<std::string, std::string> tipos;
  // The columns of type json or jsonb (or a domain of one), with that
  // type's full name: a JSON string given to json_populate_record would be
  // stored as that string.
  std::map<std::string, std::string> json;
  // The columns a row that leaves them out stores as NULL: no default of
  // their own or of a domain, no identity.
  std::set<std::string> nulasSiFaltan;
  // Rules of the table's own rewrite its writes: a copy would run none.
  bool reglas = false;
};

class Dialecto {
 public:
  virtual ~Dialecto() = default;

  virtual Motor Tipo() const = 0;
  // SELECT of a query; SQL Server: "select A, B from T Where K='v' and F={d '2005-12-25'}".
  virtual SentenciaSql Select(const Consulta& c) const = 0;
  // The same SELECT with the row locator's columns after the listed ones,
  // so that an update can reach exactly the row that was read.
  virtual SentenciaSql SelectConLocalizador(const Consulta& c) const = 0;
  // INSERT of the assigned columns only (DEFAULT VALUES when none); values bound.
  virtual SentenciaSql Insert(const std::string& tabla,
                              const std::vector<std::pair<std::string, Valor>>& valores) const = 0;
  // UPDATE of the assigned columns, keyed by the lookup's own conditions
  // (every value bound, the keys included), that changes a row only when
  // the conditions match exactly one: it never rewrites several rows.
  virtual SentenciaSql Update(const std::string& tabla,
                              const std::vector<std::pair<std::string, Valor>>& valores,
                              const std::vector<Predicado>& condiciones) const = 0;
  // Whether that UPDATE returns a row per row it changed, to be counted
  // instead of the database's count of changes: SQLite leaves out of that
  // count the rows of a view, which its INSTEAD OF triggers change.
  virtual bool UpdateDevuelveFilas() const { return false; }
  // UPDATE of the row with that locator, still matching the conditions; it
  // returns the row's locator after the change.
  virtual SentenciaSql UpdateLocalizado(const std::string& tabla,
                                        const std::vector<std::pair<std::string, Valor>>& valores,
                                        const std::vector<Predicado>& condiciones,
                                        const std::vector<Valor>& localizador) const = 0;
  // The SELECT of the rows of any of those keys: `llaves` holds the values
  // of the query's conditions, key after key. One text or number condition
  // is a list ("key in (?, ?, ...)"; SQL Server: "key in ('a', 'b')", as
  // literals); other keys are each written as their own lookup writes them,
  // joined with "or". The locator's columns follow the listed ones when
  // asked; nothing where the lookups of a batch are not fetched together.
  virtual std::optional<SentenciaSql> SelectVarias(const Consulta& /*c*/,
                                                   const std::vector<Valor>& /*llaves*/,
                                                   bool /*conLocalizador*/) const {
    return std::nullopt;
  }
  // The same with the keys as one array per condition, each cast to its
  // column's type as the catalog names it (`tipos`), "(K1, K2) in (select *
  // from unnest(...))"; nothing where the database takes no such arrays or a
  // key column's type is not known.
  virtual std::optional<SentenciaSql> SelectVariasArreglos(
      const Consulta& /*c*/, const std::vector<Valor>& /*llaves*/, bool /*conLocalizador*/,
      const std::map<std::string, std::string>& /*tipos*/) const {
    return std::nullopt;
  }
  // One INSERT of several rows with the same columns; values bound, each
  // read by its column's type as a single row's INSERT reads it. `tipos`:
  // the table's column types, nullptr when they are not known.
  virtual SentenciaSql InsertVarias(const std::string& tabla,
                                    const std::vector<std::string>& columnas,
                                    std::vector<std::vector<Valor>> filas,
                                    const TiposTabla* tipos) const = 0;
  // One UPDATE of several rows, each found by its locator and still
  // matching its conditions (by its conditions alone where the database has
  // no locator), with the same columns assigned; it returns a row for each
  // row it changed, or only its count (ActualizaVariasCuentaFilas). Each
  // value is read by its column's type as a single row's UPDATE reads it.
  // `tipos`: the table's column types, nullptr when they are not known.
  // Nothing where such a change cannot be written with others here.
  virtual std::optional<SentenciaSql> ActualizaVarias(
      const std::vector<ActualizacionDiferible>& /*filas*/, const TiposTabla* /*tipos*/) const {
    return std::nullopt;
  }
  // The query of a table's columns whose values an array can carry one per
  // element: name as the catalog spells it, the type's full name, and 1
  // where the type is json or jsonb (or a domain of one), 0 otherwise
  // (TiposTabla); nothing where the database has no such catalog.
  virtual std::optional<SentenciaSql> TiposColumnas(const std::string& /*tabla*/) const {
    return std::nullopt;
  }
  // The query of what in a table sees the order its rows are written in: a
  // row per unique index, the names of its columns joined by commas (empty
  // where it is on an expression, has a condition, takes nulls as equal or
  // compares a column in another collation than the column's, or for an
  // exclusion constraint), and a null row for each thing that may act on other rows
  // (a trigger per row, a foreign key to the table itself, a rule). Nothing
  // where it cannot be asked: anything may be there.
  virtual std::optional<SentenciaSql> ObservadoresOrden(const std::string& /*tabla*/) const {
    return std::nullopt;
  }
  // The same rows as InsertVarias, each of its "?" markers bound to one
  // column of values read with the type `tipos` gives (by the catalog's name
  // of the column):
  //   insert into T (a, b) select * from unnest(cast(? as <type of a>[]), ...)
  // Nothing where a column has no type there or a value has no text form.
  virtual std::optional<SentenciaArreglos> InsertVariasArreglos(
      const std::string& /*tabla*/, const std::vector<std::string>& /*columnas*/,
      std::vector<std::vector<Valor>>& /*filas*/,
      const std::map<std::string, std::string>& /*tipos*/) const {
    return std::nullopt;
  }
  // The same change as ActualizaVarias, each of its "?" markers bound to one
  // column of values (SentenciaArreglos::columnas) read with the type
  // `tipos` gives (by the catalog's name of the column); its count of
  // changed rows confirms the changes. Nothing where a column has no type there.
  virtual std::optional<SentenciaArreglos> ActualizaVariasArreglos(
      const std::vector<ActualizacionDiferible>& /*filas*/,
      const std::map<std::string, std::string>& /*tipos*/) const {
    return std::nullopt;
  }
  // The same change as ActualizaVariasArreglos, guarded: it changes no row
  // (its count then refuses it) where one statement could end otherwise
  // than the changes `filas` made one at a time in their order: where a row
  // would take, on the columns of one of `indices` (unique indexes, the
  // catalog's names), what a later row of `filas` holds now. Nothing where
  // it cannot be guarded so.
  virtual std::optional<SentenciaArreglos> ActualizaVariasEnOrden(
      const std::vector<ActualizacionDiferible>& /*filas*/,
      const std::vector<std::vector<std::string>>& /*indices*/,
      const std::map<std::string, std::string>& /*tipos*/) const {
    return std::nullopt;
  }
  // The same change as ActualizaVarias as one statement run once per row
  // (Backend::EjecutaPorFilas), each reaching one row at most: their count
  // of changed rows confirms the changes. Nothing where it is not written so.
  virtual std::optional<SentenciaPorFilas> ActualizaPorFilas(
      const std::vector<ActualizacionDiferible>& /*filas*/) const {
    return std::nullopt;
  }
  // Whether the changes written together reach their rows one after the
  // other, in the order given (ActualizaPorFilas), as one record at a time
  // would: a single statement changes its rows in an order the database
  // chooses, which a unique index or a trigger can tell.
  virtual bool CambiosEnOrden() const { return false; }
  // Whether ActualizaVarias returns no rows, its count of changed rows
  // confirming the changes instead (each change can reach one row at most).
  virtual bool ActualizaVariasCuentaFilas() const { return false; }
  // Whether ActualizaVarias can write such a change with others.
  virtual bool ActualizaVariasAdmite(const ActualizacionDiferible& /*a*/) const { return false; }
  // Whether the statements that write rows together carry binary values
  // (pictures) as they are.
  virtual bool EscribeVariasConBytes() const { return false; }
  // How many rows InsertVarias or ActualizaVarias may carry in one statement
  // when each row binds `marcasPorFila` values (at least 1): the server's
  // own limits of rows and markers per statement.
  virtual std::size_t FilasPorSentencia(std::size_t marcasPorFila) const = 0;
  // "Delete From " + table.
  virtual std::string DeleteFrom(const std::string& tabla) const = 0;
  // A name as written ("[Fecha Alta]", "ID_Empleado") in this dialect's
  // quoting; errores::ArgumentoNoValido when it is not a valid name.
  virtual std::string Identificador(const std::string& comoEscrito) const = 0;
  // How many columns the row locator adds to a SELECT (0: none, SQL Server).
  virtual std::size_t ColumnasLocalizador() const = 0;
  // Whether a row keeps its locator when it is changed (SQLite's rowid;
  // PostgreSQL writes a changed row elsewhere).
  virtual bool LocalizadorEstable() const { return false; }
};

std::unique_ptr<Dialecto> CreaDialecto(Motor motor);

}  // namespace varlo::db
