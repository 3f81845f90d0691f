#pragma once
// Reads a source one record at a time: a line, or with quoted fields, the
// lines that a quoted line break joins (each keeps its line end). A record
// never swallows its neighbours: a quote that does not close (by the end of
// the file, or within the largest record held) rejects only its first line.
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

// A record, the line where it begins and its defect: the defect travels with
// it, as a batch is processed after the reader moved on.
struct LineaLeida {
  std::string texto;
  long linea = 0;
  std::optional<ErrorVarlo> defecto;
  // Its values when the reading thread split it; one whose split failed is
  // split again where it is processed, which meets the error itself.
  bool dividida = false;
  std::vector<std::string> valores;

  // Its values, as the reading thread split them or split by `divisor` into
  // `partes`; raises what the reader found wrong with it.
  const std::vector<std::string>& Valores(const DivisorLineas& divisor,
                                          std::vector<std::string>& partes) const {
    if (defecto) throw *defecto;
    if (dividida) return valores;
    divisor.Divide(texto, partes);
    return partes;
  }
};

class LectorRegistros {
 public:
  // The largest record held while looking for the quote that closes it.
  static constexpr std::size_t kLargoMaximoRegistro = LectorLineas::kLargoMaximoLinea;

  // `divisor` says whether fields may be quoted and where a field begins.
  LectorRegistros(const std::string& ruta, const DivisorLineas& divisor);

  // The line reader underneath (its encoding is set there).
  LectorLineas& Lineas() { return lector_; }

  bool AtEndOfStream() { return devueltas_.empty() && lector_.AtEndOfStream(); }
  LineaLeida Lee();
  // Reads past up to `n` records; returns how many there were.
  long Salta(long n);

  // The records Lee would read; without quoted fields, the lines.
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
  // Lines handed back, read again before the file goes on.
  std::deque<Fisica> devueltas_;
};

}  // namespace varlo
