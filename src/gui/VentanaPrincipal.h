#pragma once
// The main window of varlodi-gui: the caption, the status label and the
// progress bar of the run, and the message boxes and dialogs the engines ask
// for, all modal over it. Every show or activation is handed on, from the
// event loop, to whoever drives the run.
#include <QElapsedTimer>
#include <QWidget>
#include <functional>

#include "common/Ventana.h"

class QLabel;
class QProgressBar;
class QFileDialog;

namespace varlo::gui {

class VentanaPrincipal : public QWidget, public VentanaBase {
  Q_OBJECT

 public:
  explicit VentanaPrincipal(QWidget* padre = nullptr);

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

 private:
  void ProgramaActivacion();
  std::string MuestraDialogoArchivo(const DialogoArchivo& d, bool guardar);

  QLabel* label1_;
  QProgressBar* progressBar1_;
  std::function<void()> alActivar_;
  bool permiteCerrar_ = false;
  QElapsedTimer ultimoServicio_;
};

}  // namespace varlo::gui
