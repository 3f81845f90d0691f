#pragma once
// The days a record covers: from the date in the "Fecha1" column to the one
// in the column right after it when "Fecha2" is configured, or that one day.
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
};

// A date that cannot be read, with the number of the column that held it.
struct ErrorFecha : ErrorVarlo {
  ErrorFecha(const ErrorVarlo& causa, std::int16_t columna) : ErrorVarlo(causa), columna(columna) {}
  std::int16_t columna;
};

// One date value, trimmed and cut with the mask (at its places, or between its
// separators when written without zeros); each part floored to a 16-bit whole
// number (not a number, the empty part included: error 13); two-digit years
// take the window. A day that does not exist (31/02, month 13, day or month 0)
// is error 5 "Fecha inexistente (value)": nothing carries over.
FechaHora LeeFecha(const MascaraFecha& mascara, std::string_view valor);

// The range of a split record; raises ErrorFecha naming the failing column,
// the end date's column when the end is before the start (error 5).
RangoFechas RangoDe(const DefinicionIncidencias& d, const std::vector<std::string>& valores);

}  // namespace varlo
