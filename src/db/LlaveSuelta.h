#pragma once
// A key's loose form: equal for any two keys the database might take as
// equal (case, accents and punctuation of text, leading zeros of numbers,
// the time of a date). Two keys of different loose forms are never one row
// of the database; two of the same form may be.
#include <string>
#include <vector>

#include "db/Consulta.h"
#include "db/Valor.h"

namespace varlo::db {

// The loose form of a text that cannot be folded: it may equal any other.
inline constexpr const char* kSinPliegue = "?";

// The value of a condition of that class as a loose key; kSinPliegue for a
// text it cannot fold.
std::string Suelta(ClaseLiteral clase, const Valor& v);
// The same of a key of those conditions, its values from `valores` on:
// Suelta of each value, or kSinPliegue when one has none.
std::string SueltaLlave(const std::vector<Predicado>& condiciones, const Valor* valores);

}  // namespace varlo::db
