#include "support/CarpetaTemporal.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace varlo::prueba {

CarpetaTemporal::CarpetaTemporal() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (int i = 0; i < 100; ++i) {
    auto p = base / ("varlodi-prueba-" + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) {
      ruta_ = p.string();
      return;
    }
  }
  throw std::runtime_error("no se pudo crear una carpeta temporal");
}

CarpetaTemporal::~CarpetaTemporal() {
  std::error_code ec;
  std::filesystem::remove_all(ruta_, ec);
}

std::string LeeBytes(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void EscribeBytes(const std::string& ruta, const std::string& bytes) {
  std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
  f << bytes;
}

}  // namespace varlo::prueba
