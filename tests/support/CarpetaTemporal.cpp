#include "support/CarpetaTemporal.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

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

std::string LogDeLaCorrida(const std::string& carpetaPrograma) {
  std::vector<std::string> logs;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(carpetaPrograma + "/Log", ec)) {
    const std::string nombre = e.path().filename().string();
    if (nombre.starts_with("VarloDI_") && nombre.ends_with(".log")) logs.push_back(e.path());
  }
  return logs.size() == 1 ? logs.front() : std::string();
}

}  // namespace varlo::prueba
