#include "import/ImportaDatos.h"

#include "app/frmMain.h"

namespace varlo {
void ImportaDatos(frmMain&) {}
}  // namespace varlo
