#pragma once
// Reads a source text file one line at a time, as the import loops need it:
// lines end in CR LF or LF (the last may have none), a UTF-8 byte-order mark
// makes the file UTF-8, otherwise it is Windows-1252. Memory stays flat
// whatever the file size.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/Codificacion.h"

namespace varlo {

class LectorLineas {
 public:
  // Opens the file for reading; raises error 53 when it cannot be opened.
  explicit LectorLineas(const std::string& ruta);

  bool AtEndOfStream();
  // The next line in UTF-8, without its line end.
  std::string ReadLine();
  Codificacion CodificacionArchivo() const { return codificacion_; }
  void Close();

  // Counts the lines of a file in one pass (0 for an empty file).
  static long CuentaLineas(const std::string& ruta);

 private:
  struct Cierra {
    void operator()(std::FILE* f) const noexcept {
      if (f) std::fclose(f);
    }
  };
  // The next block of the file into bufer_; false at its end.
  bool Rellena();

  std::unique_ptr<std::FILE, Cierra> archivo_;
  Codificacion codificacion_ = Codificacion::Ansi;
  std::string bruto_;
  // Bytes read ahead: one stdio call per block, not one per byte (in a
  // process with threads, such as the Qt window, every getc takes a lock).
  std::vector<char> bufer_;
  std::size_t pos_ = 0, fin_ = 0;
};

}  // namespace varlo
