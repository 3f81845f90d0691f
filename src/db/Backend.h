#pragma once
// What a database backend (SQLite, ODBC) gives the generic connection and
// row set: run a rendered statement and return typed rows, run a statement
// without rows, list the base tables. Everything else (field lookup,
// assignment checks, INSERT/UPDATE building) is shared above it.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/Consulta.h"
#include "db/Dialecto.h"
#include "db/Recordset.h"
#include "db/Valor.h"

namespace varlo::db {

struct ResultadoConsulta {
  std::vector<InfoCampo> campos;
  std::vector<std::vector<Valor>> filas;  // typed as the column's ADO type says
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual Motor MotorBD() const = 0;
  virtual bool Abierta() const = 0;
  // At most `maxRegistros` rows (0: all). Errors of the database: negative numbers.
  virtual ResultadoConsulta Consulta(const SentenciaSql& s, long maxRegistros) = 0;
  // Rows affected.
  virtual long Ejecuta(const SentenciaSql& s) = 0;
  virtual std::vector<std::string> TablasBase() = 0;
  // Explicit transactions: outside one every statement commits by itself.
  // Inside one a failing statement undoes only itself where the driver allows
  // (SQLite, psqlODBC's statement-level rollback, SQL Server's default).
  virtual void IniciaTransaccion() = 0;
  virtual void ConfirmaTransaccion() = 0;
  virtual void DeshaceTransaccion() noexcept = 0;
  virtual bool EnTransaccion() const = 0;
  // Whether the server still holds the transaction open: asked of the server
  // after a statement failed inside it (it may have rolled it back on its
  // own); otherwise the same as EnTransaccion.
  virtual bool TransaccionAbiertaEnServidor() { return EnTransaccion(); }
  // One savepoint inside the open transaction, where the backend admits it:
  // a part of a transaction that must stay whole (a table deleted and
  // loaded again) can be undone alone. VuelveAlPunto undoes what followed
  // it and ends it, also when a refusal aborted the transaction.
  virtual bool PuntoAdmitido() const { return false; }
  virtual void MarcaPunto() {}
  virtual void LiberaPunto() {}
  virtual void VuelveAlPunto() {}
  // Whether the rows of that table (its name in the dialect's quoting)
  // carry the locator the dialect selects: SQLite's rowid (not in a WITHOUT
  // ROWID table), PostgreSQL's ctid (tables, not views). Nothing when no
  // such table exists (yet).
  virtual std::optional<bool> TieneLocalizador(const std::string& tablaSql) = 0;
  // The catalog's own spelling of a table written in those parts (schema
  // and table, or the table alone; without brackets), letter case ignored
  // where the database itself would not ignore it; the same number of parts.
  // Nothing when the catalog has no such table or the backend cannot tell:
  // the name is then used as written.
  virtual std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& /*partes*/) {
    return std::nullopt;
  }
  virtual void Cierra() = 0;
  // Whether the backend writes many new rows of a table its own bulk way
  // (PostgreSQL's COPY) rather than as multi-row INSERTs.
  virtual bool CopiaFilasAdmitida() const { return false; }
  // Writes those rows (names in the dialect's quoting, one value per column
  // in each row) all or none; a refused row raises as a refused INSERT would,
  // and inside a transaction only the copy is undone.
  virtual void CopiaFilas(const std::string& /*tablaSql*/,
                          const std::vector<std::string>& /*columnasSql*/,
                          const std::vector<std::vector<Valor>>& /*filas*/) {}
  // The same sent without waiting for the server: false when the backend
  // does not. The rows it changed must be `esperadas`; its verdict comes
  // with EsperaEscrituras or the next call, as an error when it failed or
  // changed another number of rows.
  virtual bool EjecutaArreglosSinEsperar(const std::string& /*texto*/,
                                         const std::vector<std::vector<Valor>>& /*columnas*/,
                                         long /*esperadas*/) {
    return false;
  }
  // Runs the statement once per row of values (prepared once), where the
  // backend does so more cheaply than one statement of many rows; the rows
  // it affected in all, or nothing when it does not.
  virtual std::optional<long> EjecutaPorFilas(const std::string& /*texto*/,
                                              const std::vector<std::vector<Valor>>& /*filas*/) {
    return std::nullopt;
  }
  // Whether the backend's writes of held rows (CopiaFilas,
  // EjecutaArreglosSinEsperar) return before the server took them: their
  // verdict then comes with the next call, as an error when they were
  // refused.
  virtual bool EscribeSinEsperar() const { return false; }
  // Waits for that verdict, raising a refusal, before any other call.
  virtual void EsperaEscrituras() {}
  // A lookup sent to a session of the backend's own, which waits for
  // nothing this one is writing and sees every committed row but none this
  // transaction wrote: false (nothing sent) when the backend has no such
  // session, or when this transaction wrote other than its held rows, or
  // reads the database otherwise than that session would (another
  // isolation, schema path or role). Its rows come with
  // RecibeConsultaAparte, and meanwhile this session may write.
  virtual bool EnviaConsultaAparte(const SentenciaSql& /*s*/) { return false; }
  // Whether it has such a session at all (else nothing is kept for it).
  virtual bool ConsultaAparteAdmitida() const { return false; }
  virtual ResultadoConsulta RecibeConsultaAparte() { return {}; }
  // Both at once; nothing when it cannot be sent.
  std::optional<ResultadoConsulta> ConsultaAparte(const SentenciaSql& s) {
    if (!EnviaConsultaAparte(s)) return std::nullopt;
    return RecibeConsultaAparte();
  }
  // Whether a statement can bind a whole column of values as one array in
  // PostgreSQL's text form (both paths to PostgreSQL).
  virtual bool ArreglosAdmitidos() const { return false; }
  // Runs the statement with each "?" marker bound to one column of values
  // as such an array; the rows it affected.
  virtual long EjecutaArreglos(const std::string& /*texto*/,
                               const std::vector<std::vector<Valor>>& /*columnas*/) {
    return 0;
  }
};

}  // namespace varlo::db
