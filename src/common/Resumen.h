#pragma once
// The counts of one import (a table or the absence planning) and the line
// that reports them after the system's own lines, e.g.
// "Resumen Empleado: 100000 leídas, 60000 agregadas, 39900 actualizadas,
// 100 rechazadas (Log/Empleado_Er.txt), 0 sin procesar, 12,1 s, 8264 por s".
#include <string>

namespace varlo {

struct ResumenImportacion {
  long leidas = 0;        // lines of the source
  long omitidas = 0;      // heading lines skipped ("LineasEncabezado")
  long agregadas = 0;     // rows added
  long actualizadas = 0;  // rows updated
  long rechazadas = 0;    // lines in the "_Er.txt" file
  long sinProcesar = 0;   // lines the run did not reach (stopped, interrupted)
  double segundos = 0;
  std::string archivoEr;  // where the rejected lines are, "" when not reported
  bool simulado = false;

  ResumenImportacion& operator+=(const ResumenImportacion& otro);
};

// "Resumen <nombre>: ..." (marked as a simulation when it was one).
std::string TextoResumen(const std::string& nombre, const ResumenImportacion& r);

}  // namespace varlo
