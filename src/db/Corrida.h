#pragma once
// What the engines need of the run: its options, the log, the shared
// connection, the profile and text-file services and the window. The main
// window implements it; the engines see only this, so they never depend on
// the run sequence that calls them.
#include <cstdint>
#include <string>

#include "common/ErrorVarlo.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Kelto_GEN_Trans.h"
#include "common/Resumen.h"
#include "common/Ventana.h"

namespace varlo {

namespace db {
class Conexion;
}

class Corrida {
 public:
  virtual ~Corrida() = default;

  // Run state, read from the definitions file's "Opciones" before the engines run.
  std::string ArchivoDefiniciones;
  std::int16_t MostrarMensajes = 0;
  std::int16_t ReporteLog = 0;
  std::int16_t ReporteEmpleadosImportados = 0;
  std::int16_t ReporteEmpleadosNoImportados = 0;
  std::string CadenaConexion;

  // Options of the command line that the engines obey.
  struct Opciones {
    bool simular = false;     // every change rolled back; result files never replace a real run's
    long lote = 0;            // records per transaction; 0: the program's default
    long maxRechazos = 0;     // a table stops after this many rejected records; 0: no limit
    bool silencioso = false;  // no progress: errors and summaries only
  } opciones;

  virtual Ventana& ventana() = 0;
  virtual Kelto_API_INIFiles& oIni() = 0;
  virtual Kelto_GEN_Trans& oTrans() = 0;
  // The one shared connection; null until ConectaBD opened it.
  virtual db::Conexion* cnBaseDatos() const = 0;

  // Appends the stamped line to the monthly log (and shows it in a box when
  // the options say so).
  virtual void EscribeLog(const std::string& pMensaje) = 0;
  // Logs the error line and remembers that the run had an error.
  virtual void EscribeError(const ErrorVarlo& e) = 0;
  // Makes sure the shared connection is open; logs and returns false when not.
  virtual bool ConectaBD() = 0;
  // Logs a line that explains why the run will not exit cleanly (a table
  // or the planning stopped, skipped or interrupted), shows it where the
  // person is, and notes the error (4).
  virtual void EscribeFalla(const std::string& linea) = 0;
  // Logs a line that explains a rejection outside the result files (a
  // photograph that could not be stored) and shows it where the person is.
  virtual void EscribeAviso(const std::string& linea) = 0;
  // Logs the counts of one import after its own lines and shows them; an
  // import that stopped before the end of its source has its reason in
  // `r.motivo`.
  virtual void EscribeResumen(const std::string& nombre, const ResumenImportacion& r) = 0;
  // An import that read nothing of its source: its summary line names the
  // reason (already logged in its own words by the engine), and the run
  // notes the error (4).
  virtual void EscribeNoImportada(const std::string& nombre, const std::string& motivo,
                                  bool planeacion) = 0;
  // The counts of the import in progress, for a window that shows them as
  // the run goes (called often: the window keeps the pace of its drawing).
  virtual void AvanceImportacion(const std::string& nombre, const ResumenImportacion& r) = 0;

  // What went wrong, for the exit status. A rejected record (1); a table or
  // absence planning that could not be imported, or an error line in its
  // scope (4; EscribeError notes it too); the database unreachable or lost (3).
  virtual void NotaRechazo() = 0;
  virtual void NotaError() = 0;
  virtual void NotaBaseDatosPerdida() = 0;
  // Whether an error line was logged or an import could not be done so far.
  virtual bool HuboErrores() const = 0;

  // Whether the run was asked to stop (SIGINT, SIGTERM): engines check it
  // between records and stop after finishing or rolling back the batch.
  virtual bool Interrumpida() const = 0;
};

}  // namespace varlo
