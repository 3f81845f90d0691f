#pragma once
// "Resumen de la importación": what a person finds at the end of a run they
// started. The window's last status, the time the run took, one summary line
// per import and, when the run stopped on an error, that error; "Abrir
// bitácora" opens the log file, "Ver rechazados" a file of rejected lines
// (a menu when there are several), "Cerrar" ends the program.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QListWidget;
class QPushButton;

namespace varlo::gui {

struct ContenidoResumen {
  QString estado;           // the main window's last status
  bool conErrores = false;  // the run did not end cleanly
  QString duracion;         // elapsed time, as TextoDuracion writes it
  QStringList lineas;       // "Resumen <name>: ..." lines
  QString error;            // "Error N: description" of an error that stopped the run
  QString bitacora;         // the log file, "" when there is none
  QStringList rechazados;   // the files of rejected lines that exist
};

class DialogoResumen : public QDialog {
  Q_OBJECT

 public:
  // `abre` opens a file with the desktop's program for it; false when it could not.
  using Abridor = std::function<bool(const QString& ruta)>;

  DialogoResumen(const ContenidoResumen& contenido, Abridor abre, QWidget* padre = nullptr);

  QListWidget* lstResumen() const { return lstResumen_; }
  QPushButton* cmdBitacora() const { return cmdBitacora_; }
  QPushButton* cmdRechazados() const { return cmdRechazados_; }
  QPushButton* cmdCerrar() const { return cmdCerrar_; }

 private:
  void Abre(const QString& ruta);

  Abridor abre_;
  QListWidget* lstResumen_;
  QPushButton* cmdBitacora_;
  QPushButton* cmdRechazados_;
  QPushButton* cmdCerrar_;
};

}  // namespace varlo::gui
