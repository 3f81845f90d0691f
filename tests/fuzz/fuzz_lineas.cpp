// The source reader on a file of the fuzzer's making. The first byte names
// the encoding a definitions file would give (0 none, 1 Windows-1252,
// 2 UTF-8, 3 UTF-16LE, 4 UTF-16BE, any other none); the rest is the file.
#include <cstdint>
#include <optional>
#include <string>

#include "Invariante.h"
#include "common/Codificacion.h"
#include "common/ErrorVarlo.h"
#include "common/LectorLineas.h"
#include "support/CarpetaTemporal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t tamano) {
  using namespace varlo;
  static const prueba::CarpetaTemporal carpeta;
  static const std::string archivo = carpeta.Archivo("origen.txt");
  if (tamano == 0) return 0;
  std::optional<Codificacion> clave;
  switch (datos[0]) {
    case 1:
      clave = Codificacion::Ansi;
      break;
    case 2:
      clave = Codificacion::Utf8;
      break;
    case 3:
      clave = Codificacion::DeIconv("UTF-16LE");
      break;
    case 4:
      clave = Codificacion::DeIconv("UTF-16BE");
      break;
    default:
      break;
  }
  const std::string bytes(reinterpret_cast<const char*>(datos) + 1, tamano - 1);
  prueba::EscribeBytes(archivo, bytes);

  LectorLineas l(archivo);
  if (clave) l.EstableceCodificacion(*clave);
  const Codificacion c = l.CodificacionArchivo();
  // Written back in the file's encoding, each line and its end give the
  // file's bytes again, in order: nothing is lost or read twice.
  const bool unByte = c.TipoCodificacion() != Codificacion::Tipo::Iconv;
  std::string reescrito = unByte ? MarcaDeOrden(c) : std::string();
  long lineas = 0;
  bool ultima = false;
  while (!l.AtEndOfStream()) {
    EXIGE(!ultima);  // only the last line has no end
    const std::string linea = l.ReadLine();
    EXIGE(l.NumeroLinea() == ++lineas);
    const std::string_view fin = l.FinDeLinea();
    EXIGE(fin == "\r\n" || fin == "\n" || fin == "\r" || fin.empty());
    ultima = fin.empty();
    if (unByte) reescrito += ParaArchivo(linea, c) + std::string(fin);
  }
  if (unByte) EXIGE(reescrito == bytes);
  // The counter, a pass of its own, finds as many lines; 8-bit text with NUL
  // bytes it refuses (such a file is UTF-16 without a mark).
  try {
    EXIGE(LectorLineas::CuentaLineas(archivo, clave) == lineas);
  } catch (const ErrorVarlo& e) {
    EXIGE(e.Numero() == errores::TiposNoCoinciden && unByte &&
          bytes.find('\0') != std::string::npos);
  }
  return 0;
}
