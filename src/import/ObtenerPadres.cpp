#include "app/frmMain.h"

namespace varlo {
std::string frmMain::ObtenerPadres(const std::string&, const std::string&) { return ""; }
}  // namespace varlo
