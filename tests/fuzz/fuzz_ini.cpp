// The profile reader and writer on a file of the fuzzer's making. The first
// five lines are: the section, the key and the value to write, then a
// section and a key to read before and after the write; the rest is the file.
#include <cstdint>
#include <string>

#include "Invariante.h"
#include "common/Codificacion.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Texto.h"
#include "support/CarpetaTemporal.h"

namespace varlo::fuzz {
namespace {

bool EsBlancoIni(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

// A text the 8-bit file can hold, without a line break.
bool Representable(std::string_view s) {
  return s.find_first_of("\r\n") == std::string_view::npos && AnsiAUtf8(Utf8AAnsi(s)) == s;
}

// A key that reads as a key: no "=", and not taken for a comment or a section.
bool ClaveUsable(std::string_view k) {
  while (!k.empty() && EsBlancoIni(k.front())) k.remove_prefix(1);
  while (!k.empty() && EsBlancoIni(k.back())) k.remove_suffix(1);
  return Representable(k) && !k.empty() && k.find('=') == std::string_view::npos &&
         k.front() != ';' && k.front() != '[';
}

// A value that reads back as written: no blanks at its ends (reading trims
// them) and not wrapped in a pair of quotes (reading removes them).
bool ValorFiel(std::string_view v) {
  if (!Representable(v)) return false;
  if (!v.empty() && (EsBlancoIni(v.front()) || EsBlancoIni(v.back()))) return false;
  return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

bool MismoNombre(std::string_view a, std::string_view b) {
  auto recorta = [](std::string_view s) {
    while (!s.empty() && EsBlancoIni(s.front())) s.remove_prefix(1);
    while (!s.empty() && EsBlancoIni(s.back())) s.remove_suffix(1);
    return s;
  };
  return IgualSinCaso(recorta(a), recorta(b));
}

}  // namespace
}  // namespace varlo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo;
  using namespace varlo::fuzz;
  static const prueba::CarpetaTemporal carpeta;
  static const std::string archivo = carpeta.Archivo("defs.ini");
  std::string_view resto(reinterpret_cast<const char*>(datos), tamano);
  std::string seccion(CortaLinea(resto)), clave(CortaLinea(resto)), valor(CortaLinea(resto));
  std::string otraSeccion(CortaLinea(resto)), otraClave(CortaLinea(resto));
  prueba::EscribeBytes(archivo, std::string(resto));

  Kelto_API_INIFiles ini;
  const std::string falta = "\x01";  // the default, told apart from an empty value
  std::string otraAntes = ini.API_GetPrivateProfileString(archivo, otraSeccion, otraClave, falta);
  EXIGE(ini.API_WritePrivateProfileString(archivo, seccion, clave, valor));

  // a line break in the value starts a new line, as in the Windows API; the
  // callers never pass one
  if (!Representable(seccion) || !ClaveUsable(clave) || valor.find('\r') != std::string::npos)
    return 0;
  if (ValorFiel(valor))
    EXIGE(ini.API_GetPrivateProfileString(archivo, seccion, clave, falta) == valor);
  // a write edits only its own key
  if (!MismoNombre(seccion, otraSeccion) || !MismoNombre(clave, otraClave))
    EXIGE(ini.API_GetPrivateProfileString(archivo, otraSeccion, otraClave, falta) == otraAntes);
  return 0;
}
