#pragma once
// The row set of a query, with what the engines use of an ADO recordset:
// begin/end of file, fields by index and by name with their ADO type codes
// and declared sizes, add-new, assign, update, cancel and close. Rows are
// written as an explicit INSERT (a new row: only the assigned columns) or
// UPDATE (the current row: only the assigned columns, keyed by the
// conditions of the query that found it); values are always bound.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Consulta.h"
#include "db/Valor.h"

namespace varlo::db {

struct InfoCampo {
  std::string nombre;       // as the database reports it
  int tipo = 0;             // ADO type code
  long tamanoDefinido = 0;  // declared size: characters for text, bytes otherwise
};

class Recordset {
 public:
  virtual ~Recordset() = default;

  enum Modo { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };

  virtual int State() const = 0;  // 1 open, 0 closed
  virtual bool BOF() const = 0;
  virtual bool EOF_() const = 0;  // EOF is a macro of <cstdio>
  virtual void MoveNext() = 0;
  // Number of rows fetched (-1 when the cursor cannot tell) and the current
  // row's position from 1 (-1 at BOF/EOF).
  virtual long RecordCount() const = 0;
  virtual long AbsolutePosition() const = 0;

  virtual int FieldCount() const = 0;
  virtual const InfoCampo& Field(int indice) const = 0;
  // Index of the field of that name, without regard to case; error 3265 when
  // the name is not in the select list.
  virtual int IndiceCampo(std::string_view nombre) const = 0;

  // Current value: pending assignment, else the row's stored value. Error
  // 3021 when there is no current row.
  virtual const Valor& Value(int indice) const = 0;
  std::string Texto(int indice) const { return ValorComoTexto(Value(indice)); }

  virtual void AddNew() = 0;
  // Converts the text to the column's type; refuses what SQL Server would
  // refuse (a non-number for a number column, a value out of its type's
  // range, text longer than a CHAR/VARCHAR size, a date that does not parse)
  // with a positive error number and a Spanish description.
  virtual void AsignaTexto(int indice, const std::string& texto) = 0;
  // Assigns a typed value (NULL, boolean, date, bytes, number) with the same checks.
  virtual void Asigna(int indice, const Valor& valor) = 0;
  // Appends bytes to a binary column's pending value.
  virtual void AppendChunk(int indice, const Bytes& trozo) = 0;
  // The next `cuantos` bytes of a binary value, continuing where the last
  // call on that field stopped.
  virtual Bytes GetChunk(int indice, std::size_t cuantos) = 0;
  // Size in bytes of a binary or text value.
  virtual long ActualSize(int indice) const = 0;

  // Writes the pending row; errors from the database carry negative numbers.
  virtual void Update() = 0;
  // The current row as the database holds it once what was written reaches
  // it, with its locator last, as a lookup reads it; nothing when that is
  // not known. A table's row without its locator (a row just added, a
  // locator the change made old) comes with the locator's columns null, and
  // its next change goes by its keys; but only when its keys and the fields
  // `exigidos` hold a value, since a new row's other columns take their
  // defaults only once written.
  virtual std::optional<std::vector<Valor>> FilaComoLeida(
      const std::vector<int>& /*exigidos*/ = {}) const {
    return std::nullopt;
  }
  virtual void CancelUpdate() = 0;
  virtual int EditMode() const = 0;
  virtual void Close() = 0;

  // Closes it with the change of an abandoned record still pending: that
  // change is dropped, failing or not, and nothing of it reaches the database.
  void CierraSinEscribir() noexcept {
    try {
      if (State() != 1) return;
      if (EditMode() != adEditNone) CancelUpdate();
      Close();
    } catch (...) {
    }
  }
};

}  // namespace varlo::db
