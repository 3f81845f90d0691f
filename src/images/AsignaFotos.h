#pragma once
#include <string>

#include "db/Consulta.h"

namespace varlo {
class Corrida;
// Loads every employee's photograph from "DirectorioFotos" into
// Fotos_Empleados: the file named by the employee's "NombreFotos" column
// plus ".jpg" becomes the Foto of the employee's row, added when missing.
void AsignaFotos(Corrida& f);

// Its two queries: every employee ("select * from empleado") and the photo
// row of one employee, whose id is a text literal ("Select * From
// Fotos_Empleados Where ID_Empleado='O''Brien'").
db::Consulta ConsultaEmpleados();
db::Consulta ConsultaFotoEmpleado(const std::string& idEmpleado);
}  // namespace varlo
