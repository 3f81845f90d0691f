#pragma once
// The main window of varlodi-gui: the caption, the status label and the
// progress bar of the run, and the message boxes and dialogs the engines ask
// for, all modal over it. Every show or activation is handed on, from the
// event loop, to whoever drives the run.
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Ventana.h"

class QLabel;
class QProgressBar;
class QFileDialog;

namespace varlo::gui {

class VentanaPrincipal : public QWidget, public VentanaBase {
  Q_OBJECT

 public:
  // Milliseconds of a steady clock.
  using Reloj = std::function<std::int64_t()>;

  // The label and the bar are repainted at most this often; the last state
  // is always shown, at the latest when this time has passed.
  static constexpr std::int64_t kIntervaloPintadoMs = 50;

  explicit VentanaPrincipal(QWidget* padre = nullptr);

  // For tests: the clock of the repaint limit.
  void EstableceReloj(Reloj reloj) { reloj_ = std::move(reloj); }

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
  // Something changed: painted now, or when the interval is over.
  void CambioPendiente();
  void Pinta();
  // Before a box or the end: what is held back is shown.
  void PintaPendiente();
  void AjustaAlturaEtiqueta();
  std::string MuestraDialogoArchivo(const DialogoArchivo& d, bool guardar);

  QLabel* label1_;
  QProgressBar* progressBar1_;
  std::function<void()> alActivar_;
  bool permiteCerrar_ = false;
  Reloj reloj_;
  bool pendiente_ = false;
  std::optional<std::int64_t> ultimoPintado_;
  std::optional<std::int64_t> ultimoServicio_;
  QTimer pintaDespues_;
};

}  // namespace varlo::gui
