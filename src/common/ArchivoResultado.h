#pragma once
// A result file ("_Ok.txt", "_Er.txt") kept open for a whole table: each
// line is written with CR LF and flushed at once, so it is on disk before the
// next record starts, without reopening the file for every line.
#include <cstdio>
#include <memory>
#include <string>

#include "common/Codificacion.h"

namespace varlo {

class ArchivoResultado {
 public:
  ArchivoResultado() = default;

  // Empties the file (deleting any earlier one) and keeps it open.
  void Inicia(const std::string& ruta, Codificacion codificacion);
  // Keeps an existing file open for appending without emptying it.
  void Continua(const std::string& ruta, Codificacion codificacion);
  bool Activo() const { return static_cast<bool>(archivo_); }
  void EstableceCodificacion(Codificacion c) { codificacion_ = c; }
  // Appends one line; raises an error when it cannot be written.
  void Escribe(const std::string& linea);
  void Cierra();
  const std::string& Ruta() const { return ruta_; }

 private:
  struct CierraArchivo {
    void operator()(std::FILE* f) const noexcept {
      if (f) std::fclose(f);
    }
  };
  std::unique_ptr<std::FILE, CierraArchivo> archivo_;
  std::string ruta_;
  Codificacion codificacion_ = Codificacion::Ansi;
};

}  // namespace varlo
