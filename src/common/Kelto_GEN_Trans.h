#pragma once
// General-purpose services of the run: cutting the command line into
// arguments, and appending one line to a text file (result files, the
// monthly size-limited log).
#include <string>
#include <string_view>
#include <vector>

#include "common/Codificacion.h"

namespace varlo {

class Kelto_GEN_Trans {
 public:
  // Size at which a monthly log file is full.
  static constexpr long long kLimiteTamano = 512000;

  // Cuts `CommandLine` into at most `MaxArgs` arguments. Only the separators
  // of the platform split (TAB, and on Windows also "/"); spaces and quotes
  // are ordinary characters. The result always has MaxArgs elements; those
  // past the last argument are empty. MaxArgs below 1 is error 9.
  std::vector<std::string> GetCommandLine(std::string_view CommandLine, int MaxArgs = 5) const;

  // Appends `Linea_Txt` and CR LF to `Archivo_Txt`, creating its folder (one
  // level) and the file as needed. `Borro_Txt` deletes the file first;
  // `solocrear_Txt` only makes sure it exists; `Control_Size` writes instead
  // into the monthly file Name_mmmyyyy.ext, numbered "(n)" once full.
  void Escribe_Txt(const std::string& Archivo_Txt, const std::string& Linea_Txt, bool Borro_Txt,
                   bool solocrear_Txt, bool Control_Size,
                   const Codificacion& codificacion = Codificacion::Ansi) const;

  // The file Escribe_Txt would write with Control_Size on, today.
  static std::string ArchivoMensual(const std::string& Archivo_Txt);
};

}  // namespace varlo
