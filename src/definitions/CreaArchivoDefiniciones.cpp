#include "definitions/CreaArchivoDefiniciones.h"

#include "app/frmMain.h"

namespace varlo {
std::string CreaArchivoDefiniciones(frmMain&) { return ""; }
}  // namespace varlo
