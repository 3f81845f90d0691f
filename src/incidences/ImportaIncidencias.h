#pragma once
namespace varlo {
class frmMain;
// The absence planning ("Planeacion Faltas") into Kardex, one row per employee and day.
void ImportaIncidencias(frmMain& f);
}  // namespace varlo
