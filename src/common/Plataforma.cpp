#include "common/Plataforma.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace varlo {

namespace {
std::mutex gMutex;
std::string gCarpeta;

std::string CarpetaDelEjecutable() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}
}  // namespace

std::string CarpetaPrograma() {
  std::lock_guard<std::mutex> l(gMutex);
  if (gCarpeta.empty()) gCarpeta = CarpetaDelEjecutable();
  return gCarpeta;
}

void EstableceCarpetaPrograma(std::string carpeta) {
  std::lock_guard<std::mutex> l(gMutex);
  while (carpeta.size() > 1 && carpeta.back() == kSeparador) carpeta.pop_back();
  gCarpeta = std::move(carpeta);
}

std::string UneRuta(const std::string& carpeta, const std::string& nombre) {
  if (carpeta.empty()) return nombre;
  if (carpeta.back() == kSeparador) return carpeta + nombre;
  return carpeta + kSeparador + nombre;
}

std::string CarpetaPadre(const std::string& ruta) {
  std::size_t p = ruta.find_last_of(kSeparador == '/' ? "/" : "\\/");
  if (p == std::string::npos) return "";
  if (p == 0) return ruta.substr(0, 1);
  return ruta.substr(0, p);
}

bool EntradaEsTerminal() {
#ifdef _WIN32
  return false;
#else
  return isatty(STDIN_FILENO) == 1;
#endif
}

bool ErroresEsTerminal() {
#ifdef _WIN32
  return false;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

bool ReemplazaAtomico(const std::string& temporal, const std::string& destino) {
  std::error_code ec;
  std::filesystem::rename(temporal, destino, ec);
  return !ec;
}

void SoloPropietario(const std::string& ruta) {
  std::error_code ec;
  std::filesystem::permissions(
      ruta, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      std::filesystem::perm_options::replace, ec);
}

}  // namespace varlo
