#pragma once
// The console program copied into a test's folder, so that its "Log" folder
// is that folder's, and started there on a definitions file.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace varlo::prueba {

inline void CopiaPrograma(const std::string& carpeta) {
  std::filesystem::copy_file(std::string(VARLODI_BIN_DIR) + "/varlodi", carpeta + "/varlodi");
}

// Starts the copy in `carpeta` (its working folder too) on `defs`, under the
// C locale, with stdin empty and stdout and stderr in "salida.txt" and
// "errores.txt"; returns its pid. `opciones` go before the path as they are;
// `delante`, a command that runs the program (a tracer), before it.
inline pid_t LanzaCopia(const std::string& carpeta, const std::string& defs = "defs.ini",
                        const std::string& opciones = "", const std::string& delante = "") {
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string orden = "cd '" + carpeta + "' && LC_ALL=C exec " + delante + " ./varlodi " +
                              opciones + " '" + defs + "' </dev/null >salida.txt 2>errores.txt";
    execl("/bin/sh", "sh", "-c", orden.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Runs the copy to its end; its exit status, 128 + the signal that ended it.
inline int CorreCopia(const std::string& carpeta, const std::string& defs = "defs.ini",
                      const std::string& opciones = "", const std::string& delante = "") {
  int st = 0;
  waitpid(LanzaCopia(carpeta, defs, opciones, delante), &st, 0);
  return WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
}

// CorreCopia, and in `microsegundos` how long the run took: the span that
// random kills are spread over.
inline int CorreCopiaMidiendo(const std::string& carpeta, long& microsegundos) {
  const auto inicio = std::chrono::steady_clock::now();
  const int estado = CorreCopia(carpeta);
  microsegundos = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now() - inicio)
                                        .count());
  return estado;
}

}  // namespace varlo::prueba
