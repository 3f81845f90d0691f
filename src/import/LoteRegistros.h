#pragma once
// Records committed in batches, one transaction each. A record's result is
// reported only once its batch committed: after a crash every "_Ok.txt"
// line has its row, and a rerun completes the rest. A statement the
// database refuses undoes itself alone, so a record is all or nothing.
//
// Where a batch's lookups can be fetched together (Anticipa), its lines are
// read first and the rows they write are held and written together. Rows
// the database refuses there have the batch done again in committed parts;
// a part refused again is done record by record, each record's rows written
// at once, so each record gets its own verdict and a few bad lines cost
// their parts, not the file's speed.
//
// Where held rows are written on a thread of their own and the database has
// savepoints, each group of lines prepared together sits behind one, marked
// once the rows before are written: a refusal goes back to its group's
// start, not the batch's, and the records since are done again in parts,
// each behind a savepoint of its own, the batch's transaction still open.
//
// A table in one transaction (a reload, a dry run) does the same inside it
// where the database has savepoints: each batch behind one, so that its
// refusal goes back to the batch's start, not the table's.
//
// A transaction the server ended (a deadlock victim, a serialization
// failure) is the batch's: none of its lines is reported and it is done
// again one record per transaction, which rarely closes a cycle again; a
// record still lost waits a random pause (two runs that met must not retry
// in step). Each repetition is logged, and kRepeticionesLote of them without
// a commit end the table. Errors of the run (connection lost, database
// locked) leave the batch rolled back and unreported.
#include <algorithm>
#include <chrono>
#include <concepts>
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
#include "import/LectorRegistros.h"

namespace varlo {

enum class ModoLote {
  Lotes,           // a commit every `tamano` records
  UnaTransaccion,  // one commit at the end of the table ("Borrar antes de importar")
  Simulacion,      // everything rolled back at the end of the table
};

// Records per transaction unless the command line says: a durable commit
// waits for the disk, and at 10000 records the commits cost about what a
// server's bulk copy of the rows does; beyond, memory grows for little gain.
inline constexpr long kTamanoLotePorDefecto = 10000;
// Lines whose lookups are fetched (and held rows written) together, so that
// memory and each statement stay small.
inline constexpr std::size_t kLineasPorAnticipacion = 1000;
// A batch is held in memory several times over: long lines make it short.
inline constexpr std::size_t kBytesPorLote = std::size_t{4} << 20;
// Records of a part of a refused batch, and of the smallest part of a
// refused part: a part refused again costs a statement per record.
inline constexpr std::size_t kRegistrosPorParte = 100;
inline constexpr std::size_t kRegistrosPorParteMenor = 10;
// Times a batch whose transaction the server ended is done again without a
// commit in between.
inline constexpr int kRepeticionesLote = 3;
// Upper bound of the pause before a lost record is done again, per repetition.
inline constexpr std::chrono::milliseconds kPausaRepeticion{100};

// What a batch asks of a record's result: whether it is a rejection
// (counted until reported), and what is left of it when its own refusal
// ended its transaction (its rejections: nothing it wrote stays).
template <class R>
concept ResultadoLote = std::semiregular<R> && requires(const R& r, R&& m) {
  { r.Rechazado() } -> std::convertible_to<bool>;
  { std::move(m).SoloRechazos() } -> std::same_as<R>;
};

template <ResultadoLote Resultado>
class LoteRegistros {
 public:
  using Entrada = LineaLeida;
  using Registro = std::function<Resultado(const Entrada& linea)>;
  // Receives each record's result once it may be reported.
  using Publica = std::function<void(const Entrada& linea, const Resultado& r)>;
  // The result of a record whose own transaction could not be committed.
  using RechazoConfirmacion = std::function<Resultado(const Entrada& linea, const ErrorVarlo& e)>;
  // Prepares a batch's records before the first of them is processed.
  using Anticipacion = std::function<void(const std::vector<Entrada>& lineas)>;
  // Whether the next record may still be processed (a table at its maximum
  // of rejections leaves the rest of its batch unprocessed).
  using Continua = std::function<bool()>;
  using Aviso = std::function<void(const std::string& linea)>;

