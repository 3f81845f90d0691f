#pragma once
// The program's arguments: options first ("--help", "--version",
// "--fotos DEFS"), then the definitions path. The rest is joined by single
// spaces, so an unquoted path with spaces arrives whole.
#include <optional>
#include <string>
#include <vector>

namespace varlo {

struct Argumentos {
  bool ayuda = false;
  bool version = false;
  bool fotos = false;
  std::string texto;  // the command-line text for the run sequence
  std::string error;  // an unknown option, or --fotos without a path
};

Argumentos LeeArgumentos(const std::vector<std::string>& args);

// Handles an option error, --help and --version (printing what they ask
// for) and gives the exit status; nothing when the run should go on.
std::optional<int> AtiendeOpciones(const Argumentos& a, const std::string& programa);

// The usage text printed by --help and when nothing can be asked.
std::string TextoUso(const std::string& programa);

}  // namespace varlo
