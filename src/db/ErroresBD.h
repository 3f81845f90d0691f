#pragma once
// Source of the database layer's errors. Its numbers are in the program's one
// table of errors: refused assignments and misuse of a row set are positive;
// what the database reports keeps the negative numbers of the OLE DB provider.
#include "common/ErrorVarlo.h"

namespace varlo::db {

// Source of the errors the layer finds by itself.
inline constexpr const char* kFuenteBD = "VarloDI.BD";

namespace errores_bd = ::varlo::errores;

}  // namespace varlo::db