  // `tamano` records per batch; 0: kTamanoLotePorDefecto.
  LoteRegistros(db::Conexion& cn, ModoLote modo, long tamano, Registro registro, Publica publica,
                RechazoConfirmacion rechazo)
      : cn_(cn),
        modo_(modo),
        porPuntos_(modo != ModoLote::Lotes && cn.PuntoAdmitido()),
        tamano_(static_cast<std::size_t>(tamano > 0 ? tamano : kTamanoLotePorDefecto)),
        registro_(std::move(registro)),
        publica_(std::move(publica)),
        rechazo_(std::move(rechazo)) {}
  LoteRegistros(const LoteRegistros&) = delete;
  LoteRegistros& operator=(const LoteRegistros&) = delete;
  // Whatever was not committed is rolled back.
  ~LoteRegistros() {
    DeshaceTabla();
    try {
      cn_.DifiereInserciones(false);
    } catch (...) {
      // nothing is held after a rollback
    }
  }

  // Lines are kept until the batch is full, then prepared together; with a
  // commit or a savepoint per batch their rows are also held and written
  // together.
  void Anticipa(Anticipacion anticipa, Continua continua) {
    anticipa_ = std::move(anticipa);
    continua_ = std::move(continua);
    difiere_ = modo_ == ModoLote::Lotes || porPuntos_;
    porGrupos_ = modo_ == ModoLote::Lotes && cn_.PuntoTrasEscribirAdmitido();
    cn_.DifiereInserciones(difiere_);
  }
  // Done before the table's one transaction commits: what it raises, or
  // false, rolls the table back.
  void EstableceAntesDeConfirmar(std::function<bool()> antes) {
    antesDeConfirmar_ = std::move(antes);
  }
  // Rejected records processed and not reported yet (a batch done again
  // counts its records once).
  const long& RechazosSinReportar() const noexcept { return sinReportar_; }
  // Says in the log that a batch is done again, and why.
  void AvisaRepeticiones(Aviso aviso) { aviso_ = std::move(aviso); }

  // Opens the transaction before the first record, so that work done before
  // the records (the delete before importing) commits with them.
  void Inicia() {
    if (!porPuntos_) return AbreLote();
    if (exterior_) return;
    cn_.BeginTrans();
    exterior_ = true;
  }

  void Procesa(Entrada linea) {
    bytesDelLote_ += linea.texto.size();
    const bool pesado = bytesDelLote_ >= kBytesPorLote;
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

  // End of the table: the last commit (a rollback when simulating), and
  // everything still waiting is reported. False when the check before the
  // commit refused it: the table's one transaction was rolled back.
  bool Termina() {
    ProcesaRetenidas();
    Asienta();
    if (modo_ == ModoLote::Simulacion) DeshaceTabla();
    if (modo_ != ModoLote::UnaTransaccion) return true;
    if (antesDeConfirmar_ && !antesDeConfirmar_()) {
      DeshaceTabla();
      return false;
    }
    Confirma();
    ExigeTabla();
    if (exterior_) {
      cn_.CommitTrans();
      exterior_ = false;
    }
    return true;
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
      DeshaceTabla();
    }
  }

 private:
  void ProcesaUna(Entrada&& linea) {
    AbreLote();
    try {
      if (Registra(linea)) return;
    } catch (...) {
      if (!db::CapturadoEsTransaccionPerdida()) throw;
      // the batch, this record included, is done again
      Anota(std::move(linea), Resultado{});
      return Rehace();
    }
    Anota(std::move(linea), Resultado{});
    RehaceRechazado();
  }

