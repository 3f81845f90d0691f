#pragma once
// The main window's run state and run sequence. The window is never used
// interactively: its first activation finds the definitions file, reads the
// run options, runs the table import and then the incidences import, and
// the program ends. The engines reach its services through the Corrida
// interface it implements.
#include <cstdint>
#include <memory>
#include <string>

#include "common/ErrorVarlo.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Kelto_GEN_Trans.h"
#include "common/Ventana.h"
#include "db/Corrida.h"

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
  // Logs "[source] Error: number description" and remembers that the run
  // had an error.
  void EscribeError(const ErrorVarlo& e) override;
  // Makes sure the shared connection is open; logs and returns false when not.
  bool ConectaBD() override;
  void EscribeResumen(const std::string& nombre, const ResumenImportacion& r) override;

  // Engines call this for every record they reject.
  void NotaRechazo() override { huboRechazos_ = true; }
  void NotaError() override { huboErrores_ = true; }
  void NotaBaseDatosPerdida() override { huboPerdidaBD_ = true; }
  bool Interrumpida() const override { return false; }

  // Runs the bulk photo assignment instead of the imports (--fotos).
  void EstableceModoFotos(bool fotos) { modoFotos_ = fotos; }

  // After the run: whether a definitions file was found, and the exit
  // status (0 clean, 1 something rejected or an error logged).
  bool Terminado() const { return terminado_; }
  bool SinDefiniciones() const { return sinDefiniciones_; }
  int EstadoSalida() const {
    if (huboPerdidaBD_) return 3;
    if (huboErrores_) return 4;
    return huboRechazos_ ? 1 : 0;
  }

  // Path of the log file as given to the writer (before the monthly name).
  static std::string ArchivoLog();

 private:
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
  ResumenImportacion total_;
  int resumenes_ = 0;
};

}  // namespace varlo
