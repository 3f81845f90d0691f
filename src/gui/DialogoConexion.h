#pragma once
// The connection dialog of the generator: SQL Server (server, database,
// user and password or integrated security), an SQLite file, or an ODBC
// string typed whole. "Probar conexión" opens and closes a connection with
// what is filled in; "Aceptar" does the same and keeps the dialog open while
// the connection fails.
#include <QDialog>
#include <string>

#include "common/Ventana.h"
#include "definitions/ComposicionConexion.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QPushButton;
class QDialogButtonBox;

namespace varlo::gui {

class DialogoConexion : public QDialog {
  Q_OBJECT

 public:
  DialogoConexion(const std::string& semilla, Ventana::ProbarConexion probar,
                  QWidget* padre = nullptr);

  DatosConexion Datos() const;
  std::string Cadena() const { return ComponeCadena(Datos()); }

  // Composes the string and tries it; shows and returns the outcome ("" when it opened).
  std::string Prueba();

 private:
  void Acepta();
  void ActualizaSeguridad();
  void BuscaArchivo();
  void MuestraResultado(const QString& texto, bool bien);

  Ventana::ProbarConexion probar_;
  QTabWidget* tabClase_;
  QLineEdit* txtServidor_;
  QLineEdit* txtBaseDatos_;
  QCheckBox* chkSeguridadIntegrada_;
  QLineEdit* txtUsuario_;
  QLineEdit* txtClave_;
  QLineEdit* txtArchivo_;
  QLineEdit* txtCadenaOdbc_;
  QPushButton* cmdProbar_;
  QLabel* lblResultado_;
  QDialogButtonBox* botones_;
};

}  // namespace varlo::gui