  // Kept with its result until the batch reports; `linea` is taken only
  // when nothing was raised and no row the batch held was refused meanwhile
  // (false: the record is done again with its batch, whatever it gave).
  bool Registra(Entrada& linea) {
    Resultado r = registro_(linea);
    if (cn_.RetenidasRechazadas()) return false;
    CompruebaTransaccion(r.Rechazado() ? &linea : nullptr);
    Anota(std::move(linea), std::move(r));
    return true;
  }

  // Writes what the batch holds: whether the database refused any of it.
  bool Rechazadas() {
    cn_.EscribeRetenidas();
    return cn_.RetenidasRechazadas();
  }

  void Anota(Entrada&& linea, Resultado&& r) {
    if (r.Rechazado()) ++sinReportar_;
    pendientes_.emplace_back(std::move(linea), std::move(r));
  }

  // The lines of the records not reported yet from `desde` on, to be done
  // again.
  std::vector<Entrada> TomaPendientes(std::size_t desde = 0) {
    desde = std::min(desde, pendientes_.size());
    std::vector<Entrada> lineas;
    lineas.reserve(pendientes_.size() - desde);
    for (auto p = pendientes_.begin() + static_cast<std::ptrdiff_t>(desde); p != pendientes_.end();
         ++p) {
      if (p->second.Rechazado()) --sinReportar_;
      lineas.push_back(std::move(p->first));
    }
    pendientes_.resize(desde);
    return lineas;
  }

  // Rows held since the batch's transaction or savepoint began were
  // refused: its records are done again in parts. Behind a group's
  // savepoint, the connection went back to the last one it marked: the
  // records since are done again, the batch's transaction kept.
  void RehaceRechazado() {
    const std::size_t n =
        porGrupos_ && !porPuntos_ && abierta_ ? std::min(cn_.PuntosMarcados(), grupos_.size()) : 0;
    if (n == 0) {
      Deshace();
      return RehacePorPartes(TomaPendientes(marca_), kRegistrosPorParte);
    }
    grupos_.resize(n);
    const std::vector<Entrada> lineas = TomaPendientes(grupos_.back());
    const std::size_t antes = pendientes_.size();
    {
      // that savepoint ends, with what the record in progress did since
      porPuntos_ = exterior_ = true;
      Deshace();
      struct Restaura {
        LoteRegistros& l;
        std::size_t marca;
        ~Restaura() {
          l.porPuntos_ = false;
          l.abierta_ = std::exchange(l.exterior_, false);
          l.marca_ = marca;
        }
      } restaura{*this, marca_};
      try {
        RehacePorPartes(lineas, kRegistrosPorParte);
      } catch (...) {
        if (!db::CapturadoEsTransaccionPerdida()) throw;
        // the batch's transaction went with a part, and with it the parts
        // before: all of them are done again, one record per transaction
        TomaPendientes(antes);
        for (const Entrada& linea : lineas) Anota(Entrada(linea), Resultado{});
        return Rehace();
      }
    }
    MarcaGrupo();
  }

  // The lines prepared from here on go behind a savepoint of their own.
  void MarcaGrupo() {
    if (!porGrupos_ || porPuntos_ || !abierta_ || cn_.RetenidasRechazadas()) return;
    grupos_.push_back(pendientes_.size());
    cn_.MarcaPuntoTrasEscribir();
  }

  // Each part of `tamano` records held again and committed by itself (or
  // behind a savepoint); refused again, in parts a tenth its size, the
  // smallest record by record in one transaction, each record looked up
  // after the records before it wrote theirs (a trigger of theirs may have
  // changed its row); still not committed, one record per transaction.
  void RehacePorPartes(const std::vector<Entrada>& lote, std::size_t tamano) {
    for (std::size_t i = 0; i < lote.size(); i += tamano) {
      const std::vector<Entrada> parte(
          lote.begin() + static_cast<std::ptrdiff_t>(i),
          lote.begin() + static_cast<std::ptrdiff_t>(std::min(lote.size(), i + tamano)));
      if (!HazParte(parte, true)) {
        if (tamano > kRegistrosPorParteMenor && parte.size() > tamano / 10)
          RehacePorPartes(parte, tamano / 10);
        else if (!HazParte(parte, false))
          Repite(parte);
      }
      if (detenido_) break;
    }
    cn_.DifiereInserciones(difiere_);
  }

