#pragma once
namespace varlo {
class frmMain;
// Loads every employee's photograph from "DirectorioFotos" into Fotos_Empleados.
void AsignaFotos(frmMain& f);
}  // namespace varlo
