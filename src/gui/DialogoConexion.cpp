#include "DialogoConexion.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/Texto.h"

namespace varlo::gui {

namespace {

QString Qs(const std::string& s) {
  return QString::fromStdString(s);
}
std::string Ss(const QString& s) {
  return s.toStdString();
}

QLineEdit* Campo(const char* nombre, const std::string& valor, QWidget* padre) {
  auto* c = new QLineEdit(Qs(valor), padre);
  c->setObjectName(nombre);
  return c;
}

// Integrated security is the Windows logon; elsewhere it is offered only to
// a seed that already asks for it, so that it can be switched off.
#ifdef _WIN32
constexpr bool kSeguridadWindows = true;
#else
constexpr bool kSeguridadWindows = false;
#endif

constexpr const char* kPuertoPostgreSql = "5432";

}  // namespace

DialogoConexion::DialogoConexion(const std::string& semilla, Ventana::ProbarConexion probar,
                                 QWidget* padre)
    : QDialog(padre), probar_(std::move(probar)) {
  setObjectName("DialogoConexion");
  setWindowTitle("Propiedades de la conexión");
  const DatosConexion d = LeeSemilla(semilla);
  const DatosPostgreSql dpg = d.postgreSql.value_or(DatosPostgreSql{});
  pgOtros_ = dpg.otros;

  tabClase_ = new QTabWidget(this);
  tabClase_->setObjectName("tabClase");

  tabSqlServer_ = new QWidget(tabClase_);
  tabSqlServer_->setObjectName("tabSqlServer");
  auto* formaSql = new QFormLayout(tabSqlServer_);
  txtServidor_ = Campo("txtServidor", d.servidor, tabSqlServer_);
  txtBaseDatos_ = Campo("txtBaseDatos", d.baseDatos, tabSqlServer_);
  chkSeguridadIntegrada_ = new QCheckBox("Usar la seguridad integrada de Windows", tabSqlServer_);
  chkSeguridadIntegrada_->setObjectName("chkSeguridadIntegrada");
  chkSeguridadIntegrada_->setChecked(d.seguridadIntegrada);
  txtUsuario_ = Campo("txtUsuario", d.usuario, tabSqlServer_);
  txtClave_ = Campo("txtClave", d.clave, tabSqlServer_);
  txtClave_->setEchoMode(QLineEdit::Password);
  formaSql->addRow("Servidor:", txtServidor_);
  formaSql->addRow("Base de datos:", txtBaseDatos_);
  formaSql->addRow(chkSeguridadIntegrada_);
  formaSql->addRow("Usuario:", txtUsuario_);
  formaSql->addRow("Contraseña:", txtClave_);
  chkSeguridadIntegrada_->setVisible(kSeguridadWindows || d.seguridadIntegrada);
  tabClase_->addTab(tabSqlServer_, "SQL Server");

  tabPostgreSql_ = new QWidget(tabClase_);
  tabPostgreSql_->setObjectName("tabPostgreSql");
  auto* formaPg = new QFormLayout(tabPostgreSql_);
  txtPgServidor_ = Campo("txtPgServidor", dpg.servidor, tabPostgreSql_);
  txtPgServidor_->setPlaceholderText("localhost");
  txtPgPuerto_ = Campo("txtPgPuerto", dpg.puerto, tabPostgreSql_);
  txtPgPuerto_->setPlaceholderText(kPuertoPostgreSql);
  txtPgPuerto_->setValidator(new QIntValidator(1, 65535, txtPgPuerto_));
  txtPgBaseDatos_ = Campo("txtPgBaseDatos", dpg.baseDatos, tabPostgreSql_);
  txtPgUsuario_ = Campo("txtPgUsuario", dpg.usuario, tabPostgreSql_);
  txtPgClave_ = Campo("txtPgClave", dpg.clave, tabPostgreSql_);
  txtPgClave_->setEchoMode(QLineEdit::Password);
  formaPg->addRow("Servidor:", txtPgServidor_);
  formaPg->addRow("Puerto:", txtPgPuerto_);
  formaPg->addRow("Base de datos:", txtPgBaseDatos_);
  formaPg->addRow("Usuario:", txtPgUsuario_);
  formaPg->addRow("Contraseña:", txtPgClave_);
  tabClase_->addTab(tabPostgreSql_, "PostgreSQL");

  tabSQLite_ = new QWidget(tabClase_);
  tabSQLite_->setObjectName("tabSQLite");
  auto* formaLite = new QFormLayout(tabSQLite_);
  txtArchivo_ = Campo("txtArchivo", d.archivoSQLite, tabSQLite_);
  auto* cmdExaminar = new QPushButton("Examinar...", tabSQLite_);
  cmdExaminar->setObjectName("cmdExaminar");
  auto* filaArchivo = new QHBoxLayout;
  filaArchivo->addWidget(txtArchivo_);
  filaArchivo->addWidget(cmdExaminar);
  formaLite->addRow("Archivo:", filaArchivo);
  tabClase_->addTab(tabSQLite_, "SQLite");

  tabOdbc_ = new QWidget(tabClase_);
  tabOdbc_->setObjectName("tabOdbc");
  auto* formaOdbc = new QFormLayout(tabOdbc_);
  txtCadenaOdbc_ = Campo("txtCadenaOdbc", d.cadenaOdbc, tabOdbc_);
  txtCadenaOdbc_->setPlaceholderText("Driver={...};Server=...;Database=...;Uid=...;Pwd=...");
  formaOdbc->addRow("Cadena ODBC:", txtCadenaOdbc_);
  tabClase_->addTab(tabOdbc_, "ODBC");

  switch (d.clase) {
    case ClaseConexion::SqlServer:
      tabClase_->setCurrentWidget(tabSqlServer_);
      break;
    case ClaseConexion::PostgreSql:
      tabClase_->setCurrentWidget(tabPostgreSql_);
      break;
    case ClaseConexion::SQLite:
      tabClase_->setCurrentWidget(tabSQLite_);
      break;
    case ClaseConexion::Odbc:
      // an older psqlODBC string opens the PostgreSQL tab, to be written anew
      tabClase_->setCurrentWidget(d.postgreSql ? tabPostgreSql_ : tabOdbc_);
      break;
  }

  cmdProbar_ = new QPushButton("Probar conexión", this);
  cmdProbar_->setObjectName("cmdProbar");
  lblResultado_ = new QLabel(this);
  lblResultado_->setObjectName("lblResultado");
  lblResultado_->setWordWrap(true);
  lblResultado_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  botones_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  botones_->setObjectName("botones");
  botones_->button(QDialogButtonBox::Ok)->setText("Aceptar");
  botones_->button(QDialogButtonBox::Cancel)->setText("Cancelar");

  auto* fila = new QHBoxLayout;
  fila->addWidget(cmdProbar_);
  fila->addStretch();
  auto* principal = new QVBoxLayout(this);
  principal->addWidget(tabClase_);
  principal->addLayout(fila);
  principal->addWidget(lblResultado_);
  principal->addWidget(botones_);
  setMinimumWidth(420);

  connect(chkSeguridadIntegrada_, &QCheckBox::toggled, this, [this] { ActualizaSeguridad(); });
  connect(cmdExaminar, &QPushButton::clicked, this, [this] { BuscaArchivo(); });
  connect(cmdProbar_, &QPushButton::clicked, this, [this] { Prueba(); });
  connect(botones_, &QDialogButtonBox::accepted, this, [this] { Acepta(); });
  connect(botones_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  ActualizaSeguridad();
}

void DialogoConexion::ActualizaSeguridad() {
  const bool integrada = chkSeguridadIntegrada_->isChecked();
  txtUsuario_->setEnabled(!integrada);
  txtClave_->setEnabled(!integrada);
}

void DialogoConexion::BuscaArchivo() {
  const QString ruta = QFileDialog::getOpenFileName(
      this, "Base de datos SQLite", txtArchivo_->text(),
      "Bases de datos SQLite (*.db *.sqlite *.sqlite3);;Todos los archivos (*)");
  if (!ruta.isEmpty()) txtArchivo_->setText(ruta);
}

DatosPostgreSql DialogoConexion::DatosPg() const {
  DatosPostgreSql d;
  d.servidor = Ss(txtPgServidor_->text());
  d.puerto = Ss(txtPgPuerto_->text());
  d.baseDatos = Ss(txtPgBaseDatos_->text());
  d.usuario = Ss(txtPgUsuario_->text());
  d.clave = Ss(txtPgClave_->text());
  d.otros = pgOtros_;
  return d;
}

DatosConexion DialogoConexion::Datos() const {
  DatosConexion d;
  const QWidget* tab = tabClase_->currentWidget();
  d.clase = tab == tabSQLite_       ? ClaseConexion::SQLite
            : tab == tabOdbc_       ? ClaseConexion::Odbc
            : tab == tabPostgreSql_ ? ClaseConexion::PostgreSql
                                    : ClaseConexion::SqlServer;
  d.servidor = Ss(txtServidor_->text());
  d.baseDatos = Ss(txtBaseDatos_->text());
  d.seguridadIntegrada = chkSeguridadIntegrada_->isChecked();
  d.usuario = Ss(txtUsuario_->text());
  d.clave = Ss(txtClave_->text());
  d.archivoSQLite = Ss(txtArchivo_->text());
  d.cadenaOdbc = Ss(txtCadenaOdbc_->text());
  d.postgreSql = DatosPg();
  return d;
}

void DialogoConexion::MuestraResultado(const QString& texto, bool bien) {
  lblResultado_->setStyleSheet(bien ? "color: darkgreen;" : "color: darkred;");
  lblResultado_->setText(texto);
}

std::string DialogoConexion::Prueba() {
  const DatosConexion d = Datos();
  std::string fallo = DatoFaltante(d);
  if (fallo.empty() && probar_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fallo = probar_(ComponeCadena(d));
    QApplication::restoreOverrideCursor();
  }
  if (fallo.empty())
    MuestraResultado("La prueba de conexión fue satisfactoria.", true);
  else
    MuestraResultado(Qs("La prueba de conexión falló: " + fallo), false);
  return fallo;
}

void DialogoConexion::Acepta() {
  if (Prueba().empty()) accept();
}

}  // namespace varlo::gui
