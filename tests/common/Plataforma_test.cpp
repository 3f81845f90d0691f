// The operating-system services of a run: requests to stop and the
// terminal's questions (the folder's lock is checked on the program itself).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/Interrupcion.h"
#include "common/Terminal.h"

namespace varlo {
namespace {

// The first SIGINT is only noted; SIGPIPE is ignored; a second SIGINT ends
// the process. A forked child, so the test program keeps its own handlers.
TEST(Interrupcion, FirstSignalIsNotedTheSecondEnds) {
  EXPECT_EXIT(
      {
        InstalaManejadoresInterrupcion();
        std::raise(SIGINT);
        std::raise(SIGPIPE);
        std::fprintf(stderr, "anotada %d\n", SenalInterrupcion());
        std::raise(SIGINT);
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "anotada 2");
}

// A pseudo-terminal whose far end the test types into.
class Pty {
 public:
  Pty() {
    maestro_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (maestro_ >= 0 && grantpt(maestro_) == 0 && unlockpt(maestro_) == 0)
      esclavo_ = ptsname(maestro_);
  }
  ~Pty() {
    if (maestro_ >= 0) close(maestro_);
  }
  const std::string& Esclavo() const { return esclavo_; }
  // What the terminal showed until `hasta` appeared (or a few seconds passed).
  std::string LeeHasta(const std::string& hasta) {
    std::string visto;
    pollfd p{maestro_, POLLIN, 0};
    while (visto.find(hasta) == std::string::npos && poll(&p, 1, 5000) > 0) {
      char b[256];
      ssize_t n = read(maestro_, b, sizeof b);
      if (n <= 0) break;
      visto.append(b, static_cast<std::size_t>(n));
    }
    return visto;
  }
  void Teclea(const std::string& t) {
    ASSERT_EQ(write(maestro_, t.data(), t.size()), static_cast<ssize_t>(t.size()));
  }

 private:
  int maestro_ = -1;
  std::string esclavo_;
};

TEST(Terminal, AnswersAreReadOnTheTerminalAndAPasswordIsNotEchoed) {
  Pty pty;
  ASSERT_FALSE(pty.Esclavo().empty());
  Terminal t(pty.Esclavo());
  ASSERT_TRUE(t.Abierta());
  std::string visto;
  std::thread persona([&] {
    visto = pty.LeeHasta("Usuario: ");
    pty.Teclea("ana\n");
    visto += pty.LeeHasta("Contraseña: ");
    pty.Teclea("secreto\n");
    visto += pty.LeeHasta("\n");
  });
  const auto usuario = t.Pregunta("Usuario: ");
  const auto clave = t.Pregunta("Contraseña: ", false);
  t.Escribe("fin\n");
  persona.join();
  EXPECT_EQ(usuario, "ana");
  EXPECT_EQ(clave, "secreto");
  EXPECT_NE(visto.find("ana"), std::string::npos) << visto;
  EXPECT_EQ(visto.find("secreto"), std::string::npos) << visto;

  PideInterrupcion(SIGTERM);  // a run asked to stop asks nothing more
  EXPECT_EQ(t.Pregunta("¿Otra? "), std::nullopt);
  PideInterrupcion(0);
}

}  // namespace
}  // namespace varlo
