#pragma once
// The program's arguments: options first, then the definitions path. The
// rest of the line is joined by single spaces, so an unquoted path with
// spaces arrives whole (only a TAB separates arguments on POSIX).
#include <optional>
#include <string>
#include <vector>

#include "db/Corrida.h"

namespace varlo {

struct Argumentos {
  bool ayuda = false;
  bool version = false;
  bool fotos = false;
  std::string carpeta;         // --carpeta: the program's folder
  Corrida::Opciones opciones;  // --simular, --lote, --max-rechazos, --silencioso
  std::string resumen;         // --resumen: where the run's JSON summary goes
  std::string texto;           // the command-line text for the run sequence
  std::string error;           // an unknown option, a bad value, or --fotos without a path
};

Argumentos LeeArgumentos(const std::vector<std::string>& args);

// Handles an option error (one line and a hint, status 2), --help and
// --version, and gives the exit status; nothing when the run should go on.
std::optional<int> AtiendeOpciones(const Argumentos& a, const std::string& programa);

// The help: options, the program's folder in use and the exit statuses.
std::string TextoUso(const std::string& programa, const std::string& carpeta);

}  // namespace varlo
