// Console front end: the same run sequence as the window, drawn on stderr.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/Arranque.h"
#include "app/LineaComandos.h"
#include "app/ResumenJson.h"
#include "app/VentanaConsola.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/ErrorDeCorrida.h"

int main(int argc, char** argv) {
  using namespace varlo;
  PreparaProceso();
  std::setlocale(LC_TIME, "");
  std::setlocale(LC_MESSAGES, "");
  const std::string programa = "varlodi";
  Argumentos a = LeeArgumentos(std::vector<std::string>(argv + 1, argv + argc));
  if (auto estado = AtiendeOpciones(a, programa)) return *estado;
  // Nobody can answer the Open dialog or the offer to generate a file.
  if (EstaEnBlanco(a.texto) && !EntradaEsTerminal()) {
    std::cerr << TextoUso(programa, EligeCarpetaPrograma(FuentesDelProceso(a.carpeta)));
    return 2;
  }
  if (auto estado = FijaCarpetaPrograma(a, programa)) return *estado;

  VentanaConsola ventana;
  ventana.EstableceSilencioso(a.opciones.silencioso);
  frmMain f(ventana, a.texto);
  AplicaArgumentos(f, a);
  f.EstableceAvisoError([&ventana](const std::string& linea) { ventana.MuestraError(linea); });
  // The last lines say how the run ended; with -q a clean run says nothing.
  auto termina = [&](const std::string& errorFatal) {
    const int estado = f.EstadoSalida();
    const FinCorrida fin = DescribeFin(f, estado, errorFatal, !a.opciones.silencioso);
    for (const std::string& aviso : fin.avisos) ventana.MuestraError(aviso);
    if (fin.titular.empty())
      ventana.Termina();
    else
      ventana.MuestraFin(fin.titular);
    EscribeResumenCorrida(a.resumen, f, estado, errorFatal, std::cerr);
    return estado;
  };
  // A database call that never returns, even once its connection was cut:
  // the run ends here as a lost connection ends it (the run's thread is
  // blocked inside the driver and writes nothing meanwhile).
  db::EstableceFinForzado([&](const ErrorVarlo& e) {
    f.NotaBaseDatosPerdida();
    f.EscribeError(e);
    termina("");
  });
  std::string errorFatal;
  try {
    f.Form_Load();
    f.Form_Activate();
  } catch (...) {
    f.NotaErrorFatal();
    errorFatal = TextoError(ErrorCapturado());
  }
  const int estado = termina(errorFatal);
  db::EstableceFinForzado(nullptr);
  return estado;
}
