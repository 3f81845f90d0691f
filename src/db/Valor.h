#pragma once
// A value read from or assigned to a column.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "common/Fechas.h"

namespace varlo::db {

using Bytes = std::vector<unsigned char>;

// A number for a numeric or decimal column, kept as the decimal text it was
// written with: the database reads the digits itself, so none of them goes
// through a double, whatever statement carries it.
struct Decimal {
  std::string texto;
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

// monostate is SQL NULL.
using Valor = std::variant<std::monostate, std::string, std::int64_t, double, bool, FechaHora,
                           Bytes, Decimal>;

inline bool EsNulo(const Valor& v) {
  return std::holds_alternative<std::monostate>(v);
}

// Text form of a value: "" for NULL, decimal numbers, "True"/"False" for
// booleans (as the original runtime printed them), YYYY-MM-DD for a date at
// midnight and YYYY-MM-DD HH:MM:SS otherwise, raw bytes for binary, a
// decimal as written.
std::string ValorComoTexto(const Valor& v);

}  // namespace varlo::db
