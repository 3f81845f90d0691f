// The console program on a definitions file with a table and an absence
// planning: both imports run, in that order, on SQLite and on PostgreSQL.
#include <gtest/gtest.h>

#include "incidences/EscenarioIncidencias.h"
#include "support/ProgramaCopiado.h"

namespace varlo {
namespace {

using prueba::BaseDatosPrueba;
using V = std::vector<std::string>;

void CorreAmbasImportaciones(const std::string& cadena) {
  prueba::CarpetaTemporal tmp;
  auto ruta = [&](const std::string& a) { return tmp.Archivo(a); };
  prueba::EscribeBytes(ruta("Empleado.txt"), "7,Ana\r\n8,Luis\r\n");
  prueba::EscribeBytes(ruta("Planfal.txt"),
                       "7,2006-08-01,2006-08-03,VAC\r\n8,2006-08-31,2006-09-01,INC\r\n");
  prueba::EscribeBytes(ruta("defs.ini"),
                       "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + cadena +
                           "\r\n[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n"
                           "[Empleado]\r\nOrigen=Empleado.txt\r\nFormato=3\r\n"
                           "NombreIndice=ID_Empleado\r\nColumnas=2\r\n"
                           "CampoColumna1=ID_Empleado\r\nCampoColumna2=Nombre\r\n"
                           "[Planeacion Faltas]\r\nOrigen=Planfal.txt\r\nFormato=3\r\n"
                           "Columnas=4\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\n"
                           "CampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\n");
  prueba::CopiaPrograma(tmp.Ruta());
  EXPECT_EQ(prueba::CorreCopia(tmp.Ruta()), 0) << prueba::LeeBytes(ruta("errores.txt"));

  // Both imports' first and last lines, in order, with no error line between.
  // Each import's summary after its own lines, then the run's.
  V log;
  for (const std::string& l : prueba::LineasDe(prueba::LogDeLaCorrida(tmp.Ruta()), true))
    log.push_back(l.rfind("Resumen ", 0) == 0 ? l.substr(0, l.find(" sin procesar") + 13) : l);
  EXPECT_EQ(log, (V{">Inicio de importación",
                    "Resumen Empleado: 2 leídas, 2 agregadas, 0 actualizadas, 0 rechazadas, "
                    "0 sin procesar",
                    "Fin de importación", ">Inicio de importación de Incidencias",
                    "Resumen Planeacion Faltas: 2 leídas, 5 agregadas, 0 actualizadas, "
                    "0 rechazadas, 0 sin procesar",
                    "Fin de importación de Incidencias",
                    "Resumen total: 4 leídas, 7 agregadas, 0 actualizadas, 0 rechazadas, "
                    "0 sin procesar"}));
  EXPECT_EQ(prueba::Filas(cadena, "Empleado", {"ID_Empleado", "Nombre"}), (V{"7|Ana", "8|Luis"}));
  EXPECT_EQ(prueba::Filas(cadena, "Kardex", {"Id_Empleado", "Fecha", "ID_Tipo"}),
            (V{"7|2006-08-01|VAC", "7|2006-08-02|VAC", "7|2006-08-03|VAC", "8|2006-08-31|INC",
               "8|2006-09-01|INC"}));
}

TEST(WholeProgram, TableThenAbsencePlanningOnSQLite) {
  prueba::CarpetaTemporal bd;
  CorreAmbasImportaciones(BaseDatosPrueba::SQLite(bd.Ruta()));
}

TEST(WholeProgram, TableThenAbsencePlanningOnPostgreSql) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql();
  CorreAmbasImportaciones(pg.Cadena());
}

}  // namespace
}  // namespace varlo
