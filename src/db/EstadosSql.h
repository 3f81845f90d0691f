#pragma once
// What a SQLSTATE means, for every backend that reports one (ODBC drivers,
// libpq): the number the original provider raised, a Spanish gloss, and
// what the error means for the run.
#include <string>
#include <string_view>

#include "db/ErrorBaseDatos.h"

namespace varlo::db {

// The negative number that a SQLSTATE stands for: the HRESULT the original
// provider raised in the same situation, E_FAIL when none is more precise.
long NumeroDeEstado(std::string_view sqlstate);
// A Spanish gloss of the common SQLSTATEs ("" for the rest).
std::string GlosaDeEstado(std::string_view sqlstate);
// The class the state alone tells (Otro when it needs more: a native
// number, the driver's text).
ErrorBaseDatos::Clase ClaseDeEstado(std::string_view sqlstate);

// A message on one line: the log and the result files hold one error per
// line. Line breaks become one space; the rest is kept as written.
std::string MensajeEnUnaLinea(const std::string& texto);

}  // namespace varlo::db
