#include "images/AsignaFotos.h"

#include "app/frmMain.h"

namespace varlo {
void AsignaFotos(frmMain&) {}
}  // namespace varlo
