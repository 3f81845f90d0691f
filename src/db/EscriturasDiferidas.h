#pragma once
// New rows and changes of rows found by their locator (or, where the
// database has none, by their keys), held back and written together (a
// multi-row INSERT or UPDATE, or the backend's own copy of new rows) instead
// of one statement per record. Every
// other statement writes the held rows first, so whatever runs next sees
// them; a rollback drops them.
//
// A held row that the database refuses is not any one record's fault at
// that point, and no record's call is told: the refusal is kept (Rechazadas)
// and the transaction begun again, empty (inside a savepoint, taken back to
// it), so the record in progress ends harmlessly on it. The caller then
// rolls it back and does the batch again, that record included, each record
// with its own verdict; a commit with a refusal kept fails.
//
// Where the backend cannot write without waiting by itself (SQLite, ODBC), what is
// held may be written on a thread of its own (EnSegundoPlano) while the
// engine processes the next records: every call that reaches the backend
// waits for it first, as for a write the backend sent without waiting. It
// uses a dialect of its own, never the connection's.
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/Backend.h"

namespace varlo::db {

class EscriturasDiferidas final : public Backend {
 public:
  EscriturasDiferidas(std::unique_ptr<Backend> backend, std::shared_ptr<const Dialecto> dialecto);
  // Waits for a write in the background; its error is dropped (a rollback
  // or the end of the connection follows).
  ~EscriturasDiferidas() override;

  // Whether Escribe may return before what is held is written.
  void EnSegundoPlano(bool si) { segundoPlano_ = si; }

  // Whether new rows are held (the caller replays a batch that fails).
  void Activa(bool activa);
  bool Activas() const noexcept { return activas_; }
  // Holds the new row when active inside a transaction (only a rollback
  // undoes what a refusal left half written), taking its values (moved
  // from); false, the values left, when it must be written now.
  bool Difiere(const std::string& tabla, std::vector<std::pair<std::string, Valor>>& valores);
  // The same for a change of a row read before, taking `a`.
  bool DifiereActualizacion(ActualizacionDiferible& a);
  // Writes what is held, in the background where that is on.
  void Escribe();
  // Writes what is held, and waits for its verdict.
  void EscribeAhora();
  // Writes what is held once it is kFilasRetenidas rows, after the verdict of
  // the last such write: records served rows read ahead run no statement that
  // would write them or read a refusal, and one planning line holds a row per
  // day of its range.
  void EscribeSiSonMuchas() {
    if (retenidas_.size() < kFilasRetenidas) return;
    Veredicto();
    Escribe();
  }
  static constexpr std::size_t kFilasRetenidas = 10000;
  // Whether rows held in the open transaction were refused (a rollback
  // forgets it), and the first refusal.
  bool Rechazadas() const noexcept { return rechazo_.has_value(); }
  const std::optional<ErrorVarlo>& Rechazo() const noexcept { return rechazo_; }
  // The table's column types, asked of the catalog the first time; nullptr
  // where the database has no such catalog.
  const TiposTabla* Tipos(const std::string& tabla) {
    Espera();
    // asking the catalog needs the backend's session: a copy still open
    // is ended, and its verdict read, only then
    if (!tiposColumnas_.contains(tabla)) Veredicto();
    return TiposDe(tabla);
  }
  // A query that does not need what is held: run before it is written.
  ResultadoConsulta ConsultaAntesDeEscribir(const SentenciaSql& s, long maxRegistros) {
    Veredicto();
    return backend_->Consulta(s, maxRegistros);
  }
  bool EscribeSinEsperar() const override { return segundoPlano_ || backend_->EscribeSinEsperar(); }
  // It needs nothing held: what is held is not written first.
  bool EnviaConsultaAparte(const SentenciaSql& s) override {
    Espera();
    return backend_->EnviaConsultaAparte(s);
  }
  bool ConsultaAparteAdmitida() const override { return backend_->ConsultaAparteAdmitida(); }
  // That session is not the writer's: its rows are read while the write in
  // the background goes on.
  ResultadoConsulta RecibeConsultaAparte() override { return backend_->RecibeConsultaAparte(); }

