#pragma once
// The connection dialog of the generator: SQL Server (server, database,
// user and password, or Windows integrated security where there is such a
// thing), PostgreSQL through its native provider (host, port, database, user
// and password; an older psqlODBC string is read into the same fields), an
// SQLite file, or an ODBC string typed whole. "Probar
// conexión" opens and closes a connection with what is filled in; "Aceptar"
// does the same and keeps the dialog open while the connection fails.
#include <QDialog>
#include <string>
#include <utility>
#include <vector>

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
  DatosPostgreSql DatosPg() const;

  Ventana::ProbarConexion probar_;
  QTabWidget* tabClase_;
  QWidget* tabSqlServer_;
  QWidget* tabPostgreSql_;
  QWidget* tabSQLite_;
  QWidget* tabOdbc_;
  QLineEdit* txtServidor_;
  QLineEdit* txtBaseDatos_;
  QCheckBox* chkSeguridadIntegrada_;
  QLineEdit* txtUsuario_;
  QLineEdit* txtClave_;
  QLineEdit* txtPgServidor_;
  QLineEdit* txtPgPuerto_;
  QLineEdit* txtPgBaseDatos_;
  QLineEdit* txtPgUsuario_;
  QLineEdit* txtPgClave_;
  std::vector<std::pair<std::string, std::string>> pgOtros_;
  QLineEdit* txtArchivo_;
  QLineEdit* txtCadenaOdbc_;
  QPushButton* cmdProbar_;
  QLabel* lblResultado_;
  QDialogButtonBox* botones_;
};

}  // namespace varlo::gui
