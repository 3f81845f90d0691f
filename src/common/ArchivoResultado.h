#pragma once
// A result file ("_Ok.txt", "_Er.txt") kept open for a whole table. Lines
// (with CR LF) wait until Vacia, which the engines call once a batch has been
// reported, and go to the file in one system call: a kill leaves whole
// lines (a last line without its CR LF was cut short by the system), and a
// batch costs one system call instead of one per line.
#include <cstdio>
#include <memory>
#include <string>

#include "common/Codificacion.h"

namespace varlo {

class ArchivoResultado {
 public:
  ArchivoResultado() = default;

  // Empties the file (deleting any earlier one) and keeps it open.
  void Inicia(const std::string& ruta, const Codificacion& codificacion);
  // Keeps an existing file open for appending without emptying it.
  void Continua(const std::string& ruta, const Codificacion& codificacion);
  bool Activo() const { return static_cast<bool>(archivo_); }
  // The encoding of the lines that follow; an empty file gets the
  // encoding's byte-order mark before its first line.
  void EstableceCodificacion(const Codificacion& c) { codificacion_ = c; }
  // Appends one line (written at the next Vacia, or once 1 MiB waits).
  void Escribe(const std::string& linea);
  // Writes the lines waiting; raises an error when they cannot be written.
  void Vacia();
  // Writes what waits and closes the file.
  void Cierra();
  // The same, and waits until the disk holds the file: raises an error when
  // it cannot, so that nothing is published on the strength of a file that
  // a full volume cut short.
  void CierraEnDisco();
  ArchivoResultado(const ArchivoResultado&) = delete;
  ArchivoResultado& operator=(const ArchivoResultado&) = delete;
  ~ArchivoResultado();
  const std::string& Ruta() const { return ruta_; }

 private:
  struct CierraArchivo {
    void operator()(std::FILE* f) const noexcept {
      if (f) std::fclose(f);
    }
  };
  std::unique_ptr<std::FILE, CierraArchivo> archivo_;
  std::string ruta_;
  std::string pendiente_;  // whole lines not yet written
  Codificacion codificacion_ = Codificacion::Ansi;
  bool enBlanco_ = false;  // nothing written yet, not even a mark
};

}  // namespace varlo
