#pragma once
// Records committed in batches. Each batch is one transaction, and a
// record's result lines wait until the batch that holds it committed: after
// a crash every "_Ok.txt" line has its row, and a rerun completes the rest.
// A record is all or nothing because each of its statements is (the
// databases roll back a failing statement alone inside a transaction). A
// batch whose commit fails is replayed one record per transaction, so it
// never costs a record that would have succeeded alone. Errors that belong to
// the run (connection lost, database locked) leave the batch: it is rolled
// back and its lines are neither imported nor rejected.
//
// Where the lookups of a batch can be fetched in one query, the lines of a
// batch are read first and processed together (Anticipa), and the rows they
// write are held and written together before the commit; what a record sees
// does not change, only the number of statements. A batch whose held rows
// the database refuses is rolled back and done again in parts of
// kRegistrosPorParte records, each held again and committed by itself; a
// part refused again is done record by record in one transaction, each
// record's rows written at once, where a statement the database refuses
// undoes itself alone: each record has its own verdict, and a few bad lines
// cost their parts, not the file's speed. A part whose commit then fails is
// done one record per transaction.
//
// A transaction the server ended by itself (a deadlock victim, a
// serialization failure, an error that aborts the whole transaction) is the
// batch's, not a record's: none of its lines is reported, and the batch is
// done again from its first record, one record per transaction. Done again
// in one transaction and in the same order, a deadlock victim would meet
// the same cycle while the winner still holds its rows; a record's own
// transaction holds that record's rows only, so it rarely closes a cycle,
// and one that is still lost is done again after a short pause of random
// length (two runs that met do not meet again in step). Every repetition is
// said in the log; after kRepeticionesLote of them without a commit between,
// the table ends with one error line. The server is asked whether the
// transaction is still open after any error of a record.
#include <chrono>
#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/Conexion.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErrorDeCorrida.h"
#include "db/ErroresBD.h"

namespace varlo {

enum class ModoLote {
  Lotes,           // a commit every `tamano` records
  UnaTransaccion,  // one commit at the end of the table ("Borrar antes de importar")
  Simulacion,      // everything rolled back at the end of the table
};

// Records per transaction when the command line does not say. A durable
// commit waits for the disk (a few milliseconds): with 1000 records per
// transaction the commits alone cost a server's bulk copy of the same rows;
// past 10000 the batch held in memory grows for little gain.
inline constexpr long kTamanoLotePorDefecto = 10000;
// Lines whose lookups are fetched together (and whose held rows are then
// written): a batch of many records is prepared in parts of this size, so
// that what is held in memory and each statement stay small.
inline constexpr std::size_t kLineasPorAnticipacion = 1000;
// Bytes of source lines per batch, whatever the number of records: a batch
// is held in memory several times over (its lines, its rows held back, the
// statement that writes them), so long lines make it short.
inline constexpr std::size_t kBytesPorLote = std::size_t{4} << 20;
// Records of a part of a refused batch, done again and committed together:
// a part refused again is done record by record.
inline constexpr std::size_t kRegistrosPorParte = 100;
// Times a batch whose transaction the server ended is done again without a
// commit in between.
inline constexpr int kRepeticionesLote = 3;
// Upper bound of the pause before a record whose own transaction was lost is
// done again, per repetition so far.
inline constexpr std::chrono::milliseconds kPausaRepeticion{100};

template <class Resultado, class Entrada = std::string>
class LoteRegistros {
 public:
  using Registro = std::function<Resultado(const Entrada& linea)>;
  // Receives each record's result once it may be reported.
  using Publica = std::function<void(const Entrada& linea, const Resultado& r)>;
  // The result of a record whose own transaction could not be committed.
  using RechazoConfirmacion = std::function<Resultado(const Entrada& linea, const ErrorVarlo& e)>;
  // Prepares the records of a batch before the first of them is processed.
  using Anticipacion = std::function<void(const std::vector<Entrada>& lineas)>;
  // The bytes a record weighs in its batch.
  using Medida = std::function<std::size_t(const Entrada& linea)>;
  // Done after a table's one transaction reported its records and before it
  // commits: what it raises rolls the table back.
  using AntesDeConfirmar = std::function<void()>;
  // Whether the next record may still be processed (a table stopped at its
  // maximum of rejections leaves the rest of its batch unprocessed).
  using Continua = std::function<bool()>;
  // Says (in the log) that a batch is done again, and why.
  using Aviso = std::function<void(const std::string& linea)>;