  Motor MotorBD() const override { return backend_->MotorBD(); }
  bool Abierta() const override { return backend_->Abierta(); }
  ResultadoConsulta Consulta(const SentenciaSql& s, long maxRegistros) override;
  long Ejecuta(const SentenciaSql& s) override;
  std::vector<std::string> TablasBase() override;
  void IniciaTransaccion() override;
  void ConfirmaTransaccion() override;
  void DeshaceTransaccion() noexcept override;
  // A refusal inside the savepoint undoes what followed it and marks it
  // again; releasing it with a refusal kept fails, as a commit would.
  bool PuntoAdmitido() const override { return backend_->PuntoAdmitido(); }
  void MarcaPunto() override;
  void LiberaPunto() override;
  void VuelveAlPunto() override;
  // On the writer's thread, after what it writes: the savepoint before is
  // released and another marked.
  bool PuntoTrasEscribirAdmitido() const { return segundoPlano_ && backend_->PuntoAdmitido(); }
  void MarcaPuntoTrasEscribir();
  std::size_t PuntosMarcados() const noexcept { return marcados_; }
  // While rows are written in the background, or their verdict not read,
  // the transaction is taken as open: a refusal that ended it is kept with
  // the next call, which begins it again.
  bool EnTransaccion() const override { return enCurso_.valid() || backend_->EnTransaccion(); }
  bool TransaccionAbiertaEnServidor() override {
    return enCurso_.valid() || sinVeredicto_ || backend_->TransaccionAbiertaEnServidor();
  }
  std::optional<bool> TieneLocalizador(const std::string& tablaSql) override {
    Veredicto();
    return backend_->TieneLocalizador(tablaSql);
  }
  std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& partes) override {
    Veredicto();
    return backend_->NombreCatalogo(partes);
  }
  void Cierra() override;

 private:
  struct Fila {
    std::string tabla;
    std::vector<std::pair<std::string, Valor>> valores;
  };
  // One held write: a new row, or the change of a row.
  struct Escritura {
    bool nueva = true;
    Fila fila;
    ActualizacionDiferible cambio;
  };
  static bool MismasColumnas(const Escritura& a, const Escritura& b);
  // A change found by its keys, with no locator.
  static bool PorLlaves(const Escritura& e);
  // Its keys' loose form (db::SueltaLlave).
  static std::string LlaveSuelta(const Escritura& e);
  // Where the others have a locator, the changes found by their keys are
  // changes of rows the batch added or moved: they go after every other
  // write, and so after the writes of their rows. Among them the first change
  // of each key goes first, then the second..., so that one statement
  // changes many rows and each row once, in file order. A write that another
  // row's needed first meets a constraint's refusal, and the batch is then
  // done again one record at a time.
  static void OrdenaPorLlaves(std::vector<Escritura>& escrituras);
  // How far that may go, the most a table of `escrituras` allows: only where
  // nothing the database checks or runs sees the order of different rows'
  // writes (ObservadoresOrden). A unique index on other columns than the
  // keys would: a line that takes a value another row holds is refused one
  // record at a time even when a later line frees it, and must be refused in
  // a batch too. New rows only take values, so writing them first can only
  // meet more refusals, which have the batch done again one record at a
  // time: that much stays. A trigger per row (or what cannot be asked) keeps
  // file order.
  enum class Orden { Archivo, NuevasPrimero, PorLlaves };
  Orden OrdenPosible(const std::vector<Escritura>& escrituras);
  // A table's order, and its unique indexes on other columns than the keys
  // (their columns; `conocidos` false where the catalog could not name one's
  // columns as the guard compares them: ObservadoresOrden's empty rows).
  struct OrdenTabla {
    Orden orden;
    std::vector<std::vector<std::string>> indices;
    bool conocidos;
  };
  // From the catalog; `a` one of the table's changes.
  OrdenTabla OrdenDeTabla(const ActualizacionDiferible& a);
  // The same, asked once per table.
  const OrdenTabla& OrdenDe(const ActualizacionDiferible& a);
  // Whether a row's binary values (pictures) may be held with the others:
  // where the dialect's batch statements carry them, or for a new row the
  // backend's copy does, while the pictures held stay below kBytesRetenidos
  // (a batch of them would fill memory); they then count as held.
  bool CabenBytes(const std::vector<std::pair<std::string, Valor>>& valores, bool nueva);
  static constexpr std::size_t kBytesRetenidos = std::size_t{8} << 20;
  std::size_t bytesRetenidos_ = 0;
  // Writes what is held on this thread, its refusal kept (Rechaza).
  void EscribeRetenidas();
  // Waits for the write in the background, its refusal kept.
  void Espera();
  // That, and the verdict of what the backend wrote without waiting:
  // before any call that the backend's session runs.
  void Veredicto();
  // Runs the write `escribe`, its refusal kept. The run's errors, and a
  // transaction the server ended, are everyone's: they are raised.
  void ConVeredicto(const std::function<void()>& escribe);
  // Keeps the first refusal, forgets what is held and begins the
  // transaction again (inside a savepoint, goes back to it).
  void Rechaza(const ErrorVarlo& e);
  // Raises the refusal kept, if any: `que` ("la transacción", "el lote")
  // is not committed.
  void ExigeSinRechazo(const std::string& que) const;
  // The write in the background waited for, its verdict dropped, and what
  // is held forgotten: a rollback follows.
  void Abandona() noexcept;
  // The write in the background, waited for; its error raised as it came.
  void Termina();
  // Writes the new rows from `desde` on that one copy can take, with the
  // values of each row moved out (copied with `copia`); where the next ones start.
  std::size_t EscribeCopia(std::vector<Escritura>& escrituras, std::size_t desde, bool copia);
  // Writes those, in file order.
  void EscribeTodas(std::vector<Escritura>& escrituras, bool copia);
  const TiposTabla* TiposDe(const std::string& tabla);
  // Whether rules of the table's own rewrite its writes (a copy runs none).
  bool ConReglas(const std::string& tabla) {
    const TiposTabla* tipos = TiposDe(tabla);
    return tipos && tipos->reglas;
  }
  // Writes the held writes [desde, hasta), all of one kind and shape, their
  // values moved out. `copia`: on another thread, which must free none of
  // them: new rows are copied, changes given back once written.
  void EscribeGrupo(std::vector<Escritura>& escrituras, std::size_t desde, std::size_t hasta,
                    bool copia);

