#pragma once
// Runs the built console program as a child process with a private
// program folder, and gives back its exit status, stdout and stderr.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

struct Salida {
  int estado = -1;  // 128 + the signal when a signal ended it
  std::string err;
  std::string out;
};

enum class Errores { Archivo, TuberiaCerrada, Cerrado, Terminal };

struct Ejecucion {
  std::vector<std::string> args{};
  std::string carpeta{};               // --carpeta, unless empty
  std::vector<std::string> entorno{};  // more "NAME=value"
  bool comoNadie = false;              // as user nobody when the tests run as root
  Errores errores = Errores::Archivo;
  std::string directorio{};  // the working folder, unless empty
};

namespace detalle {
// In the child: the environment of a plain run, then exec.
[[noreturn]] inline void Lanza(const Ejecucion& e) {
  unsetenv("VARLODI_CARPETA");
  unsetenv("STATE_DIRECTORY");
  setenv("LC_ALL", "C", 1);
  for (const std::string& v : e.entorno) putenv(const_cast<char*>(v.c_str()));
  if (!e.directorio.empty() && chdir(e.directorio.c_str()) != 0) _exit(125);
  if (e.comoNadie && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
  std::vector<std::string> args{std::string(VARLODI_BIN_DIR) + "/varlodi"};
  if (!e.carpeta.empty()) args.insert(args.end(), {"--carpeta", e.carpeta});
  args.insert(args.end(), e.args.begin(), e.args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// A program that hangs (on a FIFO, on a question) is killed after half a
// minute, and its status then says SIGKILL.
inline int Espera(pid_t hijo) {
  int st = 0;
  for (int i = 0; i < 3000 && waitpid(hijo, &st, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(hijo, &st, WNOHANG) == 0) {
    kill(hijo, SIGKILL);
    waitpid(hijo, &st, 0);
  }
  return WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
}
}  // namespace detalle

// stdin is /dev/null; outputs go through files of `tmp`.
inline Salida Ejecuta(const CarpetaTemporal& tmp, const Ejecucion& e) {
  const std::string out = tmp.Archivo(".out"), err = tmp.Archivo(".err");
  int tubo[2] = {-1, -1};
  if (e.errores == Errores::TuberiaCerrada && pipe(tubo) == 0) close(tubo[0]);  // nobody reads
  pid_t hijo = fork();
  if (hijo == 0) {
    int nulo = open("/dev/null", O_RDONLY);
    dup2(nulo, 0);
    int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fo, 1);
    if (e.errores == Errores::Archivo) {
      dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    } else if (e.errores == Errores::TuberiaCerrada) {
      dup2(tubo[1], 2);
    } else {
      close(2);
    }
    detalle::Lanza(e);
  }
  if (tubo[1] >= 0) close(tubo[1]);
  Salida s;
  s.estado = detalle::Espera(hijo);
  s.out = LeeBytes(out);
  s.err = LeeBytes(err);
  return s;
}

// On a pseudo-terminal: stdin, stdout and /dev/tty are the terminal, stderr
// a file unless it is Errores::Terminal. The test reads what the terminal
// shows and types the answers.
class EnTerminal {
 public:
  EnTerminal(const CarpetaTemporal& tmp, const Ejecucion& e) : err_(tmp.Archivo(".err")) {
    hijo_ = forkpty(&maestro_, nullptr, nullptr, nullptr);
    if (hijo_ == 0) {
      if (e.errores != Errores::Terminal)
        dup2(open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      detalle::Lanza(e);
    }
  }
  ~EnTerminal() {
    if (hijo_ > 0) kill(hijo_, SIGKILL), detalle::Espera(hijo_);
    if (maestro_ >= 0) close(maestro_);
  }
  EnTerminal(const EnTerminal&) = delete;
  EnTerminal& operator=(const EnTerminal&) = delete;

  pid_t Pid() const { return hijo_; }
  // What the terminal showed until `hasta` appeared (or it went quiet for some seconds).
  std::string LeeHasta(const std::string& hasta) {
    pollfd p{maestro_, POLLIN, 0};
    while (visto_.find(hasta) == std::string::npos && poll(&p, 1, 10000) > 0) {
      char b[512];
      ssize_t n = read(maestro_, b, sizeof b);
      if (n <= 0) break;
      visto_.append(b, static_cast<std::size_t>(n));
    }
    return visto_;
  }
  void Teclea(const std::string& t) {
    if (write(maestro_, t.data(), t.size()) < 0) return;
  }
  Salida Termina() {
    LeeHasta("\x01");  // everything until the program closes the terminal
    Salida s;
    s.estado = detalle::Espera(hijo_);
    hijo_ = -1;
    s.out = visto_;
    s.err = LeeBytes(err_);
    return s;
  }

 private:
  std::string err_;
  int maestro_ = -1;
  pid_t hijo_ = -1;
  std::string visto_;
};

}  // namespace varlo::prueba
