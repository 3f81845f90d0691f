#pragma once
// The main window's run state and run sequence. The window is never used
// interactively: its first activation finds the definitions file, reads the
// run options, runs the table import and then the incidences import, and
// the program ends. Every engine reaches the shared services through it.
#include <cstdint>
#include <memory>
#include <string>

#include "app/Ventana.h"
#include "common/ErrorVarlo.h"
#include "common/Kelto_API_INIFiles.h"
#include "common/Kelto_GEN_Trans.h"

namespace varlo {

namespace db {
class Conexion;
}
class cls_ADODBServices;

// Title of message boxes and product name of the log file.
inline constexpr const char* kTituloAplicacion = "VarloDI";
inline constexpr const char* kCaptionVentana = "Importador de datos Varlo";

class frmMain {
 public:
  // `lineaComandos`: the text after the program's name, arguments joined by spaces.
  frmMain(Ventana& ventana, std::string lineaComandos);
  ~frmMain();
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // Run state.
  bool PrimeraActivacion = false;
  std::string ArchivoDefiniciones;
  std::int16_t MostrarMensajes = 0;
  std::int16_t ReporteLog = 0;
  std::int16_t ReporteEmpleadosImportados = 0;
  std::int16_t ReporteEmpleadosNoImportados = 0;
  std::string CadenaConexion;

  // Service objects, created on first use.
  Kelto_API_INIFiles& oIni();
  Kelto_GEN_Trans& oTrans();
  cls_ADODBServices& oImagenes();
  // The one shared connection; null until ConectaBD opened it.
  db::Conexion* cnBaseDatos() const { return cnBaseDatos_.get(); }
  // For tests and the generator: a connection opened elsewhere becomes the shared one.
  void EstableceConexion(std::unique_ptr<db::Conexion> conexion);

  Ventana& ventana() { return ventana_; }

  void Form_Load();
  void Form_Activate();

  // Appends the stamped line to the monthly log and shows it in a box, as
  // the options ReporteLog and MostrarMensajes say.
  void EscribeLog(const std::string& pMensaje);
  // Logs "[source] Error: number description" and remembers that the run
  // had an error.
  void EscribeError(const ErrorVarlo& e);
  // Makes sure the shared connection is open; logs and returns false when not.
  bool ConectaBD();
  // The parents of a hierarchy unit, nearest first: ",'v1','v2',Null...".
  std::string ObtenerPadres(const std::string& strNivel, const std::string& strValor);

  // Engines call this for every record they reject.
  void NotaRechazo() { huboRechazos_ = true; }
  void NotaError() { huboErrores_ = true; }

  // Runs the bulk photo assignment instead of the imports (--fotos).
  void EstableceModoFotos(bool fotos) { modoFotos_ = fotos; }

  // After the run: whether a definitions file was found, and the exit
  // status (0 clean, 1 something rejected or an error logged).
  bool Terminado() const { return terminado_; }
  bool SinDefiniciones() const { return sinDefiniciones_; }
  int EstadoSalida() const { return (huboErrores_ || huboRechazos_) ? 1 : 0; }

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
  std::unique_ptr<cls_ADODBServices> oImagenes_;
  std::unique_ptr<db::Conexion> cnBaseDatos_;
  bool modoFotos_ = false;
  bool terminado_ = false;
  bool sinDefiniciones_ = false;
  bool huboErrores_ = false;
  bool huboRechazos_ = false;
};

}  // namespace varlo
