// The console program on a definitions file with a table and an absence
// planning: both imports run, in that order, on SQLite and on PostgreSQL
// through ODBC, and the log holds both engines' first and last lines.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Kelto_GEN_Trans.h"
#include "incidences/EscenarioIncidencias.h"

namespace varlo {
namespace {

using prueba::BaseDatosPrueba;
using prueba::CarpetaTemporal;
using prueba::EscribeBytes;
using prueba::LeeBytes;
using V = std::vector<std::string>;

// Runs a private copy of the program on `defs.ini`; returns its exit status.
int EjecutaPrograma(const CarpetaTemporal& tmp) {
  std::string exe = tmp.Archivo("varlodi");
  std::filesystem::copy_file(std::string(VARLODI_BIN_DIR) + "/varlodi", exe,
                             std::filesystem::copy_options::overwrite_existing);
  std::string cmd = "cd '" + tmp.Ruta() + "' && LC_ALL=C '" + exe + "' '" + tmp.Archivo("defs.ini") +
                    "' </dev/null >'" + tmp.Archivo("out.txt") + "' 2>'" + tmp.Archivo("err.txt") + "'";
  int r = std::system(cmd.c_str());
  return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

void CorreAmbasImportaciones(const std::string& cadena) {
  CarpetaTemporal tmp;
  EscribeBytes(tmp.Archivo("Empleado.txt"), "7,Ana\r\n8,Luis\r\n");
  EscribeBytes(tmp.Archivo("Planfal.txt"),
               "7,2006-08-01,2006-08-03,VAC\r\n8,2006-08-31,2006-09-01,INC\r\n");
  EscribeBytes(tmp.Archivo("defs.ini"),
               "[Opciones]\r\nReporteLog=1\r\n"
               "[Base de Datos]\r\nConexion=" + cadena + "\r\n"
               "[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n"
               "[Empleado]\r\nOrigen=" + tmp.Archivo("Empleado.txt") + "\r\nFormato=3\r\n"
               "NombreIndice=ID_Empleado\r\nColumnas=2\r\n"
               "CampoColumna1=ID_Empleado\r\nCampoColumna2=Nombre\r\n"
               "[Planeacion Faltas]\r\nOrigen=" + tmp.Archivo("Planfal.txt") + "\r\nFormato=3\r\n"
               "Columnas=4\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\n"
               "CampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\n");

  EXPECT_EQ(EjecutaPrograma(tmp), 0) << LeeBytes(tmp.Archivo("err.txt"));

  // The program writes its log beside itself.
  V log = prueba::MensajesLog(Kelto_GEN_Trans::ArchivoMensual(tmp.Archivo("Log/VarloDI.log")));
  auto posicion = [&](const std::string& m) {
    return std::find(log.begin(), log.end(), m) - log.begin();
  };
  auto n = static_cast<long>(log.size());
  long inicioTablas = posicion(">Inicio de importación");
  long finTablas = posicion("Fin de importación");
  long inicioIncidencias = posicion(">Inicio de importación de Incidencias");
  long finIncidencias = posicion("Fin de importación de Incidencias");
  EXPECT_EQ(inicioTablas, 0) << Une(log, "\n");
  EXPECT_LT(finTablas, n) << Une(log, "\n");
  EXPECT_EQ(inicioIncidencias, finTablas + 1) << Une(log, "\n");
  EXPECT_EQ(finIncidencias, n - 1) << Une(log, "\n");
  EXPECT_EQ(finIncidencias, inicioIncidencias + 1) << Une(log, "\n");  // no error line between

  EXPECT_EQ(prueba::Filas(cadena, "Empleado", {"ID_Empleado", "Nombre"}), (V{"7|Ana", "8|Luis"}));
  EXPECT_EQ(prueba::Filas(cadena, "Kardex", {"Id_Empleado", "Fecha", "ID_Tipo"}),
            (V{"7|2006-08-01|VAC", "7|2006-08-02|VAC", "7|2006-08-03|VAC", "8|2006-08-31|INC",
               "8|2006-09-01|INC"}));
  EXPECT_EQ(LeeBytes(tmp.Archivo("Log/Planeacion Faltas_Incidencias_Ok.txt")),
            "7,2006-08-01,2006-08-03,VAC\r\n7,2006-08-01,2006-08-03,VAC\r\n"
            "7,2006-08-01,2006-08-03,VAC\r\n8,2006-08-31,2006-09-01,INC\r\n"
            "8,2006-08-31,2006-09-01,INC\r\n");
  EXPECT_EQ(LeeBytes(tmp.Archivo("Log/Planeacion Faltas_Incidencias_Er.txt")), "");
}

TEST(WholeProgram, TableThenAbsencePlanningOnSQLite) {
  CarpetaTemporal bd;
  CorreAmbasImportaciones(BaseDatosPrueba::SQLite(bd.Ruta()));
}

TEST(WholeProgram, TableThenAbsencePlanningOnPostgreSqlThroughOdbc) {
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql();
  CorreAmbasImportaciones(pg.Cadena());
}

}  // namespace
}  // namespace varlo
