#include "common/Interrupcion.h"

#include <atomic>
#include <csignal>

namespace varlo {

namespace {
std::atomic<int> gSenal{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "the handler may only touch a lock-free atomic");

void NotaSenal(int senal) {
  gSenal.store(senal);
}
}  // namespace

void InstalaManejadoresInterrupcion() {
#ifdef _WIN32
  std::signal(SIGINT, NotaSenal);
  std::signal(SIGTERM, NotaSenal);
#else
  struct sigaction sa {};
  sa.sa_handler = NotaSenal;
  sigemptyset(&sa.sa_mask);
  // Reads and writes go on after the signal; the second one finds the
  // default action again and ends the program.
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A closed terminal or session stops the run the same way.
  sigaction(SIGHUP, &sa, nullptr);
  struct sigaction ignora {};
  ignora.sa_handler = SIG_IGN;
  sigemptyset(&ignora.sa_mask);
  sigaction(SIGPIPE, &ignora, nullptr);
#endif
}

bool InterrupcionPedida() {
  return gSenal.load() != 0;
}

int SenalInterrupcion() {
  return gSenal.load();
}

void PideInterrupcion(int senal) {
  gSenal.store(senal);
}

}  // namespace varlo
