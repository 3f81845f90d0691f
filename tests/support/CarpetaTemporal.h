#pragma once
// A temporary folder for one test, removed with everything in it.
#include <string>

namespace varlo::prueba {

class CarpetaTemporal {
 public:
  CarpetaTemporal();
  ~CarpetaTemporal();
  CarpetaTemporal(const CarpetaTemporal&) = delete;
  CarpetaTemporal& operator=(const CarpetaTemporal&) = delete;

  const std::string& Ruta() const { return ruta_; }
  std::string Archivo(const std::string& nombre) const { return ruta_ + "/" + nombre; }

 private:
  std::string ruta_;
};

// Whole file as bytes ("" when missing), and a file written from bytes.
std::string LeeBytes(const std::string& ruta);
void EscribeBytes(const std::string& ruta, const std::string& bytes);

// The one monthly log ("VarloDI_*.log") in the "Log" folder of
// `carpetaPrograma`, found by listing it: a program run in another process
// names it by its own clock, not by the test's. "" unless there is exactly one.
std::string LogDeLaCorrida(const std::string& carpetaPrograma);

}  // namespace varlo::prueba
