#pragma once
// The database connection: opened from the "Conexion" string of the
// definitions file, which also chooses the backend (SQLite for
// "Provider=SQLite;Data Source=PATH", PostgreSQL through libpq for
// "Provider=PostgreSQL;..." or a postgresql:// URI, SQL Server through ODBC for the OLE DB
// providers, any other "Driver=" or "DSN=" string passed to ODBC).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Backend.h"
#include "db/Consulta.h"
#include "db/Dialecto.h"
#include "db/Esperas.h"
#include "db/Recordset.h"

namespace varlo::db {

// The rows of a batch's lookups (Conexion::BuscaLote).
struct LoteLeido {
  // the keys the database was asked for (each the values of the query's
  // conditions, key after key) and each one's loose form (SueltaLlave)
  std::vector<Valor> llaves;
  std::vector<std::string> sueltas;
  ResultadoConsulta filas;
  std::size_t columnasLocalizador = 0;  // last in each row
  unsigned long epoca = 0;              // of the connection when read
};

class Conexion {
 public:
  virtual ~Conexion() = default;

  // Opens the backend that the string names. Errors of the database carry
  // negative numbers; their descriptions never hold the password.
  // `esperas` bounds login, lock and statement waits (tests shorten them).
  static std::unique_ptr<Conexion> Abre(const std::string& cadena, const Esperas& esperas = {});

  virtual int State() const = 0;  // 1 open, 0 closed
  virtual Motor MotorBD() const = 0;
  virtual const Dialecto& DialectoBD() const = 0;

  // Runs a statement given as text (the "Delete From " of the import).
  virtual void Execute(const std::string& sql) = 0;

  // Opens a query; at most `maxRegistros` rows are fetched (0: no limit).
  virtual std::unique_ptr<Recordset> AbreConsulta(const Consulta& consulta, long maxRegistros) = 0;
  // The same, opening again a row set this connection gave for a query of
  // the same names (a table's lookup, record after record) instead of a new
  // one; whatever `anterior` held or had pending is gone.
  virtual std::unique_ptr<Recordset> ReabreConsulta(const Consulta& consulta, long maxRegistros,
                                                    std::unique_ptr<Recordset> /*anterior*/) {
    return AbreConsulta(consulta, maxRegistros);
  }

  // Whether the lookups of many records by the conditions of `modelo` can
  // be fetched in one query (each round trip costs more than the work of a
  // record on a server reached through the network).
  virtual bool AnticipaBusquedas(const Consulta& /*modelo*/) const { return false; }
  // Fetches the rows of `modelo`'s lookups for those keys (the values of its
  // conditions, key after key) in as few queries as the database allows;
  // nothing where they are not fetched together. The caller serves them to
  // its records (ReabreConsultaLeida) while Epoca does not change.
  // `leidas`, when given, names the columns (besides the keys and binary
  // columns) whose values the records read: the others may be left null in
  // the rows, their fields still given.
  virtual std::optional<LoteLeido> BuscaLote(const Consulta& /*modelo*/,
                                             const std::vector<Valor>& /*llaves*/,
                                             const std::vector<std::string>* /*leidas*/ = nullptr) {
    return std::nullopt;
  }
  // The lookup's row set opened again, as ReabreConsulta does, over rows
  // already read for it (a batch's, BuscaLote): `campos` as the batch's
  // result gives them, `version` names them (the same version, the same
  // fields).
  virtual std::unique_ptr<Recordset> ReabreConsultaLeida(const Consulta& consulta,
                                                         std::unique_ptr<Recordset> anterior,
                                                         const std::vector<InfoCampo>& /*campos*/,
                                                         std::vector<std::vector<Valor>> /*filas*/,
                                                         unsigned long /*version*/) {
    return ReabreConsulta(consulta, 1, std::move(anterior));
  }
  // Changes at every transaction boundary and statement given as text:
  // rows read before it changed are not served after.
  virtual unsigned long Epoca() const { return 0; }
  // New rows may be held back and written together before the next other
  // statement or the commit. No call is told when the database refuses
  // them: the transaction is begun again, empty, RetenidasRechazadas says so
  // until the next rollback, a commit fails, and the caller rolls back and
  // does the batch again.
  virtual void DifiereInserciones(bool /*activa*/) {}
  // Writes what is held now, and waits for the database's verdict.
  virtual void EscribeRetenidas() {}
  virtual bool RetenidasRechazadas() const { return false; }
  // One savepoint in the open transaction, where the database admits it
  // (false: none): a batch inside a table's one transaction is undone alone.
  // Held rows refused inside it go back to it, not to the transaction's
  // start. VuelveAlPunto undoes what followed it and ends it.
  virtual bool PuntoAdmitido() const { return false; }
  virtual void MarcaPunto() {}
  virtual void LiberaPunto() {}
  virtual void VuelveAlPunto() {}
  // Where held rows are written on a thread of their own: a savepoint marked
  // once what is held so far is written, without waiting for that (none
  // when it is refused). A refusal goes back to the last one marked, and
  // PuntosMarcados counts those the transaction marked; the one before
  // each is ended when it is marked.
  virtual bool PuntoTrasEscribirAdmitido() const { return false; }
  virtual void MarcaPuntoTrasEscribir() {}
  virtual std::size_t PuntosMarcados() const { return 0; }

  // A table's name as the catalog spells it, written as the definitions
  // file would write it ("[rrhh].[Empleado]"); as given when the catalog
  // has no such table. errores::ArgumentoNoValido when it is not a name.
  virtual std::string NombreTabla(const std::string& comoEscrito) { return comoEscrito; }

  // Names of the base tables, in catalogue order; views and system tables
  // are left out.
  virtual std::vector<std::string> TablasBase() = 0;
  // Transactions, as ADO names them. RollbackTrans never throws: it runs on
  // failure paths.
  virtual void BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() noexcept = 0;
  // Whether a transaction is open (a database may end one by itself after a
  // severe error: the caller then knows its uncommitted work is gone).
  virtual bool EnTransaccion() const = 0;
  // The same, asking the server when a statement failed since the last
  // question: a deadlock or an error that aborts the whole transaction ends
  // it on the server while the client still thinks it open.
  virtual bool TransaccionSigueAbierta() { return EnTransaccion(); }

  virtual void Close() = 0;
};

}  // namespace varlo::db
