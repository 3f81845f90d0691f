#pragma once
// The text files of the system are Windows-1252; inside the program all text
// is UTF-8. A source file may be in another encoding (a byte-order mark, the
// "Codificacion" key, or UTF-8 found in its bytes say which); the result files
// written for it are in the same encoding.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace varlo {

class Codificacion {
 public:
  enum class Tipo { Ansi, Utf8, Iconv };

  // The system's own encodings: converted without iconv descriptors per name.
  static const Codificacion Ansi;
  static const Codificacion Utf8;
  // Any other encoding iconv converts both ways; nothing for a name it does
  // not know.
  static std::optional<Codificacion> DeIconv(std::string_view nombre);

  Tipo TipoCodificacion() const { return tipo_; }
  // "Windows-1252", "UTF-8", or the iconv name as given (upper case).
  const std::string& Nombre() const { return nombre_; }
  // Bytes of one code unit: 2 for UTF-16, 4 for UTF-32, 1 for the others.
  std::size_t Unidad() const { return unidad_; }
  // Files of this encoding start with a byte-order mark (always for UTF-16
  // and UTF-32, for UTF-8 when its source had one).
  bool ConMarca() const { return conMarca_; }
  Codificacion ConMarca(bool marca) const {
    Codificacion c = *this;
    c.conMarca_ = marca;
    return c;
  }
  // UTF-16 or UTF-32 without a byte order in its name: iconv would read it
  // big-endian, while the files people have are mostly little-endian.
  bool SinOrdenDeBytes() const;

  // Same encoding, whatever the mark.
  friend bool operator==(const Codificacion& a, const Codificacion& b) {
    return a.tipo_ == b.tipo_ && a.nombre_ == b.nombre_;
  }

 private:
  Codificacion(Tipo tipo, std::string nombre, std::size_t unidad)
      : tipo_(tipo), nombre_(std::move(nombre)), unidad_(unidad) {}

  Tipo tipo_;
  std::string nombre_;
  std::size_t unidad_;
  bool conMarca_ = false;
};

inline const Codificacion Codificacion::Ansi{Codificacion::Tipo::Ansi, "Windows-1252", 1};
inline const Codificacion Codificacion::Utf8{Codificacion::Tipo::Utf8, "UTF-8", 1};

std::string AnsiAUtf8(std::string_view ansi);
// Characters that Windows-1252 cannot hold become "?".
std::string Utf8AAnsi(std::string_view utf8);

// Whether the bytes are text of that encoding: UTF-8 must be well formed
// (no overlong form, no surrogate, nothing past U+10FFFF); Windows-1252 has
// no character for 0x81, 0x8D, 0x8F, 0x90 and 0x9D; any other encoding as
// iconv reads it.
bool EsTextoValido(std::string_view bytes, const Codificacion& c);
bool EsUtf8Valido(std::string_view bytes);
// No byte has its high bit set: the text is the same in UTF-8 and
// Windows-1252, and needs no conversion between them.
bool SoloAscii(std::string_view s);
// The encoding's name, for messages.
std::string NombreCodificacion(const Codificacion& c);
// The encoding a definitions file names: "UTF-8", "Windows-1252" and their
// usual spellings (any case), or any name iconv knows; nothing for another.
std::optional<Codificacion> CodificacionPorNombre(std::string_view nombre);

// Text of a file in its encoding, from UTF-8, and back. A byte that is not
// text in an iconv encoding comes into UTF-8 as a character no valid text
// holds (U+DC00 plus the byte) and goes back to the file as that same byte,
// so a rejected line reaches the error file as it was read.
std::string ParaArchivo(std::string_view utf8, const Codificacion& c);
// The same, added at the end of `destino`: text that needs no conversion is
// not copied twice.
void AnadeParaArchivo(std::string& destino, std::string_view utf8, const Codificacion& c);
std::string DeArchivo(std::string_view bytes, const Codificacion& c);
// The same, saying whether every byte was text of the encoding; a UTF-8 line
// that is not comes back as its bytes.
std::string DeArchivo(std::string_view bytes, const Codificacion& c, bool& valido);
// The byte-order mark a file of this encoding starts with ("" for none).
std::string MarcaDeOrden(const Codificacion& c);

}  // namespace varlo
