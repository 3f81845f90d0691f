#pragma once
// Reads a source text file one line at a time, as the import loops need it:
// a line ends in CR LF, LF or CR alone (the last may have none), a UTF-8
// byte-order mark makes the file UTF-8, otherwise it is Windows-1252. Only a
// regular file is opened, so a pipe or a device never holds the run. Memory
// stays flat whatever the file or line size.
//
// A line that cannot be imported (not valid in the file's encoding, longer
// than kLargoMaximoLinea) is still returned, so that it can be reported, and
// CompruebaLinea says why; the next line reads as usual.
#include <cstddef>
#include <string>
#include <string_view>

#include "common/ArchivoRegular.h"
#include "common/Codificacion.h"

namespace varlo {

class LectorLineas {
 public:
  static constexpr std::size_t kLargoMaximoLinea = std::size_t{1} << 20;

  // Opens the file for reading: error 53 when it is missing or not a regular
  // file, the system's reason when it exists but cannot be opened (70
  // permission denied).
  explicit LectorLineas(const std::string& ruta);

  // Both raise error 57 when the file cannot be read on.
  bool AtEndOfStream();
  // The next line in UTF-8, without its line end. A line not valid in the
  // file's encoding comes back as its bytes were read; a line past the limit
  // as its first hundred characters followed by "...".
  std::string ReadLine();
  // Raises why the last line read cannot be imported: error 13 for text not
  // valid in the file's encoding, 6 for a line past the limit.
  void CompruebaLinea() const;
  // Number of the last line read, from 1 (0 before the first).
  long NumeroLinea() const { return numeroLinea_; }
  // How the last line read ended in the file: "\r\n", "\n", "\r", or ""
  // for a last line without one. A record whose quoted value spans lines
  // keeps them as they were.
  std::string_view FinDeLinea() const { return finDeLinea_; }
  Codificacion CodificacionArchivo() const { return codificacion_; }
  // The encoding the definitions file names for a source without a
  // byte-order mark (a mark always means UTF-8).
  void EstableceCodificacion(Codificacion c) {
    if (!conMarca_) codificacion_ = c;
  }
  void Close();

  // Counts the lines of a file in one pass (0 for an empty file), by the
  // same line ends as ReadLine.
  static long CuentaLineas(const std::string& ruta);

 private:
  enum class Defecto { Ninguno, Codificacion, Largo };
  void CompruebaLectura() const;

  std::string ruta_;
  ArchivoC archivo_;
  Codificacion codificacion_ = Codificacion::Ansi;
  bool conMarca_ = false;
  std::string bruto_;
  Defecto defecto_ = Defecto::Ninguno;
  long numeroLinea_ = 0;
  std::string_view finDeLinea_;
};

}  // namespace varlo