  // A table stopped at its maximum of rejections leaves the rest of its
  // batch unprocessed, also when the batch is done again.
  bool PuedeSeguir() {
    if (!detenido_ && continua_ && !continua_()) detenido_ = true;
    return !detenido_;
  }

  // A part in a transaction or savepoint of its own, its rows held or
  // written record by record; false when it did not commit (nothing of it
  // is kept). Only an error of the run, or a lost transaction around its
  // savepoint, leaves it.
  bool HazParte(const std::vector<Entrada>& parte, bool retenida) {
    detenido_ = false;
    try {
      AbreLote();
      cn_.DifiereInserciones(retenida);
      if (retenida && anticipa_) anticipa_(parte);
      bool rechazada = false;
      for (const Entrada& linea : parte) {
        if (!PuedeSeguir()) break;
        Entrada copia(linea);
        if ((rechazada = !Registra(copia))) break;
      }
      if (rechazada || Rechazadas()) {
        Deshace();
        TomaPendientes(marca_);
        return false;
      }
      Confirma();
    } catch (...) {
      if (db::CapturadoEsDeCorrida()) throw;
      if (db::CapturadoEsTransaccionPerdida() && (modo_ != ModoLote::Lotes || porPuntos_)) {
        if (modo_ != ModoLote::Lotes) Rehace();
        throw;
      }
      const ErrorVarlo e = ErrorCapturado();
      Deshace();
      TomaPendientes(marca_);
      if (db::CapturadoEsTransaccionPerdida())
        CuentaRepeticion(e, retenida ? "se repite esa parte registro por registro"
                                     : "se repite esa parte, un registro por transacción");
      return false;
    }
    repeticiones_ = 0;
    if (!porPuntos_) Reporta();
    return true;
  }

  // The lines kept: prepared together, then each processed.
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

  // Past a batch's first lines, fetching their lookups writes the rows held
  // so far: a failure of those has the batch so far done again, as at its
  // commit, before these lines are prepared.
  void Prepara(const std::vector<Entrada>& lineas) {
    AbreLote();
    try {
      anticipa_(lineas);
      if (!cn_.RetenidasRechazadas()) return MarcaGrupo();
      RehaceRechazado();
    } catch (...) {
      if (pendientes_.empty() || !db::CapturadoEsTransaccionPerdida()) throw;
      Rehace();
    }
    AbreLote();
    anticipa_(lineas);
    MarcaGrupo();
  }

  // A severe error can make the database end the transaction by itself:
  // what the batch did is gone, and none of its records may be reported.
  // `rechazada`: the record just refused, which may be why (named then:
  // where nothing can be done again, that line is the one to look at).
  void CompruebaTransaccion(const Entrada* rechazada = nullptr) {
    if (abierta_ && !cn_.TransaccionSigueAbierta())
      throw db::ErrorBaseDatos(
          errores::ErrorEnComando, db::kFuenteBD,
          "La base de datos deshizo la transacción en curso" +
              (rechazada ? " al rechazar la línea " + std::to_string(rechazada->linea) : ""),
          db::ErrorBaseDatos::Clase::TransaccionPerdida);
  }

  // Inside a catch block of a transaction the server ended. With one
  // transaction for the whole table (the delete before importing in it)
  // nothing can be done again: the table ends.
  void Rehace() {
    const ErrorVarlo e = ErrorCapturado();
    if (modo_ != ModoLote::Lotes) {
      DeshaceTabla();
      const std::vector<Entrada> lote = TomaPendientes();
      repeticiones_ = 0;
      if (const Entrada* culpable = porPuntos_ ? QuienDeshace(lote) : nullptr)
        throw db::ErrorBaseDatos(e.Numero(), e.Fuente(),
                                 "La base de datos deshizo la transacción en curso al rechazar "
                                 "la línea " +
                                     std::to_string(culpable->linea),
                                 db::ErrorBaseDatos::Clase::TransaccionPerdida);
      throw e;
    }
    DeshaceTabla();
    const std::vector<Entrada> lote = TomaPendientes();
    CuentaRepeticion(e, "se repite desde su primer registro, uno por transacción");
    RepiteSinPuntos(lote);
  }

