// The program itself, copied into a private folder (so that "Log" is beside
// it), run on definitions and source files made here.
#include <gtest/gtest.h>
#include <filesystem>

#include "EntornoImportacion.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

namespace fs = std::filesystem;

class VarlodiEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(VarlodiEn, ImportaTablasConJerarquiaFotosYRechazos) {
  EntornoImportacion e(GetParam());
  fs::create_directories(e.Archivo("datos/Empleado_Foto"));
  const std::string foto =
      std::string("\xFF\xD8\xFF\xE0", 4) + "foto de Ana" + std::string("\0\xFF\xD9", 3);
  EscribeBytes(e.Archivo("datos/Empleado_Foto/1.jpg"), foto);
  e.Definiciones(
      "[Tablas]\r\nTotal=2\r\nTabla1=Jerarquias\r\nTabla2=Empleado\r\n"
      "[Jerarquias]\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=2\r\nCampoColumna1=Key\r\n"
      "CampoColumna2=Parent\r\nOrigen=" +
      e.Archivo("datos/j.txt") + "\r\n[Empleado]\r\nOrigen=" + e.Archivo("datos/Empleado.txt") +
      "\r\nFormato=1\r\nFormatoFecha=YYYYMMDD\r\nNombreIndice=ID_Empleado\r\n"
      "Jerarquia unica en columna=3\r\nColumnas=6\r\n"
      "CampoColumna1=ID_Empleado\r\nLongitudColumna1=6\r\n"
      "CampoColumna2=Nombre\r\nLongitudColumna2=12\r\n"
      "CampoColumna3=ID_Nivel2\r\nLongitudColumna3=5\r\n"
      "CampoColumna4=Activo\r\nLongitudColumna4=3\r\n"
      "CampoColumna5=FechaAlta\r\nLongitudColumna5=8\r\n"
      "CampoColumna6=Foto\r\nLongitudColumna6=0\r\n");
  e.Fuente("datos/j.txt", {"_0DIR,", "_1VEN,_0DIR", "_2NTE,_1VEN"});
  const V lineas = {"1     Ana         NTE  Si 20050102", "O'B   Bob         NTE  no 20060302",
                    "      Nadie       NTE  Si 20050102", "1     Ana Maria        N  "};
  e.Fuente("datos/Empleado.txt", lineas);

  CopiaPrograma(e.Archivo(""));
  EXPECT_EQ(CorreCopia(e.Archivo(""), e.Archivo("defs.ini")), 1);  // one record rejected

  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "ID_Nivel2", "ID_Nivel1", "ID_Nivel0",
                               "Activo", "FechaAlta", "Foto"}),
            (Filas{{"1", "Ana Maria", "NTE", "VEN", "DIR", "False", "2005-01-02", foto},
                   {"O'B", "Bob", "NTE", "VEN", "DIR", "False", "2006-03-02", "NULL"}}))
      << LeeBytes(e.Archivo("errores.txt"));
  EXPECT_EQ(e.Resultado("Jerarquias_Ok.txt"), (V{"_0DIR,", "_1VEN,_0DIR", "_2NTE,_1VEN"}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{lineas[0], lineas[1], lineas[3]}));
  EXPECT_EQ(e.Resultado("Empleado_Er.txt"),
            (V{lineas[2] + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)"}));
  // the table import's own lines come first, free of the rejected record
  V log = e.Log();
  log.resize(std::min<std::size_t>(log.size(), 2));
  EXPECT_EQ(log, (V{">Inicio de importación", "Fin de importación"}));
}

INSTANTIATE_TEST_SUITE_P(Motores, VarlodiEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
