#include "common/Terminal.h"

#include <cerrno>

#include "common/Interrupcion.h"

// POSIX: a Windows build replaces this file (the console's CONIN$/CONOUT$).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace varlo {

namespace {
// Echo off for one answer; the terminal gets its settings back however the
// reading ends.
class SinEco {
 public:
  explicit SinEco(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &antes_) != 0) return;
    termios t = antes_;
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    t.c_lflag |= ECHONL;  // the Enter still moves to the next line
    activo_ = tcsetattr(fd_, TCSAFLUSH, &t) == 0;
  }
  ~SinEco() {
    if (activo_) tcsetattr(fd_, TCSAFLUSH, &antes_);
  }
  SinEco(const SinEco&) = delete;
  SinEco& operator=(const SinEco&) = delete;

 private:
  int fd_;
  termios antes_{};
  bool activo_ = false;
};

// SIGINT, SIGTERM and SIGHUP held back outside the wait, so a request to stop that
// comes between the last look at it and the wait still ends the wait.
class SenalesRetenidas {
 public:
  SenalesRetenidas() {
    sigset_t retenidas;
    sigemptyset(&retenidas);
    sigaddset(&retenidas, SIGINT);
    sigaddset(&retenidas, SIGTERM);
    sigaddset(&retenidas, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &retenidas, &antes_);
  }
  ~SenalesRetenidas() { pthread_sigmask(SIG_SETMASK, &antes_, nullptr); }
  SenalesRetenidas(const SenalesRetenidas&) = delete;
  SenalesRetenidas& operator=(const SenalesRetenidas&) = delete;
  const sigset_t& Antes() const { return antes_; }

 private:
  sigset_t antes_;
};
}  // namespace

Terminal::Terminal(const std::string& ruta) {
  fd_ = open(ruta.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

Terminal::~Terminal() {
  if (fd_ >= 0) close(fd_);
}

void Terminal::Escribe(std::string_view texto) {
  while (fd_ >= 0 && !texto.empty()) {
    ssize_t n = write(fd_, texto.data(), texto.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    texto.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::optional<std::string> Terminal::Pregunta(std::string_view texto, bool eco) {
  if (fd_ < 0 || InterrupcionPedida()) return std::nullopt;
  std::optional<SinEco> sinEco;
  if (!eco) sinEco.emplace(fd_);
  Escribe(texto);
  SenalesRetenidas retenidas;
  std::string linea;
  while (true) {
    // The signals come through only inside ppoll, which a signal always ends.
    if (InterrupcionPedida()) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    if (ppoll(&p, 1, nullptr, &retenidas.Antes()) < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    char c;
    ssize_t n = read(fd_, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (linea.empty()) return std::nullopt;
      break;
    }
    if (c == '\n') break;
    linea += c;
  }
  if (!linea.empty() && linea.back() == '\r') linea.pop_back();
  return linea;
}

}  // namespace varlo