  // The change of rows [desde, hasta) with each column as one array, where
  // the backend binds arrays and every column's type is known; the rows it
  // changed, or nothing when it was not written that way.
  // With `indices` (OrdenTabla's), guarded so that it changes no row where
  // one statement could end otherwise than one change at a time in file
  // order; nothing where it cannot be guarded.
  std::optional<long> ActualizaPorArreglos(const std::vector<ActualizacionDiferible>& cambios,
                                           const std::vector<std::vector<std::string>>* indices);
  // Writes `cambios` together as the dialect and backend allow; the count
  // of rows they changed.
  std::size_t EscribeCambios(const std::vector<ActualizacionDiferible>& cambios);
  // Ends the savepoint marked last, if any, and marks the next.
  void MarcaSiguiente();
  // No transaction of this layer's is open, nor a savepoint in it.
  void SinTransaccion() noexcept {
    transaccion_ = punto_ = false;
    marcados_ = 0;
  }

  std::unique_ptr<Backend> backend_;
  std::shared_ptr<const Dialecto> dialecto_;
  bool activas_ = false;
  std::vector<Escritura> retenidas_;
  // Each table's column types, asked of the catalog once.
  std::map<std::string, TiposTabla> tiposColumnas_;
  // Each table's OrdenDeTabla, asked once.
  std::map<std::string, OrdenTabla> ordenTablas_;
  bool segundoPlano_ = false;
  // the backend wrote without waiting: its verdict has not been read
  bool sinVeredicto_ = false;
  std::optional<ErrorVarlo> rechazo_;
  // begun here and not ended here: one is begun again after a refusal,
  // even where the server ended it with the refusal
  bool transaccion_ = false;
  // a savepoint marked here and not ended: a refusal goes back to it
  bool punto_ = false;
  // savepoints MarcaPuntoTrasEscribir marked in the transaction
  std::size_t marcados_ = 0;
  // what the write in the background writes, and that write while it has
  // not been waited for (declared last: gone first)
  std::vector<Escritura> escribiendo_;
  std::future<void> enCurso_;
};

}  // namespace varlo::db
