#pragma once
// Splits a source line into its column values: fixed-width columns, or pieces
// cut at a separator (TAB, ",", or the "Otro" text, matched without regard to
// case). Serves both the table import and the absence planning.
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

  // The same layout with quoted fields when `comillas` (one character) is not
  // empty; fixed width has none. Error 5 when the quote is part of the separator.
  DivisorLineas ConComillas(const std::string& comillas) const;
  // The rules of quoted fields in force, or null when there are none.
  const DivisorComillas* Comillas() const { return comillas_ ? &*comillas_ : nullptr; }

  // Values 1..N as indices 0..N-1, untrimmed, into `valores` (reused to save
  // allocations). In fixed width a position past 32767 is error 6, raised
  // after that column's value was taken. With quoted fields `linea` is a
  // whole record; a quote left open or text after a closing one is error 13.
  void Divide(std::string_view linea, std::vector<std::string>& valores) const;

  std::size_t Columnas() const { return separador_ ? columnas_ : longitudes_.size(); }

 private:
  std::vector<std::int32_t> longitudes_;
  std::optional<std::string> separador_;  // none in fixed width
  std::size_t columnas_ = 0;
  std::optional<DivisorComillas> comillas_;
};

// A section's layout: "Formato" 1 is fixed width, any other separated.
struct DisposicionColumnas {
  std::int16_t Formato = 1;
  std::string Separador;
  std::vector<std::string> Campos;       // column i+1's name; "" feeds nothing
  std::vector<std::int32_t> Longitudes;  // widths (fixed width only)
};

DivisorLineas DivisorDe(const DisposicionColumnas& d);

}  // namespace varlo
