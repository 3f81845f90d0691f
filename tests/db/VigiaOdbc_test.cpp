// The client-side bound on an ODBC call, with a call that stands for a
// driver blocked on a server that never answers: it is cancelled, then cut,
// then the run is ended, each only when the step before did not bring the
// call back.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "db/ErrorDeCorrida.h"
#include "db/odbc/VigiaOdbc.h"

namespace varlo::db::odbc {
namespace {

using namespace std::chrono_literals;

// Short steps, so that every case ends in a fraction of a second.
VigiaOdbc::Plazos Cortos() {
  VigiaOdbc::Plazos p;
  p.cancelacion = 20ms;
  p.corte = 100ms;
  p.fin = 200ms;
  return p;
}

// A blocked driver call: it returns once one of the events it heeds happened.
class LlamadaBloqueada {
 public:
  enum class Evento { Cancelacion, Corte };
  // Waits for `despierta` (at most 5 s, so that a broken watchdog fails the
  // test instead of hanging it); true when it came.
  bool Espera(Evento despierta) {
    std::unique_lock l(m_);
    return cv_.wait_for(l, 5s,
                        [&] { return despierta == Evento::Cancelacion ? cancelada_ : cortada_; });
  }
  void Cancela() { Anota(cancelada_, "cancela "); }
  void Corta() { Anota(cortada_, "corta "); }
  std::string Orden() {
    std::lock_guard l(m_);
    return orden_;
  }

 private:
  void Anota(bool& evento, const char* texto) {
    std::lock_guard l(m_);
    evento = true;
    orden_ += texto;
    cv_.notify_all();
  }
  std::mutex m_;
  std::condition_variable cv_;
  bool cancelada_ = false, cortada_ = false;
  std::string orden_;
};

// Calls that end within their wait are neither cancelled nor cut; a live
// server answers the cancel of one that does not, and the connection goes
// on: the next call is watched afresh.
TEST(VigiaOdbc, UnServidorVivoRespondeALaCancelacionYLaConexionSigue) {
  VigiaOdbc vigia(Cortos());
  LlamadaBloqueada llamada, otra;
  vigia.EstableceCorte([&] { llamada.Corta(); });
  for (int i = 0; i < 50; ++i)
    const VigiaOdbc::Guardia g = vigia.Vigila(500ms, "sentencia", [&] { otra.Cancela(); });
  {
    const VigiaOdbc::Guardia g = vigia.Vigila(500ms, "sentencia", [&] { otra.Cancela(); });
    std::this_thread::sleep_for(30ms);  // within its wait
  }
  for (LlamadaBloqueada* l : {&llamada, &otra}) {
    const VigiaOdbc::Guardia g = vigia.Vigila(0ms, "sentencia", [l] { l->Cancela(); });
    EXPECT_TRUE(l->Espera(LlamadaBloqueada::Evento::Cancelacion));
  }
  // long past every step of the calls above
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(llamada.Orden(), "cancela ");
  EXPECT_EQ(otra.Orden(), "cancela ");  // once, and not for the calls in time
  EXPECT_FALSE(vigia.Cortada());
}

// A call deaf to its cancel is cut and the connection is lost; a cancel
// that itself never returns (a cancel opens a connection of its own) does
// not hold back the cut.
TEST(VigiaOdbc, UnaLlamadaSordaALaCancelacionSeCortaAunqueLaCancelacionSeCuelgue) {
  for (const bool colgada : {false, true}) {
    SCOPED_TRACE(colgada ? "cancelación colgada" : "cancelación que vuelve");
    VigiaOdbc vigia(Cortos());
    LlamadaBloqueada llamada, cancelacion;
    vigia.EstableceCorte([&] {
      llamada.Corta();
      cancelacion.Corta();  // the cut also frees the hung cancel, as closing a socket would
    });
    {
      const VigiaOdbc::Guardia g = vigia.Vigila(0ms, "confirmación", [&] {
        llamada.Cancela();
        if (colgada) cancelacion.Espera(LlamadaBloqueada::Evento::Corte);
      });
      EXPECT_TRUE(llamada.Espera(LlamadaBloqueada::Evento::Corte));
    }
    EXPECT_EQ(llamada.Orden(), "cancela corta ");
    EXPECT_TRUE(vigia.Cortada());
    EXPECT_NE(vigia.DescripcionCorte().find("confirmación"), std::string::npos)
        << vigia.DescripcionCorte();
  }
}

TEST(VigiaOdbcMuerte, UnaLlamadaQueNadaDevuelveTerminaLaCorridaConEstado3) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        EstableceFinForzado([](const ErrorVarlo& e) {
          std::fprintf(stderr, "fin: %ld %s\n", e.Numero(), e.Descripcion().c_str());
        });
        VigiaOdbc vigia(Cortos());
        LlamadaBloqueada nunca;
        vigia.EstableceCorte([] {});
        const VigiaOdbc::Guardia g = vigia.Vigila(0ms, "sentencia", [] {});
        nunca.Espera(LlamadaBloqueada::Evento::Corte);
        std::fprintf(stderr, "la llamada siguió\n");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(3), "fin: -2147217871 El servidor de base de datos no respondió");
}

}  // namespace
}  // namespace varlo::db::odbc
