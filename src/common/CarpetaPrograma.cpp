#include "common/CarpetaPrograma.h"

#include <filesystem>

namespace varlo {

namespace {
// Normal form without a final separator, so "/usr/bin/" and "/usr//bin" match "/usr/bin".
std::string Normal(const std::string& ruta) {
  std::string r = std::filesystem::path(ruta).lexically_normal().string();
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}
}  // namespace

std::string EligeCarpetaPrograma(const FuentesCarpeta& f) {
  if (!f.opcion.empty()) return Normal(f.opcion);
  if (!f.variable.empty()) return Normal(f.variable);
  if (!f.directorioEstado.empty())
    return Normal(f.directorioEstado.substr(0, f.directorioEstado.find(':')));
  if (!f.carpetaEjecutable.empty() && Normal(f.carpetaEjecutable) != Normal(f.carpetaInstalacion) &&
      f.sePuedeEscribir && f.sePuedeEscribir(f.carpetaEjecutable))
    return Normal(f.carpetaEjecutable);
  if (f.root) return "/var/lib/varlodi";
  // The XDG rules ignore a relative XDG_STATE_HOME.
  if (!f.xdgStateHome.empty() && f.xdgStateHome.front() == '/')
    return Normal(f.xdgStateHome + "/varlodi");
  if (!f.home.empty()) return Normal(f.home + "/.local/state/varlodi");
  return "";
}

}  // namespace varlo
