#pragma once
// Errors that no single record caused: the connection is gone or the
// database stays locked by another program. They end the table or the run
// with one error line instead of rejecting every record that follows.
#include "common/ErrorVarlo.h"

namespace varlo::db {

bool EsErrorDeCorrida(const ErrorVarlo& e);
// Of those, the database locked by another program (the rest: connection lost).
bool EsBloqueo(const ErrorVarlo& e);

// Inside a catch block of a record scope: rethrows the error being handled
// when it belongs to the run, so the record scope only turns the record's
// own errors into rejections.
void RelanzaSiEsDeCorrida();

}  // namespace varlo::db
