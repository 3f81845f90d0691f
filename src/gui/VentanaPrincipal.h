#pragma once
// The main window of varlodi-gui: the caption, the status label and the
// progress bar of the run, a folded "Detalles" part with a row per import
// and the error lines, and the message boxes and dialogs the engines ask
// for, all modal over it. Every show or activation is handed on, from the
// event loop, to whoever drives the run. When the run closes the window, its
// status says how the run ended and, if a person is there, the summary
// of the run waits for them. A signal that asks the program to stop (SIGINT,
// SIGTERM, SIGHUP) cancels whatever dialog waits, the summary included, so
// that the run, or the end of it, goes on to its exit.
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Ventana.h"

class QBoxLayout;
class QLabel;
class QProgressBar;
class QFileDialog;
class QToolButton;

namespace varlo::gui {

class PanelDetalles;

// How the run ended: its exit status and the error that stopped it, if any.
struct FinCorrida {
  int estado = 0;
  std::string error;
};

// What tells whether somebody started the run and is there to read its end.
struct EntornoPersona {
  std::string plataforma;         // Qt's platform plugin
  bool entradaTerminal = false;   // stdin is a terminal
  bool servicio = false;          // started by systemd (a service or a timer)
  bool sesionEscritorio = false;  // started from a desktop session
};

class VentanaPrincipal : public QWidget, public VentanaBase {
  Q_OBJECT

 public:
  // Milliseconds of a steady clock.
  using Reloj = std::function<std::int64_t()>;

  // The label and the bar are repainted at most this often; the last state
  // is always shown, at the latest when this time has passed.
  static constexpr std::int64_t kIntervaloPintadoMs = 50;
  // How often the window looks whether a signal asked the program to stop.
  static constexpr int kIntervaloVigiaMs = 100;

  explicit VentanaPrincipal(QWidget* padre = nullptr);

  // For tests: the clock of the repaint limit and of the run's length.
  void EstableceReloj(Reloj reloj) { reloj_ = std::move(reloj); }

  // Asked once the run closes the window.
  void EstableceFinCorrida(std::function<FinCorrida()> fin) { finCorrida_ = std::move(fin); }
  // Whether the end summary waits for somebody (by default HayPersona).
  void EstablecePersonaPresente(bool presente) { personaPresente_ = presente; }
  // Opens a file with the desktop's program for it (replaced by tests).
  void EstableceAbridor(std::function<bool(const QString&)> abre) { abre_ = std::move(abre); }

  // The summary lines of this run, in order.
  void MuestraResumen(const std::string& linea) override { resumenes_.push_back(linea); }
  const std::vector<std::string>& Resumenes() const { return resumenes_; }

  // Rows of "Detalles": the import in progress and each one that ended.
  void MuestraAvance(const std::string& nombre, const ResumenImportacion& r) override;
  void MuestraImportacion(const ImportacionCorrida& i) override;
  // An error line of the run, as it is logged.
  void MuestraError(const std::string& linea);
  // Unfolds "Detalles" (the window grows) or folds it back to the small window.
  void MuestraDetalles(bool ver);
  bool DetallesDesplegados() const { return desplegado_; }
  PanelDetalles* Detalles() const { return detalles_; }
  QToolButton* cmdDetalles() const { return cmdDetalles_; }

  void EstableceAlActivar(std::function<void()> alActivar) { alActivar_ = std::move(alActivar); }
  // The user may close the window only once the run is over.
  void PermiteCerrar(bool permite) { permiteCerrar_ = permite; }

  QLabel* Label1() const { return label1_; }
  QProgressBar* ProgressBar1() const { return progressBar1_; }

  void ProcesaEventos() override;
  Respuesta MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                           const std::string& titulo) override;
  std::string MuestraAbrir(const DialogoArchivo& d) override;
  std::string MuestraGuardar(const DialogoArchivo& d) override;
  std::optional<std::string> ComponeConexion(const std::string& semilla,
                                             ProbarConexion probar) override;
  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override;

  // Whether Qt has a display to open: a platform named by QT_QPA_PLATFORM or
  // "-platform", or an X11 or Wayland display. Without one Qt would abort.
  // `variable` reads the environment ("" when unset).
  static bool HayPantalla(const std::function<std::string(const char*)>& variable,
                          const std::vector<std::string>& argumentos);
  static bool HayPantalla(int argc, char** argv);

  // Qt's own texts (file dialogs, standard buttons, context menus) in
  // Spanish, like the rest of the program; false when the translation of Qt
  // is not installed, and Qt then speaks English.
  static bool InstalaTraduccionesQt();

  // A person is there when the run was started from a terminal (stdin is
  // one) or from a desktop session, and not by systemd; never when Qt draws
  // off screen. A scheduler's run (cron, a timer) thus never waits.
  static bool HayPersona(const EntornoPersona& e);
  static EntornoPersona EntornoActual();

  // The status the run leaves in Label1: how it ended, in the words of the
  // console's last line.
  static std::string TextoFinal(int estado);
  // "12,3 s", "1 min 05 s", "2 h 01 min 05 s".
  static std::string TextoDuracion(std::int64_t milisegundos);
  // The files of rejected lines the summary lines name, as written there.
  static std::vector<std::string> ArchivosRechazados(const std::vector<std::string>& lineas);
  // The newest monthly log file in `carpetaLog`, "" when there is none.
  static std::string UltimaBitacora(const std::string& carpetaLog);

  // "description|pattern|..." as Qt writes filters: "description (pattern);;...".
  static QString FiltroQt(const std::string& filtro);
  // Title, folder, filter, default suffix and preset name of an Open or Save box.
  static void PreparaDialogo(QFileDialog& dialogo, const DialogoArchivo& d, bool guardar);

 protected:
  void EstadoCambiado() override;
  void ProgresoCambiado() override;
  void showEvent(QShowEvent* evento) override;
  void changeEvent(QEvent* evento) override;
  void closeEvent(QCloseEvent* evento) override;
  void resizeEvent(QResizeEvent* evento) override;

 private:
  void ProgramaActivacion();
  // A signal asked to stop: every dialog and menu that waits is cancelled.
  void AtiendeInterrupcion();
  // Something changed: painted now, or when the interval is over.
  void CambioPendiente();
  void Pinta();
  // Before a box or the end: what is held back is shown.
  void PintaPendiente();
  void AjustaAlturaEtiqueta();
  // The end: the status of how the run ended, and the summary for a person.
  void TerminaCorrida();
  std::string MuestraDialogoArchivo(const DialogoArchivo& d, bool guardar);

  QLabel* label1_;
  QProgressBar* progressBar1_;
  QToolButton* cmdDetalles_;
  PanelDetalles* detalles_;
  QBoxLayout* fila_;
  QBoxLayout* columna_;
  bool desplegado_ = false;
  QSize tamanoPlegado_;
  QTimer vigiaInterrupcion_;
  std::function<void()> alActivar_;
  bool permiteCerrar_ = false;
  Reloj reloj_;
  bool pendiente_ = false;
  std::optional<std::int64_t> ultimoPintado_;
  std::optional<std::int64_t> ultimoServicio_;
  QTimer pintaDespues_;
  std::optional<std::int64_t> inicio_;
  std::function<FinCorrida()> finCorrida_;
  bool personaPresente_;
  std::function<bool(const QString&)> abre_;
  std::vector<std::string> resumenes_;
  bool terminada_ = false;
};

}  // namespace varlo::gui
