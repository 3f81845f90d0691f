#pragma once
// The terminal of the person running the program (/dev/tty): questions are
// asked and answered there even when stderr goes to a file, and a password
// is read without echo.
#include <optional>
#include <string>
#include <string_view>

namespace varlo {

class Terminal {
 public:
  explicit Terminal(const std::string& ruta = "/dev/tty");
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // False when there is no terminal (a service, cron).
  bool Abierta() const { return fd_ >= 0; }

  void Escribe(std::string_view texto);

  // Shows `texto` and reads one line, without its end. Without echo the
  // echo is off before the question shows, so nothing typed is ever shown.
  // Nothing at the end of input, or when the run was asked to stop (before
  // or while waiting).
  std::optional<std::string> Pregunta(std::string_view texto, bool eco = true);

 private:
  int fd_ = -1;
};

}  // namespace varlo
