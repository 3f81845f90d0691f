#pragma once
// Reads a source file one record at a time. Without quoted fields a record
// is a line. With them, a record whose quoted value holds a line break goes
// on over the next lines, each kept with the line end it had in the file.
//
// A record is never lost and never swallows its neighbours: a quote that
// does not close (by the end of the file, or within the largest record the
// reader holds) rejects the line where it opened, and reading goes on at the
// line after it.
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Codificacion.h"
#include "common/ErrorVarlo.h"
#include "common/LectorLineas.h"
#include "import/DivisorLineas.h"

namespace varlo {

// A record as read, with the line of the file where it begins and what the
// reader found wrong with it. The defect travels with the record: the
// records of a batch are processed after the reader moved on.
struct LineaLeida {
  std::string texto;
  long linea = 0;
  std::optional<ErrorVarlo> defecto;
  // Its values, when it was already split (by the thread that read it); a
  // record whose splitting failed is split again where it is processed,
  // which then meets the error itself.
  bool dividida = false;
  std::vector<std::string> valores;
};

class LectorRegistros {
 public:
  // The largest record held while looking for the quote that closes it.
  static constexpr std::size_t kLargoMaximoRegistro = LectorLineas::kLargoMaximoLinea;

  // Opens the file as LectorLineas does; `divisor` says whether fields may
  // be quoted and where a field begins.
  LectorRegistros(const std::string& ruta, const DivisorLineas& divisor);

  // The line reader underneath (its encoding is set there).
  LectorLineas& Lineas() { return lector_; }

  bool AtEndOfStream() { return devueltas_.empty() && lector_.AtEndOfStream(); }
  LineaLeida Lee();
  // Reads past up to `n` records; returns how many there were.
  long Salta(long n);
  void Close() { lector_.Close(); }

  // Records of a file, read as Lee reads them; without quoted fields, its lines.
  static long Cuenta(const std::string& ruta, const DivisorLineas& divisor,
                     std::optional<Codificacion> codificacion);

 private:
  // One line of the file and how it ended.
  struct Fisica {
    std::string texto;
    std::string_view fin;  // "\r\n", "\n", "\r" or "", text of static storage
    long numero = 0;
    std::optional<ErrorVarlo> defecto;
  };

  Fisica Siguiente();

  LectorLineas lector_;
  std::optional<DivisorComillas> comillas_;
  // Lines read ahead and handed back, read again before the file goes on.
  std::deque<Fisica> devueltas_;
};

}  // namespace varlo
