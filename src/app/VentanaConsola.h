#pragma once
// The main window of the console front end: on a terminal the status line
// and the progress bar are drawn in place on stderr (at most 10 times a
// second); otherwise each status change is printed as a line, the "(n de m)"
// counters of one stage at most once a second and always the last one;
// silent, only error lines and message boxes. Questions and dialogs are
// asked on the terminal (/dev/tty, even when stderr goes elsewhere) when stdin
// is one; otherwise a question is answered No and a dialog is cancelled, so
// an unattended run never waits.
#include <chrono>
#include <iosfwd>
#include <memory>

#include "common/Terminal.h"
#include "common/Ventana.h"

namespace varlo {

class VentanaConsola : public VentanaBase {
 public:
  VentanaConsola();
  // For tests: questions asked on `salida` and read from `entrada`.
  VentanaConsola(std::istream& entrada, std::ostream& salida, bool entradaTerminal,
                 bool salidaTerminal);
  // For tests: questions asked on the given terminal.
  VentanaConsola(std::unique_ptr<Terminal> terminal, std::ostream& salida, bool salidaTerminal);
  ~VentanaConsola() override;

  // No status and no progress: only error lines and message boxes.
  void EstableceSilencioso(bool silencioso) { silencioso_ = silencioso; }
  // An error line, printed whatever the mode.
  void MuestraError(const std::string& linea);
  // Summary lines are printed like error lines, also with -q.
  void MuestraResumen(const std::string& linea) override { MuestraError(linea); }

  void ProcesaEventos() override;
  Respuesta MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                           const std::string& titulo) override;
  std::string MuestraAbrir(const DialogoArchivo& d) override;
  std::string MuestraGuardar(const DialogoArchivo& d) override;
  std::optional<std::string> ComponeConexion(const std::string& semilla,
                                             ProbarConexion probar) override;
  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override;
  // An answer of the table picker: numbers separated by blanks or commas, or
  // "*"/"todas"; nothing when a piece is not the number of a table.
  static std::optional<std::vector<bool>> LeeSeleccionTablas(const std::string& respuesta,
                                                             std::size_t total);

  // Prints what is still held back by the rate limit and ends the line.
  void Termina();

 protected:
  void EstadoCambiado() override;
  void ProgresoCambiado() override;

 private:
  void Dibuja(bool forzar);
  void ImprimeLinea(const std::string& texto);
  // The status text without a trailing "(n de m)" counter.
  static std::string Etapa(const std::string& texto);
  void LimpiaLinea();
  // Text of a dialog: on the terminal, or on `salida_` without one.
  void Dice(const std::string& texto);
  // "" when the input ends or the run was asked to stop.
  std::string Pregunta(const std::string& texto, bool eco = true);

  std::unique_ptr<Terminal> terminal_;
  std::istream& entrada_;
  std::ostream& salida_;
  bool entradaTerminal_;
  bool salidaTerminal_;
  bool silencioso_ = false;
  bool pendiente_ = false;
  bool lineaAbierta_ = false;
  std::string ultimoImpreso_;
  std::string textoPendiente_;
  std::chrono::steady_clock::time_point ultimoDibujo_{};
  // When the progress bar last started from zero: the stage's time and rate.
  std::chrono::steady_clock::time_point inicioEtapa_ = std::chrono::steady_clock::now();
};

}  // namespace varlo
