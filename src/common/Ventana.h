#pragma once
// What the engines need of the main window: a status line, a progress bar,
// servicing of pending events, message boxes and the dialogs. The Qt window,
// the console and the tests' recording fake each implement it, so one engine
// runs unchanged under all three.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Resumen.h"

namespace varlo {

// Title of message boxes and product name of the log file.
inline constexpr const char* kTituloAplicacion = "VarloDI";
inline constexpr const char* kCaptionVentana = "Importador de datos Varlo";

enum class Botones { Aceptar, SiNo };
enum class Icono { Ninguno, Pregunta, Critico, Exclamacion, Informacion };
enum class Respuesta { Aceptar, Si, No };

// Open and Save boxes: title, default extension, initial folder, filter
// ("description|pattern") and a preset file name.
struct DialogoArchivo {
  std::string titulo;
  std::string extension;
  std::string carpetaInicial;
  std::string filtro;
  std::string nombre;
};

class Ventana {
 public:
  virtual ~Ventana() = default;

  // Label1: the caption, repainted at once.
  virtual void EstableceEstado(const std::string& texto) = 0;
  virtual const std::string& Estado() const = 0;

  // ProgressBar1: maximum and value (single-precision in the original).
  virtual void EstableceMaximo(double maximo) = 0;
  virtual void EstableceValor(double valor) = 0;
  virtual double Maximo() const = 0;
  virtual double Valor() const = 0;

  // Lets the window repaint and handle what is pending.
  virtual void ProcesaEventos() = 0;

  // A modal box under `titulo`; waits for the user where there is one.
  virtual Respuesta MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                                   const std::string& titulo) = 0;

  // "" when cancelled.
  virtual std::string MuestraAbrir(const DialogoArchivo& d) = 0;
  virtual std::string MuestraGuardar(const DialogoArchivo& d) = 0;

  // Composes a connection string from `semilla`; `probar` opens and closes a
  // connection with a candidate and returns "" or the reason it failed.
  // Nothing when the user cancels.
  using ProbarConexion = std::function<std::string(const std::string& cadena)>;
  virtual std::optional<std::string> ComponeConexion(const std::string& semilla,
                                                     ProbarConexion probar) = 0;

  // A summary line of an import (counts, time), shown where the person is.
  virtual void MuestraResumen(const std::string& linea) { (void)linea; }
  // The counts of the import in progress, as they change, and what became of
  // each import once it ended; for a window with a table of the run's imports.
  virtual void MuestraAvance(const std::string& nombre, const ResumenImportacion& r) {
    (void)nombre;
    (void)r;
  }
  virtual void MuestraImportacion(const ImportacionCorrida& i) { (void)i; }

  // Shows the base tables with check boxes in the given order and returns
  // which ones are ticked, whatever way the dialog was closed.
  virtual std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) = 0;
};

// The progress and status state the three windows share.
class VentanaBase : public Ventana {
 public:
  void EstableceEstado(const std::string& texto) override {
    estado_ = texto;
    EstadoCambiado();
  }
  const std::string& Estado() const override { return estado_; }
  void EstableceMaximo(double maximo) override {
    maximo_ = maximo;
    ProgresoCambiado();
  }
  void EstableceValor(double valor) override {
    valor_ = valor;
    ProgresoCambiado();
  }
  double Maximo() const override { return maximo_; }
  double Valor() const override { return valor_; }

 protected:
  virtual void EstadoCambiado() {}
  virtual void ProgresoCambiado() {}

 private:
  std::string estado_;
  double maximo_ = 100;
  double valor_ = 0;
};

}  // namespace varlo