  // `tamano` records per batch; none given (0): kTamanoLotePorDefecto.
  LoteRegistros(db::Conexion& cn, ModoLote modo, long tamano, Registro registro, Publica publica,
                RechazoConfirmacion rechazo)
      : cn_(cn),
        modo_(modo),
        tamano_(static_cast<std::size_t>(tamano > 0 ? tamano : kTamanoLotePorDefecto)),
        registro_(std::move(registro)),
        publica_(std::move(publica)),
        rechazo_(std::move(rechazo)) {}
  LoteRegistros(const LoteRegistros&) = delete;
  LoteRegistros& operator=(const LoteRegistros&) = delete;
  // Whatever was not committed is rolled back.
  ~LoteRegistros() {
    if (abierta_) cn_.RollbackTrans();
    try {
      cn_.DifiereInserciones(false);
    } catch (...) {
      // nothing is held after a rollback
    }
  }

  // The lines of a batch are kept until it is full, then prepared together.
  // With a commit per batch, its new rows and changes are also held and
  // written together.
  void Anticipa(Anticipacion anticipa, Continua continua) {
    anticipa_ = std::move(anticipa);
    continua_ = std::move(continua);
    difiere_ = modo_ == ModoLote::Lotes;
    cn_.DifiereInserciones(difiere_);
  }

  // Batches are also cut once their records weigh kBytesPorLote bytes.
  void LimitaBytes(Medida medida) { medida_ = std::move(medida); }

  void EstableceAntesDeConfirmar(AntesDeConfirmar antes) { antesDeConfirmar_ = std::move(antes); }
  // Which results are rejections: they are counted until reported.
  void CuentaRechazos(std::function<bool(const Resultado&)> rechazado) {
    rechazado_ = std::move(rechazado);
  }
  // Rejected records processed and not reported yet (a batch done again
  // counts its records once).
  const long& RechazosSinReportar() const noexcept { return sinReportar_; }
  void AvisaRepeticiones(Aviso aviso) { aviso_ = std::move(aviso); }

  // Opens the transaction before the first record, so that work done before
  // the records (the delete before importing) commits with them.
  void Inicia() {
    if (abierta_) return;
    cn_.BeginTrans();
    abierta_ = true;
  }

  void Procesa(Entrada linea) {
    if (medida_) bytesDelLote_ += medida_(linea);
    const bool pesado = medida_ && bytesDelLote_ >= kBytesPorLote;
    if (anticipa_) {
      if (detenido_) return;
      porProcesar_.push_back(std::move(linea));
      const bool lleno = pesado || pendientes_.size() + porProcesar_.size() >= tamano_;
      if (lleno || porProcesar_.size() >= kLineasPorAnticipacion) {
        ProcesaRetenidas();
        if (lleno) Asienta();
      }
      return;
    }
    ProcesaUna(std::move(linea));
    if (pendientes_.size() >= tamano_ || pesado) Asienta();
  }

  // End of the table: the last commit (a rollback when simulating) and
  // everything still waiting is reported.
  void Termina() {
    ProcesaRetenidas();
    Asienta();
    if (modo_ == ModoLote::Simulacion) {
      Deshace();
    } else if (modo_ == ModoLote::UnaTransaccion) {
      if (antesDeConfirmar_) antesDeConfirmar_();
      Confirma();
    }
  }

  // The run was asked to stop: a batch of its own commits what it did; one
  // transaction for the whole table is rolled back and reports nothing.
  void Interrumpe() {
    if (modo_ == ModoLote::Lotes) {
      ProcesaRetenidas();
      Asienta();
    } else {
      porProcesar_.clear();
      TomaPendientes();
      Deshace();
    }
  }

 private:
  // Records processed and not yet reported, with their results.
  using Pendientes = std::vector<std::pair<Entrada, Resultado>>;

  void ProcesaUna(Entrada&& linea) {
    Inicia();
    try {
      Registra(linea);
    } catch (...) {
      if (!db::CapturadoEsTransaccionPerdida() && !db::CapturadoEsDelLote()) throw;
      // the batch, this record included, is done again
      Anota(std::move(linea), Resultado{});
      RepiteTrasFallo();
    }
  }

  // The record processed and kept, with its result, until the batch reports;
  // `linea` is taken only when nothing was raised.
  void Registra(Entrada& linea) {
    Resultado r = registro_(linea);
    CompruebaTransaccion();
    Anota(std::move(linea), std::move(r));
  }

  void Anota(Entrada&& linea, Resultado&& r) {
    if (rechazado_ && rechazado_(r)) ++sinReportar_;
    pendientes_.emplace_back(std::move(linea), std::move(r));
  }

  // The records processed and not reported, taken to be done again.
  Pendientes TomaPendientes() {
    sinReportar_ = 0;
    return std::exchange(pendientes_, {});
  }

