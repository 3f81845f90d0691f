#include "incidences/ImportaIncidencias.h"

#include "app/frmMain.h"

namespace varlo {
void ImportaIncidencias(frmMain&) {}
}  // namespace varlo