  // Rows held together lost the table's transaction, and with it the line
  // to blame: the batch's records are done again one by one, each written
  // at once, in a transaction rolled back after, to find the first that
  // ends it (none, when it was not one of them).
  const Entrada* QuienDeshace(const std::vector<Entrada>& lote) noexcept {
    const Entrada* culpable = nullptr;
    try {
      cn_.DifiereInserciones(false);
      cn_.BeginTrans();
      for (const Entrada& linea : lote) {
        registro_(linea);
        if (!cn_.TransaccionSigueAbierta()) {
          culpable = &linea;
          break;
        }
      }
    } catch (...) {
      // only the line's name is lost
    }
    cn_.RollbackTrans();
    return culpable;
  }

  // One record in its own transaction (or savepoint), reported once it
  // committed; a commit it alone fails rejects it, and so does a refusal
  // that ended its transaction. While the server keeps ending that
  // transaction otherwise, it is done again after a pause.
  void RehaceRegistro(const Entrada& linea) {
    for (;;) {
      try {
        AbreLote();
        // what was read ahead for the lost transaction may have changed since
        if (anticipa_) anticipa_(std::vector<Entrada>{linea});
        Resultado r = registro_(linea);
        if (r.Rechazado() && !porPuntos_ && abierta_ && !cn_.TransaccionSigueAbierta()) {
          // Alone in its transaction, refused, and the transaction gone with
          // the refusal (a trigger's or a constraint's rollback): done again
          // it would end the same way. Nothing of it stays; it is rejected.
          Deshace();
          repeticiones_ = 0;
          return Entrega(linea, std::move(r).SoloRechazos());
        }
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
        return Entrega(linea, std::move(r));
      } catch (...) {
        if (!db::CapturadoEsTransaccionPerdida()) throw;
        if (modo_ != ModoLote::Lotes) Rehace();
        // behind a savepoint the batch's transaction went with it
        if (porPuntos_) throw;
        const ErrorVarlo e = ErrorCapturado();
        Deshace();
        CuentaRepeticion(e, "se repite su registro tras una pausa");
        Pausa();
      }
    }
  }

  // Past the last repetition the table ends with the server's reason.
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

