// The choice of the program's folder. How a folder or definitions file the
// program cannot use is reported is checked on the program itself.
#include "common/CarpetaPrograma.h"

#include <gtest/gtest.h>

#include <functional>

namespace varlo {
namespace {

TEST(EligeCarpetaPrograma, FirstSourceThatAppliesWins) {
  const auto escribible = [](const std::string& c) { return c != "/opt/solo-lectura"; };
  FuentesCarpeta base;
  base.carpetaEjecutable = "/home/ana/varlodi/build/bin";
  base.carpetaInstalacion = "/usr/local/bin";
  base.xdgStateHome = "/home/ana/.estado";
  base.home = "/home/ana";
  base.sePuedeEscribir = escribible;
  struct Caso {
    const char* nombre;
    std::function<void(FuentesCarpeta&)> cambia;
    std::string esperada;
  };
  const Caso casos[] = {
      {"opción", [](auto& f) { f.opcion = "/srv/v/", f.variable = "/x"; }, "/srv/v"},
      {"variable", [](auto& f) { f.variable = "/x", f.directorioEstado = "/y"; }, "/x"},
      {"systemd, el primero", [](auto& f) { f.directorioEstado = "/var/lib/a:/var/lib/b"; },
       "/var/lib/a"},
      {"ejecutable de un árbol de construcción", [](auto&) {}, "/home/ana/varlodi/build/bin"},
      {"instalado, también con otra grafía",
       [](auto& f) { f.carpetaEjecutable = "/usr/local//bin/"; }, "/home/ana/.estado/varlodi"},
      {"ejecutable sin permiso de escritura",
       [](auto& f) { f.carpetaEjecutable = "/opt/solo-lectura"; }, "/home/ana/.estado/varlodi"},
      {"XDG relativo no cuenta",
       [](auto& f) { f.carpetaEjecutable = "/usr/local/bin", f.xdgStateHome = "estado"; },
       "/home/ana/.local/state/varlodi"},
      {"root instalado", [](auto& f) { f.carpetaEjecutable = "/usr/local/bin", f.root = true; },
       "/var/lib/varlodi"},
      {"root en un árbol de construcción", [](auto& f) { f.root = true; },
       "/home/ana/varlodi/build/bin"},
      {"sin carpeta personal", [](auto& f) { f.carpetaEjecutable = f.xdgStateHome = f.home = ""; },
       ""},
  };
  for (const Caso& c : casos) {
    FuentesCarpeta f = base;
    c.cambia(f);
    EXPECT_EQ(EligeCarpetaPrograma(f), c.esperada) << c.nombre;
  }
}

}  // namespace
}  // namespace varlo
