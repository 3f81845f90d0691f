#pragma once
// A small real run for the window tests: five employees into a fresh SQLite
// table, the third with a key longer than its column (rejected), plus any
// tables the test adds to the definitions file.
#include <string>
#include <vector>

#include "db/Conexion.h"
#include "support/CarpetaTemporal.h"

namespace varlo::gui::prueba {

// The definitions file; `opciones` are more lines of section "Opciones",
// `otrasTablas` more tables after Empleado (sections of their own are the
// test's business).
inline std::string PreparaCorrida(const varlo::prueba::CarpetaTemporal& tmp,
                                  const std::string& opciones = "",
                                  const std::vector<std::string>& otrasTablas = {}) {
  using varlo::prueba::EscribeBytes;
  const std::string base = tmp.Archivo("varlo.db");
  EscribeBytes(base, "");
  const std::string cadena = "Provider=SQLite;Data Source=" + base;
  db::Conexion::Abre(cadena)->Execute(
      "CREATE TABLE Empleado (ID_Empleado CHAR(15) NOT NULL PRIMARY KEY, Nombre VARCHAR(50))");
  EscribeBytes(tmp.Archivo("Empleado.txt"),
               "E1\tAna\r\nE2\tLuis\r\nE3-CON-UNA-CLAVE-DEMASIADO-LARGA\tEva\r\nE4\tSara\r\n"
               "E5\tJuan\r\n");
  std::string tablas =
      "Total=" + std::to_string(1 + otrasTablas.size()) + "\r\nTabla1=Empleado\r\n";
  for (std::size_t i = 0; i < otrasTablas.size(); ++i)
    tablas += "Tabla" + std::to_string(i + 2) + "=" + otrasTablas[i] + "\r\n";
  EscribeBytes(tmp.Archivo("defs.ini"),
               "[Opciones]\r\nReporteLog=1\r\nReporteEmpleadosNoImportados=1\r\n" + opciones +
                   "[Base de Datos]\r\nConexion=" + cadena + "\r\n[Tablas]\r\n" + tablas +
                   "[Empleado]\r\nFormato=2\r\nOrigen=" + tmp.Archivo("Empleado.txt") +
                   "\r\nNombreIndice=ID_Empleado\r\nColumnas=2\r\nCampoColumna1=ID_Empleado\r\n"
                   "CampoColumna2=Nombre\r\n");
  return tmp.Archivo("defs.ini");
}

}  // namespace varlo::gui::prueba
