#pragma once
// The connection dialog of the generator: SQL Server (server, database,
// user and password, or Windows integrated security where there is such a
// thing), PostgreSQL through psqlODBC (host, port, database, user and
// password), an SQLite file, or an ODBC string typed whole. "Probar
// conexión" opens and closes a connection with what is filled in; "Aceptar"
// does the same and keeps the dialog open while the connection fails.
#include <QDialog>
#include <optional>
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

// The fields of the PostgreSQL tab. `otros` are the other keys of a seed
// string (SSL mode, options), kept as they were.
struct DatosPostgreSql {
  std::string driver = "PostgreSQL Unicode";
  std::string servidor;
  std::string puerto;
  std::string baseDatos;
  std::string usuario;
  std::string clave;
  std::vector<std::pair<std::string, std::string>> otros;
};

class DialogoConexion : public QDialog {
  Q_OBJECT

 public:
  DialogoConexion(const std::string& semilla, Ventana::ProbarConexion probar,
                  QWidget* padre = nullptr);

  // The PostgreSQL tab's string is an ODBC string.
  DatosConexion Datos() const;
  std::string Cadena() const { return ComponeCadena(Datos()); }

  // "Driver={PostgreSQL Unicode};Server=...;Port=...;Database=...;Uid=...;
  // Pwd=...;" (port 5432 when blank); a value that holds ";", braces or edge
  // blanks goes between braces.
  static std::string CadenaPostgreSql(const DatosPostgreSql& d);
  // The fields of a psqlODBC string; nothing when `cadena` names another driver.
  static std::optional<DatosPostgreSql> LeePostgreSql(const std::string& cadena);
  // "" or what the PostgreSQL tab still lacks.
  static std::string FaltaPostgreSql(const DatosPostgreSql& d);

  // Composes the string and tries it; shows and returns the outcome ("" when it opened).
  std::string Prueba();

 private:
  void Acepta();
  void ActualizaSeguridad();
  void BuscaArchivo();
  void MuestraResultado(const QString& texto, bool bien);
  DatosPostgreSql DatosPg() const;
  bool EnPostgreSql() const;

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
  std::string pgDriver_;
  std::vector<std::pair<std::string, std::string>> pgOtros_;
  QLineEdit* txtArchivo_;
  QLineEdit* txtCadenaOdbc_;
  QPushButton* cmdProbar_;
  QLabel* lblResultado_;
  QDialogButtonBox* botones_;
};

}  // namespace varlo::gui
