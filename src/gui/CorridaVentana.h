#pragma once
// Ties the window's activations to the run sequence of frmMain: every
// activation is passed on (the run itself starts only on the first), and
// once the run is over the window closes and the exit status is handed on,
// exactly once.
#include <functional>
#include <string>

namespace varlo {
class frmMain;
}

namespace varlo::gui {

class VentanaPrincipal;

class CorridaVentana {
 public:
  // `alTerminar` gets the run's exit status (frmMain::EstadoSalida; 2 for
  // an error that stopped the run).
  CorridaVentana(VentanaPrincipal& ventana, frmMain& f, std::function<void(int)> alTerminar);
  // The window may outlive it: its activations are no longer passed on.
  ~CorridaVentana();
  CorridaVentana(const CorridaVentana&) = delete;
  CorridaVentana& operator=(const CorridaVentana&) = delete;

  bool Terminada() const { return terminada_; }
  int EstadoSalida() const { return estado_; }
  // "Error N: description" of an error that stopped the run, else "".
  const std::string& MensajeError() const { return mensajeError_; }

 private:
  void Activacion();

  VentanaPrincipal& ventana_;
  frmMain& f_;
  std::function<void(int)> alTerminar_;
  bool terminada_ = false;
  int estado_ = 0;
  std::string mensajeError_;
};

}  // namespace varlo::gui
