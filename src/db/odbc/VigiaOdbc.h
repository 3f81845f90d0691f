#pragma once
// The client-side bound on every wait of one ODBC connection. The server
// enforces the statement wait itself, but a server that stops answering
// (a paused machine, a network that drops everything) enforces nothing, and
// a blocked driver call would wait for ever. Each call is watched from two
// threads of this object, in three steps past its wait plus a margin:
//   1. the call is cancelled (SQLCancel, the ODBC call meant to be made from
//      another thread), which a live server answers at once;
//   2. when it still has not returned, the connection's sockets are shut down
//      from this side: the blocked call returns with the connection closed,
//      and the connection is lost for good (the run ends as any lost
//      connection ends it);
//   3. when even that does not bring it back, the run is ended from this
//      side (TerminaCorridaForzada): error line, log and summary, status 3.
// The cancel runs on a thread of its own, so a cancel that hangs (it opens
// a connection of its own on some drivers) cannot delay steps 2 and 3.
// The callers see none of this: a Guardia lives for the length of a call.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace varlo::db::odbc {

class VigiaOdbc {
 public:
  using Reloj = std::chrono::steady_clock;
  // Past the wait: before the cancel, before the cut, before the end.
  struct Plazos {
    Reloj::duration cancelacion = std::chrono::seconds(2);
    Reloj::duration corte = std::chrono::seconds(3);
    Reloj::duration fin = std::chrono::seconds(3);
  };

  VigiaOdbc();
  explicit VigiaOdbc(Plazos plazos);
  ~VigiaOdbc();
  VigiaOdbc(const VigiaOdbc&) = delete;
  VigiaOdbc& operator=(const VigiaOdbc&) = delete;

  // Watches one call for as long as it lives.
  class [[nodiscard]] Guardia {
   public:
    explicit Guardia(VigiaOdbc& v) : vigia_(&v) {}
    ~Guardia() { vigia_->Desarma(); }
    Guardia(const Guardia&) = delete;
    Guardia& operator=(const Guardia&) = delete;

   private:
    VigiaOdbc* vigia_;
  };

  // `que` names the wait in the messages; `cancela` (may be empty: a login,
  // a commit have nothing to cancel) must not throw.
  Guardia Vigila(Reloj::duration espera, std::string que, std::function<void()> cancela);
  // How to cut the connection from this side (step 2); it must not block.
  void EstableceCorte(std::function<void()> corta);
  // Whether the connection was cut: no further call may use it.
  bool Cortada() const;
  // The description of the error a cut call raises.
  std::string DescripcionCorte() const;

 private:
  void Desarma() noexcept;
  void Cancelador(std::stop_token st);
  void Cortador(std::stop_token st);
  // Waits until `plazo` unless the call of `turno` ends first; true when it
  // is still running at `plazo`.
  bool SigueEn(std::unique_lock<std::mutex>& l, std::stop_token& st, std::uint64_t turno,
               Reloj::time_point plazo);

  Plazos plazos_;
  mutable std::mutex m_;
  std::condition_variable_any cv_;
  bool armada_ = false;
  std::uint64_t turno_ = 0;  // one per call watched
  Reloj::time_point inicio_{};
  Reloj::duration espera_{0};
  std::string que_;
  std::function<void()> cancela_;
  std::function<void()> corta_;
  bool cancelando_ = false;
  // Until when each thread sleeps (max: until a call is watched).
  Reloj::time_point despiertaCancelador_ = Reloj::time_point::max();
  Reloj::time_point despiertaCortador_ = Reloj::time_point::max();
  bool cortada_ = false;
  std::string descripcionCorte_;
  // Last: started once everything they read exists, stopped first.
  std::jthread cancelador_;
  std::jthread cortador_;
};

}  // namespace varlo::db::odbc