  void Pausa() {
    std::uniform_int_distribution<long> ms(1, kPausaRepeticion.count() * repeticiones_);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms(azar_)));
  }

  // Batch boundary: commits in Lotes mode, then reports.
  void Asienta() {
    bytesDelLote_ = 0;
    if (modo_ != ModoLote::Lotes && !porPuntos_) {
      Reporta();
      return;
    }
    if (!abierta_) {
      // parts done again behind savepoints wait for the batch's end
      if (porPuntos_) Reporta();
      return;
    }
    bool rechazadas = false;
    try {
      if (!(rechazadas = Rechazadas())) Confirma();
    } catch (...) {
      if (db::CapturadoEsTransaccionPerdida()) {
        Rehace();
        Asienta();
        return;
      }
      Deshace();
      db::RelanzaSiEsDeCorrida();
      Repite(TomaPendientes());
      return;
    }
    if (rechazadas) {
      RehaceRechazado();
      Asienta();
      return;
    }
    repeticiones_ = 0;
    Reporta();
  }

  // Each record behind a savepoint of its own would keep the locks of the
  // records before: done again after a lost transaction, a record commits
  // by itself.
  void RepiteSinPuntos(const std::vector<Entrada>& lote) {
    struct Restaura {
      bool& puntos;
      bool antes;
      ~Restaura() { puntos = antes; }
    } restaura{porPuntos_, std::exchange(porPuntos_, false)};
    perdida_ = false;
    Repite(lote);
  }

  // The record's result: reported now, once committed by itself, or with
  // its batch when behind a savepoint.
  void Entrega(const Entrada& linea, Resultado&& r) {
    if (porPuntos_)
      Anota(Entrada(linea), std::move(r));
    else
      publica_(linea, r);
  }

  // One record per transaction, each record's rows written at once: its
  // transaction holds its rows only, and a refusal is its own.
  void Repite(const std::vector<Entrada>& lote) {
    cn_.DifiereInserciones(false);
    detenido_ = false;
    for (const Entrada& linea : lote) {
      if (!PuedeSeguir()) break;
      RehaceRegistro(linea);
    }
    cn_.DifiereInserciones(difiere_);
  }

  // The batch's transaction, or its savepoint inside the table's.
  void AbreLote() {
    if (abierta_) return;
    if (porPuntos_) {
      ExigeTabla();
      Inicia();
      cn_.MarcaPunto();
    } else {
      cn_.BeginTrans();
      grupos_.clear();
    }
    abierta_ = true;
    marca_ = pendientes_.size();
  }

  void Confirma() {
    if (!abierta_) return;
    if (porPuntos_)
      cn_.LiberaPunto();
    else
      cn_.CommitTrans();
    abierta_ = false;
  }

  void Deshace() noexcept {
    if (!abierta_) return;
    abierta_ = false;
    if (!porPuntos_) return cn_.RollbackTrans();
    try {
      cn_.VuelveAlPunto();
    } catch (...) {
      // the savepoint is gone, and with it what the table did before
      DeshaceTabla();
      perdida_ = true;
    }
  }

  // Everything the table did, in its one transaction or its batch's.
  void DeshaceTabla() noexcept {
    if (abierta_ || exterior_) cn_.RollbackTrans();
    abierta_ = exterior_ = false;
  }

  // The table's transaction lost its earlier work: nothing of it may go on.
  void ExigeTabla() const {
    if (perdida_)
      throw db::ErrorBaseDatos(errores::ErrorEnComando, db::kFuenteBD,
                               "La base de datos deshizo la transacción en curso",
                               db::ErrorBaseDatos::Clase::TransaccionPerdida);
  }

  void Reporta() {
    for (const auto& [linea, r] : pendientes_) publica_(linea, r);
    pendientes_.clear();
    sinReportar_ = 0;
  }

  db::Conexion& cn_;
  ModoLote modo_;
  // a batch, or a part or record done again, is a savepoint in the table's
  // or the batch's transaction
  bool porPuntos_;
  // each group of lines prepared together behind a savepoint in the batch's
  bool porGrupos_ = false;
  std::size_t tamano_;
  Registro registro_;
  Publica publica_;
  RechazoConfirmacion rechazo_;
  Anticipacion anticipa_;
  Continua continua_;
  std::function<bool()> antesDeConfirmar_;
  long sinReportar_ = 0;
  std::size_t bytesDelLote_ = 0;
  Aviso aviso_;
  int repeticiones_ = 0;  // of the batch in progress, since its last commit
  std::minstd_rand azar_{std::random_device{}()};
  bool abierta_ = false;   // the batch's transaction, or its savepoint
  bool exterior_ = false;  // the table's or batch's transaction, around the savepoints
  std::size_t marca_ = 0;  // the first of pendientes_ done since abierta_ began
  // the first of pendientes_ of each group behind a savepoint, in order
  std::vector<std::size_t> grupos_;
  bool perdida_ = false;  // a savepoint that could not be gone back to
  bool detenido_ = false;
  bool difiere_ = false;
  std::vector<Entrada> porProcesar_;
  // records processed and not reported yet, with their results
  std::vector<std::pair<Entrada, Resultado>> pendientes_;
};

}  // namespace varlo
