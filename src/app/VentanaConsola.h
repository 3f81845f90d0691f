#pragma once
// The main window of the console front end. On a terminal each stage of the
// run is a line on stderr, drawn in place while it lasts (at most 10 times a
// second) and finished, with its last counter, when the next stage, an error
// line or a summary line comes; a status with a "(n de m)" counter carries a
// progress bar, any other is plain text. Without a terminal each status
// change is printed as a line, the counters of one stage at most once a
// second and always the last one. Silent, only error lines, summary lines
// and message boxes. The headline of the run's end is the last line in every
// mode, and nothing is drawn after it. Questions and dialogs are asked on the
// terminal (/dev/tty, even when stderr goes elsewhere) when stdin is one;
// otherwise a question is answered No and a dialog is cancelled, so an
// unattended run never waits.
#include <chrono>
#include <iosfwd>
#include <memory>
#include <string_view>

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

  // The headline of the run's end, as the last line: the stage on screen is
  // finished first (or gives its line up, when it already says the same),
  // and no status or bar is drawn after it.
  void MuestraFin(const std::string& titular);

  // Prints what is still held back by the rate limit and ends the line.
  void Termina();

 protected:
  void EstadoCambiado() override;
  void ProgresoCambiado() override;

 private:
  void Dibuja(bool forzar);
  void ImprimeLinea(const std::string& texto);
  // The status text without a trailing "(n de m)" counter.
  static std::string_view Etapa(std::string_view texto);
  // A text's stage when the length of its stage is known.
  static std::string_view EtapaDe(const std::string& texto, std::size_t largo) {
    return std::string_view(texto).substr(0, largo);
  }
  // The stage's line carries a "(n de m)" counter.
  bool LineaCuenta() const { return etapaLinea_ != linea_.size(); }
  // The stage's line as drawn: its status, behind a bar and followed by the
  // time and rate when it counts.
  std::string Renglon() const;
  // Finishes the current stage's line (its latest counter and bar, then a
  // line break) or, without a terminal, prints its held-back counter.
  void CierraLinea();
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
  bool pendiente_ = false;  // a change held back by the rate limit
  bool terminada_ = false;  // the headline is out: nothing more is drawn
  // On a terminal: the status of the stage's line, whether the cursor is
  // still on that line, whether its latest state is drawn there, and
  // whether it was finished with a line break.
  std::string linea_;
  std::size_t etapaLinea_ = 0;  // length of linea_'s stage, found when it was set
  bool abierta_ = false;
  bool dibujada_ = false;
  bool cerrada_ = false;
  // Without a terminal: the last status printed, the counter held back and
  // the last line written of any kind.
  std::string ultimoImpreso_;
  std::size_t etapaImpreso_ = 0;  // length of ultimoImpreso_'s stage
  std::string textoPendiente_;
  std::string ultimaLinea_;
  std::chrono::steady_clock::time_point ultimoDibujo_{};
  // When the stage on screen began: its time and rate.
  std::chrono::steady_clock::time_point inicioEtapa_ = std::chrono::steady_clock::now();
};

}  // namespace varlo
