#pragma once
// Errors that no single record caused: the connection is gone, the database
// stays locked by another program, or it cannot store anything (a full
// volume, a read-only database, failing storage). They end the table or the run
// with one error line instead of rejecting every record that follows.
// The class travels with the exception object, so these look at the error
// being handled (inside a catch block), never at a copy.
#include <functional>

#include "common/ErrorVarlo.h"

namespace varlo::db {

// Inside a catch block: whether the error being handled belongs to the run,
// and whether it is the database locked (the rest: the connection lost).
bool CapturadoEsDeCorrida();
bool CapturadoEsBloqueo();

// Inside a catch block of a record scope: rethrows the error being handled
// when it belongs to the run, so the record scope only turns the record's
// own errors into rejections.
void RelanzaSiEsDeCorrida();
// Inside a catch block: whether the server ended the transaction by itself
// (deadlock, serialization failure): the batch's, not the record's. It
// leaves the record scope too.
bool CapturadoEsTransaccionPerdida();

// The last resort when a call to the database never returns, not even once
// its connection was cut from this side: the front end's `fin` writes the
// error line, the end of the log and the summary (the batch in progress is
// never reported, so nothing is lost), then the process ends with status 3
// without unwinding the blocked thread. Runs on the watchdog's thread.
using FinForzado = std::function<void(const ErrorVarlo& e)>;
void EstableceFinForzado(FinForzado fin);
[[noreturn]] void TerminaCorridaForzada(const ErrorVarlo& e) noexcept;
inline constexpr int kSalidaConexionPerdida = 3;

}  // namespace varlo::db
