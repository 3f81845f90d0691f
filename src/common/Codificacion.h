#pragma once
// The text files of the system are Windows-1252; inside the program all text
// is UTF-8. A source file that starts with a UTF-8 byte-order mark is UTF-8,
// and so are the result files written for it.
#include <optional>
#include <string>
#include <string_view>

namespace varlo {

enum class Codificacion { Ansi, Utf8 };

std::string AnsiAUtf8(std::string_view ansi);
// Characters that Windows-1252 cannot hold become "?".
std::string Utf8AAnsi(std::string_view utf8);

// Whether the bytes are text of that encoding: UTF-8 must be well formed
// (no overlong form, no surrogate, nothing past U+10FFFF); Windows-1252 has
// a character for every byte.
bool EsTextoValido(std::string_view bytes, Codificacion c);
// "UTF-8" or "Windows-1252", for messages.
const char* NombreCodificacion(Codificacion c);
// The encoding a definitions file names ("UTF-8", "Windows-1252" and their
// usual spellings, any case); nothing for a name the program cannot read.
std::optional<Codificacion> CodificacionPorNombre(std::string_view nombre);

// Text of a file in its encoding, from UTF-8, and back.
std::string ParaArchivo(std::string_view utf8, Codificacion c);
std::string DeArchivo(std::string_view bytes, Codificacion c);

}  // namespace varlo
