#include "DialogoConexion.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

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

}  // namespace

DialogoConexion::DialogoConexion(const std::string& semilla, Ventana::ProbarConexion probar,
                                 QWidget* padre)
    : QDialog(padre), probar_(std::move(probar)) {
  setObjectName("DialogoConexion");
  setWindowTitle("Propiedades de la conexión");
  const DatosConexion d = LeeSemilla(semilla);

  tabClase_ = new QTabWidget(this);
  tabClase_->setObjectName("tabClase");

  auto* sql = new QWidget(tabClase_);
  auto* formaSql = new QFormLayout(sql);
  txtServidor_ = Campo("txtServidor", d.servidor, sql);
  txtBaseDatos_ = Campo("txtBaseDatos", d.baseDatos, sql);
  chkSeguridadIntegrada_ = new QCheckBox("Usar la seguridad integrada de Windows", sql);
  chkSeguridadIntegrada_->setObjectName("chkSeguridadIntegrada");
  chkSeguridadIntegrada_->setChecked(d.seguridadIntegrada);
  txtUsuario_ = Campo("txtUsuario", d.usuario, sql);
  txtClave_ = Campo("txtClave", d.clave, sql);
  txtClave_->setEchoMode(QLineEdit::Password);
  formaSql->addRow("Servidor:", txtServidor_);
  formaSql->addRow("Base de datos:", txtBaseDatos_);
  formaSql->addRow(chkSeguridadIntegrada_);
  formaSql->addRow("Usuario:", txtUsuario_);
  formaSql->addRow("Contraseña:", txtClave_);
  tabClase_->addTab(sql, "SQL Server");

  auto* lite = new QWidget(tabClase_);
  auto* formaLite = new QFormLayout(lite);
  txtArchivo_ = Campo("txtArchivo", d.archivoSQLite, lite);
  auto* cmdExaminar = new QPushButton("Examinar...", lite);
  cmdExaminar->setObjectName("cmdExaminar");
  auto* filaArchivo = new QHBoxLayout;
  filaArchivo->addWidget(txtArchivo_);
  filaArchivo->addWidget(cmdExaminar);
  formaLite->addRow("Archivo:", filaArchivo);
  tabClase_->addTab(lite, "SQLite");

  auto* odbc = new QWidget(tabClase_);
  auto* formaOdbc = new QFormLayout(odbc);
  txtCadenaOdbc_ = Campo("txtCadenaOdbc", d.cadenaOdbc, odbc);
  txtCadenaOdbc_->setPlaceholderText("Driver={...};Server=...;Database=...;Uid=...;Pwd=...");
  formaOdbc->addRow("Cadena ODBC:", txtCadenaOdbc_);
  tabClase_->addTab(odbc, "ODBC");

  tabClase_->setCurrentIndex(static_cast<int>(d.clase));

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

DatosConexion DialogoConexion::Datos() const {
  DatosConexion d;
  d.clase = static_cast<ClaseConexion>(tabClase_->currentIndex());
  d.servidor = Ss(txtServidor_->text());
  d.baseDatos = Ss(txtBaseDatos_->text());
  d.seguridadIntegrada = chkSeguridadIntegrada_->isChecked();
  d.usuario = Ss(txtUsuario_->text());
  d.clave = Ss(txtClave_->text());
  d.archivoSQLite = Ss(txtArchivo_->text());
  d.cadenaOdbc = Ss(txtCadenaOdbc_->text());
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
