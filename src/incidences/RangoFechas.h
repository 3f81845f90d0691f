#pragma once
// The days a record covers: the start date from the "Fecha1" column, the end
// date from the column right after it when "Fecha2" is configured, each cut
// with the date mask and composed with the two-digit-year window; a day
// that does not exist is refused.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "import/MascaraFecha.h"
#include "incidences/DefinicionIncidencias.h"

namespace varlo {

struct RangoFechas {
  FechaHora FechaInicial;
  FechaHora FechaFinal;
  // Days from the first to the last, both included; 0 when the end is earlier.
  std::int64_t Dias() const;
};

// A date that cannot be read, with the number of the column that held it.
class ErrorFecha : public ErrorVarlo {
 public:
  ErrorFecha(const ErrorVarlo& causa, std::int16_t columna)
      : ErrorVarlo(causa), columna_(columna) {}
  std::int16_t Columna() const noexcept { return columna_; }

 private:
  std::int16_t columna_;
};

// One date value: the value trimmed, year, month and day cut with the mask
// (at its places, or between its separators for a date written without its
// zeros: CortaFecha), each part floored to a 16-bit whole number (a part that
// is not a number, the empty part included, is error 13). A day that does
// not exist (31/02, month 13, day or month 0) is error 5 "Fecha inexistente
// (value)": nothing carries over.
FechaHora LeeFecha(const MascaraFecha& mascara, std::string_view valor);

// The range of a split record; raises ErrorFecha naming the failing column,
// the end date's column when the end is before the start (error 5).
RangoFechas RangoDe(const DefinicionIncidencias& d, const std::vector<std::string>& valores);

}  // namespace varlo
