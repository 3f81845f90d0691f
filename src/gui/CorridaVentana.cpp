#include "CorridaVentana.h"

#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/ErrorVarlo.h"

namespace varlo::gui {

CorridaVentana::CorridaVentana(VentanaPrincipal& ventana, frmMain& f,
                               std::function<void(int)> alTerminar)
    : ventana_(ventana), f_(f), alTerminar_(std::move(alTerminar)) {
  ventana_.EstableceAlActivar([this] { Activacion(); });
}

CorridaVentana::~CorridaVentana() {
  ventana_.EstableceAlActivar(nullptr);
}

void CorridaVentana::Activacion() {
  if (terminada_) return;
  bool detenida = false;
  try {
    f_.Form_Activate();
  } catch (...) {
    detenida = true;
    f_.NotaErrorFatal();
    mensajeError_ = TextoError(ErrorCapturado());
  }
  // A nested activation may already have seen the end of the run.
  if (terminada_ || (!detenida && !f_.Terminado())) return;
  terminada_ = true;
  estado_ = f_.EstadoSalida();
  ventana_.PermiteCerrar(true);
  ventana_.close();
  // A signal while the summary waited ends the program as the signal says.
  estado_ = f_.EstadoSalida();
  if (alTerminar_) alTerminar_(estado_);
}

}  // namespace varlo::gui
