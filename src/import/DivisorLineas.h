#pragma once
// Splits one source line into its column values: fixed-width columns, or
// pieces cut at a separator (TAB, ",", or the "Otro" text, matched without
// regard to case). The same rule serves the table import and the absence
// planning; each passes the widths its own rules give.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/DivisorComillas.h"

namespace varlo {

class DivisorLineas {
 public:
  // Fixed width: `longitudes[i]` characters for column i+1 (0 or less takes nothing).
  static DivisorLineas AnchoFijo(std::vector<std::int32_t> longitudes);
  // Separated: `columnas` values; `separador` empty gives the whole line as one piece.
  static DivisorLineas Separado(std::string separador, std::size_t columnas);

  // The same layout with quoted fields when `comillas` (one character) is
  // not empty; a fixed-width layout has no fields to quote and stays as it
  // is. Raises error 5 when the quote is part of the separator.
  DivisorLineas ConComillas(const std::string& comillas) const;
  // The rules of quoted fields in force, or null when there are none.
  const DivisorComillas* Comillas() const { return comillas_ ? &*comillas_ : nullptr; }

  // Values 1..N as indices 0..N-1, untrimmed. In fixed width the running
  // position is 16-bit: passing 32767 raises error 6 after that column's
  // value has been taken. With quoted fields `linea` is a whole record, and
  // a quote that does not close or text after a closing quote raises error
  // 13. `valores` is reused to avoid allocations.
  void Divide(std::string_view linea, std::vector<std::string>& valores) const;

  std::size_t Columnas() const { return fijo_ ? longitudes_.size() : columnas_; }

 private:
  bool fijo_ = true;
  std::vector<std::int32_t> longitudes_;
  std::string separador_;
  std::size_t columnas_ = 0;
  std::optional<DivisorComillas> comillas_;
};

// The layout a section of the definitions file gives its source lines:
// "Formato" 1 is fixed width, any other separated by `Separador`.
struct DisposicionColumnas {
  std::int16_t Formato = 1;
  std::string Separador;
  std::vector<std::string> Campos;       // column i+1's name; "" feeds nothing
  std::vector<std::int32_t> Longitudes;  // widths (fixed width only)
};

// The splitter for the layout: widths for fixed width, one value per column otherwise.
DivisorLineas DivisorDe(const DisposicionColumnas& d);

}  // namespace varlo
