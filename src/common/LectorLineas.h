#pragma once
// Reads a source text file one line at a time, as the import loops need it:
// a line ends in CR LF, LF or CR alone (the last may have none), as units of
// the file's encoding (two bytes each in UTF-16). The encoding is, in this
// order: a byte-order mark (UTF-8, UTF-16LE, UTF-16BE), the one the
// definitions file names, UTF-8 when the start of the file is UTF-8 holding
// some non-ASCII character, else Windows-1252. Only a regular file is opened,
// so a pipe or a device never holds the run. Memory stays flat whatever the
// file or line size.
//
// A line that cannot be imported (not valid in the file's encoding, holding
// a NUL character, longer than kLargoMaximoLinea) is still returned, so that
// it can be reported, and CompruebaLinea says why; the next line reads as usual.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ArchivoRegular.h"
#include "common/Codificacion.h"

namespace varlo {

class LectorLineas {
 public:
  static constexpr std::size_t kLargoMaximoLinea = std::size_t{1} << 20;
  // How much of the start of a file decides between UTF-8 and Windows-1252.
  static constexpr std::size_t kMuestraDeteccion = std::size_t{64} << 10;

  // Opens the file for reading: error 53 when it is missing or not a regular
  // file, the system's reason when it exists but cannot be opened (70
  // permission denied).
  explicit LectorLineas(const std::string& ruta);

  // Both raise error 57 when the file cannot be read on.
  bool AtEndOfStream();
  // The next line in UTF-8, without its line end. A line not valid in the
  // file's encoding comes back so that writing it in that encoding gives its
  // bytes as read; a line past the limit as its first hundred characters
  // followed by "...".
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
  // With its mark when result files in it should start with one.
  Codificacion CodificacionArchivo() const { return codificacion_; }
  // The encoding the definitions file names, for a source without a
  // byte-order mark (a mark always decides). UTF-16 or UTF-32 named without
  // a byte order takes the one the file's NUL bytes show (little-endian when
  // they show none).
  void EstableceCodificacion(const Codificacion& c);
  void Close();

  // Counts the lines of a file in one pass (0 for an empty file), by the
  // same line ends and encoding as ReadLine.
  static long CuentaLineas(const std::string& ruta);
  // The same for a source whose definition names the encoding `clave`. Error
  // 13 when the file holds NUL bytes and is read as 8-bit or UTF-8 text: it
  // is UTF-16 without a mark, never to be read as text.
  static long CuentaLineas(const std::string& ruta, const std::optional<Codificacion>& clave);

 private:
  enum class Defecto { Ninguno, Codificacion, Largo };
  void CompruebaLectura() const;
  void Usa(const Codificacion& c);
  // A code unit of a multi-byte encoding, its bytes packed in order.
  struct Unidad {
    std::uint32_t valor = 0;
    std::size_t bytes = 0;  // fewer than a unit at a cut end, 0 at the end of the file
  };
  Unidad LeeUnidad();
  // The next byte of the file, or EOF; the bytes are read a buffer at a
  // time, since every byte of every source passes here.
  int LeeByte();
  // Refills the buffer when it is spent: false at the end of the file.
  bool Rellena();
  [[noreturn]] void RechazaNul() const;

  std::string ruta_;
  ArchivoC archivo_;
  Codificacion codificacion_ = Codificacion::Ansi;
  bool conMarca_ = false;
  // NUL bytes at the start of the file by offset modulo 4: the byte order of
  // UTF-16 or UTF-32 without a mark.
  std::array<long, 4> ceros_{};
  std::string cr_ = "\r", lf_ = "\n";          // the line ends in the file's encoding
  std::uint32_t crUnidad_ = 0, lfUnidad_ = 0;  // the same as code units
  Unidad adelantada_;                          // a unit read after a CR that was not LF
  std::vector<char> bufer_;
  std::size_t posicion_ = 0, llenos_ = 0;  // read from bufer_ up to llenos_
  std::string bruto_;
  Defecto defecto_ = Defecto::Ninguno;
  long numeroLinea_ = 0;
  std::string_view finDeLinea_;
};

}  // namespace varlo
