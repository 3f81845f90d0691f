#pragma once
namespace varlo {
class frmMain;
// The table import: every table listed in "Tablas", in order.
void ImportaDatos(frmMain& f);
}  // namespace varlo