  // Inside a catch block: a transaction the server ended has the batch so
  // far done again from its first record (Rehace); rows held for the batch
  // that were refused have it done again in parts (RehacePorPartes). Any other
  // error is raised again.
  void RepiteTrasFallo() {
    if (db::CapturadoEsTransaccionPerdida()) return Rehace();
    if (!db::CapturadoEsDelLote()) throw;
    Deshace();
    RehacePorPartes(TomaPendientes());
  }

  // The batch so far again, in parts of kRegistrosPorParte records, each in a
  // transaction of its own that commits and reports its lines, its rows held
  // as before. A part the database refuses again is done record by record in
  // one transaction, each record's rows written at once and looked up by
  // itself, after the records before it wrote theirs (a trigger of theirs
  // may have changed its row): what the database refuses there is one
  // record's own. A part whose transaction the server ends, or whose commit
  // fails, is done one record per transaction.
  void RehacePorPartes(Pendientes lote) {
    for (std::size_t i = 0; i < lote.size(); i += kRegistrosPorParte) {
      std::vector<Entrada> parte;
      for (std::size_t j = i; j < lote.size() && j < i + kRegistrosPorParte; ++j)
        parte.push_back(std::move(lote[j].first));
      if (!HazParte(parte, true) && !HazParte(parte, false)) {
        Pendientes uno;
        for (Entrada& linea : parte) uno.emplace_back(std::move(linea), Resultado{});
        Repite(std::move(uno), difiere_);
      }
      if (detenido_) break;
    }
    cn_.DifiereInserciones(difiere_);
  }

  // Whether the next record may be processed: a table stopped at its
  // maximum of rejections leaves the rest of its batch unprocessed, also
  // when the batch is done again.
  bool PuedeSeguir() {
    if (!detenido_ && continua_ && !continua_()) detenido_ = true;
    return !detenido_;
  }

  // A part of a refused batch in a transaction of its own, its rows held or
  // written record by record; false when it did not commit (nothing of it is
  // reported then). Only an error of the run leaves it.
  bool HazParte(const std::vector<Entrada>& parte, bool retenida) {
    detenido_ = false;
    try {
      Inicia();
      cn_.DifiereInserciones(retenida);
      if (retenida && anticipa_) anticipa_(parte);
      for (const Entrada& linea : parte) {
        if (!PuedeSeguir()) break;
        Entrada copia(linea);
        Registra(copia);
      }
      Confirma();
    } catch (...) {
      if (db::CapturadoEsDeCorrida()) throw;
      const ErrorVarlo e = ErrorCapturado();
      Deshace();
      TomaPendientes();
      if (db::CapturadoEsTransaccionPerdida())
        CuentaRepeticion(e, retenida ? "se repite esa parte registro por registro"
                                     : "se repite esa parte, un registro por transacción");
      return false;
    }
    repeticiones_ = 0;
    Reporta();
    return true;
  }

  // The lines kept: prepared together, then each processed; the batch
  // commits when the caller says.
  void ProcesaRetenidas() {
    if (porProcesar_.empty()) return;
    std::vector<Entrada> lineas = std::exchange(porProcesar_, {});
    cn_.DifiereInserciones(difiere_);
    if (!detenido_) Prepara(lineas);
    for (Entrada& linea : lineas) {
      if (!PuedeSeguir()) break;
      ProcesaUna(std::move(linea));
    }
  }

  // The lookups of those lines fetched together. Past the first lines of a
  // batch this writes the rows held so far: a refusal of theirs, or a
  // transaction the server ended, has the batch so far done again one record
  // per transaction, as at its commit, before these lines are prepared.
  void Prepara(const std::vector<Entrada>& lineas) {
    Inicia();
    try {
      anticipa_(lineas);
      return;
    } catch (...) {
      if (pendientes_.empty()) throw;
      RepiteTrasFallo();
    }
    cn_.DifiereInserciones(difiere_);
    Inicia();
    anticipa_(lineas);
  }

  // A severe error can make the database end the transaction by itself:
  // what the batch did is gone, and no record of it may be reported.
  void CompruebaTransaccion() {
    if (abierta_ && !cn_.TransaccionSigueAbierta())
      throw db::ErrorBaseDatos(errores::ErrorEnComando, db::kFuenteBD,
                               "La base de datos deshizo la transacción en curso",
                               db::ErrorBaseDatos::Clase::TransaccionPerdida);
  }

  // Inside a catch block of a transaction the server ended: the batch's
  // records so far (in pendientes_) are done again from the first, each in a
  // transaction of its own and reported once it committed. With one
  // transaction for the whole table (the delete before importing in it)
  // nothing can be done again: the table ends.
  void Rehace() {
    const ErrorVarlo e = ErrorCapturado();
    Deshace();
    Pendientes lote = TomaPendientes();
    if (modo_ != ModoLote::Lotes) {
      repeticiones_ = 0;
      throw e;
    }
    CuentaRepeticion(e, "se repite desde su primer registro, uno por transacción");
    Repite(std::move(lote), difiere_);
  }

