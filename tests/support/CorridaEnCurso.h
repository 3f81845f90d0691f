#pragma once
// The copied console program caught in the middle of a run: started, and
// waited on until a file it writes (a result file: its first batch is
// committed) has bytes, so that a test can stop it there.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/ProgramaCopiado.h"

namespace varlo::prueba {

// The running program's pid, or -1 when it ended before `archivo` had bytes.
inline pid_t LanzaHastaQueEscriba(const std::string& carpeta, const std::string& archivo,
                                  const std::string& opciones = "") {
  const pid_t pid = LanzaCopia(carpeta, "defs.ini", opciones);
  if (pid <= 0) return -1;
  for (std::error_code ec; !(std::filesystem::file_size(archivo, ec) > 0 && !ec);) {
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) == pid) return -1;
    usleep(2000);
  }
  return pid;
}

}  // namespace varlo::prueba
