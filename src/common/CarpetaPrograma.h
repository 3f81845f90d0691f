#pragma once
// The choice of the program's folder (where "Log", the default sources and
// the photo folder live). What it depends on is gathered apart, so the
// choice itself is a plain function of its inputs.
#include <functional>
#include <string>

namespace varlo {

struct FuentesCarpeta {
  std::string opcion;              // --carpeta DIR
  std::string variable;            // VARLODI_CARPETA
  std::string directorioEstado;    // STATE_DIRECTORY, set by systemd (":" between several)
  std::string carpetaEjecutable;   // folder of the running executable
  std::string carpetaInstalacion;  // folder the build installs its executables into
  std::string xdgStateHome;        // XDG_STATE_HOME
  std::string home;
  bool root = false;
  std::function<bool(const std::string& carpeta)> sePuedeEscribir;
};

// In this order: the option, the variable, systemd's state folder, the
// executable's folder when it is writable and is not the installed
// executables' folder (a build tree or a copied folder), and otherwise the
// user's state folder, or /var/lib/varlodi for root. So an installed program
// never writes beside itself. "" when none can be named (no home).
std::string EligeCarpetaPrograma(const FuentesCarpeta& f);

}  // namespace varlo