  // One record of a batch done again in its own transaction, reported once it
  // committed; a commit it alone fails rejects it. While the server keeps
  // ending that transaction it is done again after a pause.
  void RehaceRegistro(const Entrada& linea) {
    for (;;) {
      try {
        Inicia();
        // what was read ahead for the lost transaction may have changed since
        if (anticipa_) anticipa_(std::vector<Entrada>{linea});
        Resultado r = registro_(linea);
        CompruebaTransaccion();
        try {
          Confirma();
        } catch (...) {
          if (db::CapturadoEsTransaccionPerdida()) throw;
          db::RelanzaSiEsDeCorrida();
          const ErrorVarlo e = ErrorCapturado();
          Deshace();
          r = rechazo_(linea, e);
        }
        repeticiones_ = 0;
        publica_(linea, r);
        return;
      } catch (...) {
        if (!db::CapturadoEsTransaccionPerdida()) throw;
        const ErrorVarlo e = ErrorCapturado();
        Deshace();
        CuentaRepeticion(e, "se repite su registro tras una pausa");
        Pausa();
      }
    }
  }

  // One more repetition of the batch, said in the log; past the last one
  // the table ends with the server's reason.
  void CuentaRepeticion(const ErrorVarlo& e, const std::string& como) {
    if (++repeticiones_ > kRepeticionesLote) {
      repeticiones_ = 0;
      throw ErrorVarlo(e.Numero(), e.Fuente(),
                       e.Descripcion() + "; el lote se intentó " +
                           std::to_string(kRepeticionesLote + 1) + " veces");
    }
    if (aviso_)
      aviso_("La base de datos deshizo el lote (" + e.Descripcion() + "); " + como + " (" +
             std::to_string(repeticiones_) + " de " + std::to_string(kRepeticionesLote) + ")");
  }

  // Random, so that two runs whose transactions met do not try again in step.
  void Pausa() {
    std::uniform_int_distribution<long> ms(1, kPausaRepeticion.count() * repeticiones_);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms(azar_)));
  }

  // Batch boundary: commits in Lotes mode, then reports.
  void Asienta() {
    bytesDelLote_ = 0;
    if (modo_ != ModoLote::Lotes) {
      Reporta();
      return;
    }
    if (!abierta_) return;
    try {
      Confirma();
    } catch (...) {
      if (db::CapturadoEsTransaccionPerdida()) {
        Rehace();
        Asienta();
        return;
      }
      Deshace();
      if (db::CapturadoEsDelLote()) {
        RehacePorPartes(TomaPendientes());
        Asienta();
        return;
      }
      db::RelanzaSiEsDeCorrida();
      Repite(TomaPendientes(), difiere_);
      return;
    }
    repeticiones_ = 0;
    Reporta();
  }

  // The batch again, one record per transaction, each record written at
  // once: its transaction holds its rows only, and a refusal is its own.
  // Then rows are held as `difiere` says.
  void Repite(Pendientes lote, bool difiere) {
    cn_.DifiereInserciones(false);
    detenido_ = false;
    for (const auto& par : lote) {
      if (!PuedeSeguir()) break;
      RehaceRegistro(par.first);
    }
    cn_.DifiereInserciones(difiere);
  }

  void Confirma() {
    if (!abierta_) return;
    cn_.CommitTrans();
    abierta_ = false;
  }

  void Deshace() noexcept {
    if (!abierta_) return;
    cn_.RollbackTrans();
    abierta_ = false;
  }

  void Reporta() {
    for (const auto& [linea, r] : pendientes_) publica_(linea, r);
    pendientes_.clear();
    sinReportar_ = 0;
  }

  db::Conexion& cn_;
  ModoLote modo_;
  std::size_t tamano_;
  Registro registro_;
  Publica publica_;
  RechazoConfirmacion rechazo_;
  Anticipacion anticipa_;
  Continua continua_;
  AntesDeConfirmar antesDeConfirmar_;
  std::function<bool(const Resultado&)> rechazado_;
  long sinReportar_ = 0;
  Medida medida_;
  std::size_t bytesDelLote_ = 0;
  Aviso aviso_;
  int repeticiones_ = 0;  // of the batch in progress, since its last commit
  std::minstd_rand azar_{std::random_device{}()};
  bool abierta_ = false;
  bool detenido_ = false;
  bool difiere_ = false;
  std::vector<Entrada> porProcesar_;
  Pendientes pendientes_;
};

}  // namespace varlo
