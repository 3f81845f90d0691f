// Console front end: the same run sequence as the window, drawn on stderr.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/LineaComandos.h"
#include "app/VentanaConsola.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "common/Texto.h"

int main(int argc, char** argv) {
  using namespace varlo;
  std::setlocale(LC_TIME, "");
  std::vector<std::string> args(argv + 1, argv + argc);
  Argumentos a = LeeArgumentos(args);
  const std::string programa = "varlodi";
  if (auto estado = AtiendeOpciones(a, programa)) return *estado;
  // Nobody can answer the Open dialog or the offer to generate a file.
  const std::string carpeta = EligeCarpetaPrograma(FuentesDelProceso(a.carpeta));
  if (EstaEnBlanco(a.texto) && !EntradaEsTerminal()) {
    std::cerr << TextoUso(programa, carpeta);
    return 2;
  }
  EstableceCarpetaPrograma(carpeta);
  VentanaConsola ventana;
  frmMain f(ventana, a.texto);
  f.EstableceModoFotos(a.fotos);
  f.opciones = a.opciones;
  try {
    f.Form_Load();
    f.Form_Activate();
  } catch (...) {
    f.NotaErrorFatal();
    ventana.Termina();
    std::cerr << TextoError(ErrorCapturado()) << "\n";
    return f.EstadoSalida();
  }
  ventana.Termina();
  if (!f.MotivoFin().empty()) std::cerr << f.MotivoFin() << "\n";
  return f.EstadoSalida();
}
