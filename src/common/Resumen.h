#pragma once
// The counts of one import (a table or the absence planning), what became of
// it, and the lines that report them after the system's own lines, e.g.
// "Resumen Empleado: 100000 leídas, 60000 agregadas, 39900 actualizadas,
// 100 rechazadas (Log/Empleado_Er.txt), 0 sin procesar, 12,1 s, 8264 por s".
// The absence planning counts its source in lines and what it writes in day
// rows, and says so; the picture assignment counts employees as records.
#include <string>
#include <vector>

namespace varlo {

struct ResumenImportacion {
  long leidas = 0;        // records of the source
  long omitidas = 0;      // heading records skipped ("LineasEncabezado"); photos: no file
  long agregadas = 0;     // rows added (the planning: day rows)
  long actualizadas = 0;  // rows updated (the planning: day rows)
  long rechazadas = 0;    // records in the "_Er.txt" file
  long sinProcesar = 0;   // records the run did not reach (stopped, interrupted)
  double segundos = 0;
  std::string archivoEr;  // where the rejected lines are, "" when not reported
  std::string archivoOk;  // where the imported lines are, "" when not reported
  bool simulado = false;
  bool porDias = false;  // agregadas and actualizadas count day rows, not records
  // Everything it wrote was rolled back (one transaction for the whole
  // import that did not commit): it counts nothing as imported or rejected,
  // and publishes no result file.
  bool deshecha = false;
  // A simulation that added rows on a database whose sequences and
  // identities do not go back with a rollback (all but SQLite): the values
  // those rows took are spent, and the summary says so.
  bool consumioSecuencias = false;
  // Why the import ended before the end of its source ("" when it did not):
  // the log line that said so.
  std::string motivo;

  // Records the import finished with, whatever their verdict.
  long Procesadas() const {
    return porDias ? leidas - omitidas - sinProcesar : agregadas + actualizadas + rechazadas;
  }
};

// What became of one import of the run.
enum class EstadoImportacion {
  Importada,    // its source was read to the end
  Incompleta,   // it started, and stopped before the end (motivo says why)
  NoImportada,  // nothing of its source was read (motivo says why)
  Deshecha,     // it was read, and all it wrote was rolled back (motivo says why)
};
const char* NombreEstado(EstadoImportacion e);

struct ImportacionCorrida {
  std::string nombre;  // the table, or the planning's section
  EstadoImportacion estado = EstadoImportacion::Importada;
  std::string motivo;  // why it is not Importada
  ResumenImportacion cuentas;
};

// "Resumen <nombre>: ..." (marked as a simulation when it was one).
std::string TextoResumen(const std::string& nombre, const ResumenImportacion& r);
// "Resumen <nombre>: no importada — <motivo>".
std::string TextoNoImportada(const std::string& nombre, const std::string& motivo, bool simulado);
// "Resumen total: ..." over every import of the run, naming those not
// imported and those rolled back.
std::string TextoResumenTotal(const std::vector<ImportacionCorrida>& importaciones);

}  // namespace varlo
