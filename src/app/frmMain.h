#pragma once
// The main window's run state and run sequence. The window is never used
// interactively: its first activation finds the definitions file, reads the
// run options, runs the table import and then the incidences import, and
// the program ends. The engines reach its services through the Corrida
// interface it implements.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/CerrojoCarpeta.h"
#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Kelto_GEN_Trans.h"
#include "common/Ventana.h"
#include "db/Corrida.h"
#include "db/Esperas.h"

namespace varlo {

namespace db {
class Conexion;
}

class frmMain : public Corrida {
 public:
  // `lineaComandos`: the text after the program's name, arguments joined by spaces.
  frmMain(Ventana& ventana, std::string lineaComandos);
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  bool PrimeraActivacion = false;

  // Service objects, created on first use.
  Kelto_API_INIFiles& oIni() override;
  Kelto_GEN_Trans& oTrans() override;
  db::Conexion* cnBaseDatos() const override { return cnBaseDatos_.get(); }
  // For tests and the generator: a connection opened elsewhere becomes the shared one.
  void EstableceConexion(std::unique_ptr<db::Conexion> conexion);

  Ventana& ventana() override { return ventana_; }

  void Form_Load();
  void Form_Activate();

  // Appends the stamped line to the monthly log and shows it in a box, as
  // the options ReporteLog and MostrarMensajes say.
  void EscribeLog(const std::string& pMensaje) override;
  // Logs "[source] Error: number description", remembers that the run had
  // an error and hands the line (unstamped) to the error notice.
  void EscribeError(const ErrorVarlo& e) override;
  // Makes sure the shared connection is open; logs, notes the database as
  // lost and returns false when not.
  bool ConectaBD() override;
  void EscribeFalla(const std::string& linea) override;
  void EscribeAviso(const std::string& linea) override;
  void EscribeResumen(const std::string& nombre, const ResumenImportacion& r) override;
  void EscribeNoImportada(const std::string& nombre, const std::string& motivo,
                          bool planeacion) override;
  void AvanceImportacion(const std::string& nombre, const ResumenImportacion& r) override;
  // Every import of the run so far, in order, with what became of it.
  const std::vector<ImportacionCorrida>& Importaciones() const { return importaciones_; }

  // Where a front end shows every error line as it is logged (the console: stderr).
  void EstableceAvisoError(std::function<void(const std::string&)> aviso) {
    avisoError_ = std::move(aviso);
  }

  // Engines call this for every record they reject.
  void NotaRechazo() override { huboRechazos_ = true; }
  void NotaError() override { huboErrores_ = true; }
  void NotaBaseDatosPerdida() override { huboPerdidaBD_ = true; }
  bool HuboErrores() const override { return huboErrores_ || huboPerdidaBD_; }
  bool Interrumpida() const override;

  // Runs the bulk photo assignment instead of the imports (--fotos).
  void EstableceModoFotos(bool fotos) { modoFotos_ = fotos; }

  // A front end caught an error that stopped the run.
  void NotaErrorFatal() { errorFatal_ = true; }

  // After the run: whether a usable definitions file was found, why the run
  // ended before importing ("" when it did not), the log file this run
  // wrote ("" when none) and the exit status: 128 + the signal when
  // interrupted, else the first that applies of 2 (no definitions file, a
  // fatal error), 5 (folder busy), 3 (database unreachable or lost), 4 (an
  // import could not be done, an error line), 1 (records rejected), 0.
  bool Terminado() const { return terminado_; }
  bool SinDefiniciones() const { return sinDefiniciones_; }
  const std::string& MotivoFin() const { return motivoFin_; }
  const std::string& Bitacora() const { return bitacora_; }
  int EstadoSalida() const;

  // When the run began (this object was made), by the program's clock, and
  // the seconds since then by a clock that never jumps.
  const FechaHora& Inicio() const { return inicio_; }
  double SegundosDesdeInicio() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - inicioMonotono_)
        .count();
  }
  bool ModoFotos() const { return modoFotos_; }

  // Path of the log file as given to the writer (before the monthly name).
  static std::string ArchivoLog();

 private:
  void AvisaError(const std::string& linea);
  bool CompruebaDefiniciones();
  db::Esperas LeeEsperas();
  bool TomaCarpeta();
  void LeeOpciones();
  void ImportaDatos();
  void ImportaIncidencias();
  std::string CreaArchivoDefiniciones();
  void AsignaFotos();

  Ventana& ventana_;
  std::string lineaComandos_;
  std::unique_ptr<Kelto_API_INIFiles> oIni_;
  std::unique_ptr<Kelto_GEN_Trans> oTrans_;
  std::unique_ptr<db::Conexion> cnBaseDatos_;
  bool modoFotos_ = false;
  bool terminado_ = false;
  bool sinDefiniciones_ = false;
  bool huboErrores_ = false;
  bool huboRechazos_ = false;
  bool huboPerdidaBD_ = false;
  // Adds the import to the run's list and shows its summary line.
  void AnotaImportacion(ImportacionCorrida i, const std::string& linea);

  std::vector<ImportacionCorrida> importaciones_;
  bool conPlaneacion_ = false;
  bool carpetaOcupada_ = false;
  bool errorFatal_ = false;
  std::string motivoFin_;
  std::string bitacora_;
  std::function<void(const std::string&)> avisoError_;
  std::optional<CerrojoCarpeta> cerrojo_;  // held until the run sequence is destroyed
  FechaHora inicio_ = Ahora();
  std::chrono::steady_clock::time_point inicioMonotono_ = std::chrono::steady_clock::now();
};

}  // namespace varlo
