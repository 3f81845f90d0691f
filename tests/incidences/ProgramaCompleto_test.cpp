// The console program on a definitions file with a table and an absence
// planning: both imports run, in that order, on every engine.
#include <gtest/gtest.h>

#include <regex>

#include "incidences/EscenarioIncidencias.h"
#include "support/Definiciones.h"
#include "support/MotoresPrueba.h"
#include "support/ProgramaCopiado.h"

namespace varlo {
namespace {

using prueba::BaseDatosPrueba;
using V = std::vector<std::string>;

// Employee, start, end, type, from Planfal.txt in the program's folder.
const std::string kPlaneacion =
    "[Planeacion Faltas]\r\nOrigen=Planfal.txt\r\nFormato=3\r\nColumnas=4\r\n"
    "CampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\nCampoColumna3=Fecha2\r\n"
    "CampoColumna4=ID_Tipo\r\n";
const std::string kEmpleado =
    prueba::SeccionComas("Empleado", "Empleado.txt", "ID_Empleado", {"ID_Empleado", "Nombre"});

// The program copied into `tmp`, its two sources, and defs.ini with the
// tables listed (Empleado and `otras` sections) then the absence planning.
void Prepara(const prueba::CarpetaTemporal& tmp, const std::string& cadena,
             const std::string& empleados, const std::string& planeacion,
             const std::vector<std::string>& tablas, const std::string& otras = "") {
  prueba::EscribeBytes(tmp.Archivo("Empleado.txt"), empleados);
  prueba::EscribeBytes(tmp.Archivo("Planfal.txt"), planeacion);
  prueba::EscribeBytes(tmp.Archivo("defs.ini"),
                       "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + cadena +
                           "\r\n" + prueba::ListaTablas(tablas) + kEmpleado + otras + kPlaneacion);
  prueba::CopiaPrograma(tmp.Ruta());
}

class WholeProgramOn : public ::testing::TestWithParam<prueba::MotorPrueba> {};

TEST_P(WholeProgramOn, TableThenAbsencePlanning) {
  prueba::CarpetaTemporal tmp;
  std::unique_ptr<BaseDatosPrueba> pg;
  const std::string cadena = prueba::BaseDe(GetParam(), tmp.Ruta(), pg);
  Prepara(tmp, cadena, "7,Ana\r\n8,Luis\r\n",
          "7,2006-08-01,2006-08-03,VAC\r\n8,2006-08-31,2006-09-01,INC\r\n", {"Empleado"});
  EXPECT_EQ(prueba::CorreCopia(tmp.Ruta()), 0) << prueba::LeeBytes(tmp.Archivo("errores.txt"));

  // Both imports' first and last lines, in order, with no error line between.
  // Each import's summary after its own lines (the planning's in lines read
  // and day rows written), then the run's; times left out.
  V log;
  const std::regex tiempo(", [0-9]+,[0-9] s.*$");
  for (const std::string& l : prueba::LineasDe(prueba::LogDeLaCorrida(tmp.Ruta()), true))
    log.push_back(std::regex_replace(l, tiempo, ""));
  EXPECT_EQ(log, (V{">Inicio de importación",
                    "Resumen Empleado: 2 leídas, 2 agregadas, 0 actualizadas, 0 rechazadas, "
                    "0 sin procesar",
                    "Fin de importación", ">Inicio de importación de Incidencias",
                    "Resumen Planeacion Faltas: 2 líneas leídas, 0 rechazadas, 0 sin procesar; "
                    "5 días agregados, 0 días actualizados",
                    "Fin de importación de Incidencias",
                    "Resumen total: 4 leídas, 2 agregadas, 0 actualizadas, 0 rechazadas, "
                    "0 sin procesar; 5 días agregados, 0 días actualizados"}));
  EXPECT_EQ(prueba::Filas(cadena, "Empleado", {"ID_Empleado", "Nombre"}), (V{"7|Ana", "8|Luis"}));
  EXPECT_EQ(prueba::Filas(cadena, "Kardex", {"Id_Empleado", "Fecha", "ID_Tipo"}),
            (V{"7|2006-08-01|VAC", "7|2006-08-02|VAC", "7|2006-08-03|VAC", "8|2006-08-31|INC",
               "8|2006-09-01|INC"}));
}

INSTANTIATE_TEST_SUITE_P(Motores, WholeProgramOn, prueba::TodosLosMotores(), prueba::NombreMotor);

// Silent, as a scheduler runs it: a table without its source and a planning
// with a line it rejects. Every reason reaches stderr, the table not imported
// has its own summary line, and the run's total names it.
TEST(WholeProgram, ATableNotImportedSaysWhyOnStderr) {
  prueba::CarpetaTemporal tmp;
  Prepara(tmp, BaseDatosPrueba::SQLite(tmp.Ruta()), "7,Ana\r\n",
          "7,2006-08-01,2006-08-02,VAC\r\n7,el lunes,2006-08-09,VAC\r\n",
          {"Empleado", "Jerarquias"},
          prueba::SeccionComas("Jerarquias", "Jerarquias.txt", "Key", {"Key"}));
  EXPECT_EQ(prueba::CorreCopia(tmp.Ruta(), "defs.ini", "-q"), 4);

  const V err = Divide(prueba::LeeBytes(tmp.Archivo("errores.txt")), "\n");
  auto linea = [&](const std::string& comienzo) {
    for (const std::string& l : err)
      if (l.rfind(comienzo, 0) == 0) return l;
    return std::string();
  };
  EXPECT_EQ(linea("Resumen Jerarquias:"),
            "Resumen Jerarquias: no importada — Archivo origen no existe (Jerarquias.txt)");
  const std::string planeacion = linea("Resumen Planeacion Faltas:");
  EXPECT_EQ(planeacion.rfind(
                "Resumen Planeacion Faltas: 2 líneas leídas, 1 rechazadas "
                "(Log/Planeacion Faltas_Incidencias_Er.txt), 0 sin procesar; 2 días agregados, "
                "0 días actualizados, ",
                0),
            0u)
      << planeacion;
  const std::string total = linea("Resumen total:");
  EXPECT_EQ(total.rfind("Resumen total: 3 leídas, 1 agregadas, 0 actualizadas, 1 rechazadas, "
                        "0 sin procesar; 2 días agregados, 0 días actualizados, ",
                        0),
            0u)
      << total;
  EXPECT_NE(total.find("; no importadas: Jerarquias"), std::string::npos) << total;
  // nothing of the progress with -q: only summaries, reasons and the end
  for (const std::string& l : err) EXPECT_EQ(l.find("Importando datos"), std::string::npos) << l;
}

}  // namespace
}  // namespace varlo
