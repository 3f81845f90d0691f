#pragma once
// The run's summary for machines (--resumen): one JSON document with the
// run's start and end, its exit status, where it wrote, and per import the
// counts, the time, the result files and why it was not imported. A monitor
// reads it after each run, so it replaces the previous one in one step.
#include <iosfwd>
#include <string>

#include "common/Fechas.h"

namespace varlo {

class frmMain;

// A local date and time with its offset from UTC, "2006-08-03T17:28:36-05:00",
// and the same moment in seconds since 1970-01-01 UTC.
std::string FechaIso8601(const FechaHora& local);
long long SegundosUnix(const FechaHora& local);

// The document of a run that ended at `fin` with exit status `estado`;
// `errorFatal` is the error that stopped it ("" when none).
std::string DocumentoResumen(const frmMain& f, int estado, const std::string& errorFatal,
                             const FechaHora& fin);

// Writes the document of the run that ends now to `ruta` (nothing when it is
// empty): a new file beside it, on disk before it is renamed over `ruta`, so
// a reader finds the previous document or the new one, whole. A failure
// leaves `ruta` as it was and is one line on `err` with the system's reason;
// it returns false and never throws.
bool EscribeResumenCorrida(const std::string& ruta, const frmMain& f, int estado,
                           const std::string& errorFatal, std::ostream& err);

}  // namespace varlo
