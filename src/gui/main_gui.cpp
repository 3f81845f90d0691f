// Window front end: the same run sequence as the console, in a small window
// with a status line and a progress bar.
#include <QApplication>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "CorridaVentana.h"
#include "VentanaPrincipal.h"
#include "app/Arranque.h"
#include "app/LineaComandos.h"
#include "app/ResumenJson.h"
#include "app/frmMain.h"
#include "common/Interrupcion.h"

namespace {

std::vector<std::string> ListaArgumentos(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace varlo;
  const std::string programa = "varlodi-gui";
  PreparaProceso();

  // Help and version need no display.
  if (auto estado = AtiendeOpciones(LeeArgumentos(ListaArgumentos(argc, argv)), programa))
    return *estado;

  // Qt aborts when it has no display: say so in one line, as a usage error.
  if (!gui::VentanaPrincipal::HayPantalla(argc, argv)) {
    std::cerr << "sin pantalla; use varlodi\n";
    return 2;
  }
  QApplication app(argc, argv);  // takes its own options (-platform, ...) out of argv
  gui::VentanaPrincipal::InstalaTraduccionesQt();
  // Numbers are read and written with "." whatever the user's locale; only
  // dates follow it, as in the console.
  std::setlocale(LC_ALL, "C");
  std::setlocale(LC_TIME, "");
  app.setQuitOnLastWindowClosed(false);

  // Qt has taken its own options out of argv: read ours again.
  Argumentos a = LeeArgumentos(ListaArgumentos(argc, argv));
  if (auto estado = AtiendeOpciones(a, programa)) return *estado;
  if (auto estado = FijaCarpetaPrograma(a, programa)) return *estado;

  gui::VentanaPrincipal ventana;
  frmMain f(ventana, a.texto);
  AplicaArgumentos(f, a);
  f.EstableceAvisoError([&ventana](const std::string& linea) {
    std::cerr << linea << "\n";
    ventana.MuestraError(linea);
  });
  gui::CorridaVentana corrida(ventana, f, [](int estado) { QCoreApplication::exit(estado); });
  ventana.EstableceFinCorrida([&corrida] {
    return gui::FinCorrida{corrida.EstadoSalida(), corrida.MensajeError()};
  });
  f.Form_Load();
  ventana.show();
  int estado = app.exec();
  // A signal after the run had handed on its status still decides the exit.
  if (InterrupcionPedida()) estado = 128 + SenalInterrupcion();
  InformaFin(f, estado, corrida.MensajeError(), std::cerr);
  EscribeResumenCorrida(a.resumen, f, estado, corrida.MensajeError(), std::cerr);
  return estado;
}
