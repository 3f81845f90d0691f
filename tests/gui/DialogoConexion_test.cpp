// The connection dialog: the fields it starts from, the string it
// composes, the test button, and Aceptar/Cancelar.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "AyudaGui.h"
#include "DialogoConexion.h"
#include "VentanaPrincipal.h"

namespace varlo::gui {

namespace {

const std::string kSemilla = "User ID=;Initial Catalog=;Data Source=;Aplication Name=";

void Escribe(QDialog* d, const char* campo, const QString& texto) {
  auto* c = d->findChild<QLineEdit*>(campo);
  QVERIFY2(c != nullptr, campo);
  c->clear();
  QTest::keyClicks(c, texto);
}

QPushButton* Boton(QDialog* d, QDialogButtonBox::StandardButton b) {
  return d->findChild<QDialogButtonBox*>("botones")->button(b);
}

}  // namespace

class DialogoConexionPrueba : public QObject {
  Q_OBJECT

 private slots:
  void StartsFromTheSeedOnTheSqlServerPage() {
    DialogoConexion d(kSemilla, nullptr);
    QCOMPARE(d.findChild<QTabWidget*>("tabClase")->currentIndex(), 0);
    for (const char* campo : {"txtServidor", "txtBaseDatos", "txtUsuario", "txtClave"})
      QCOMPARE(d.findChild<QLineEdit*>(campo)->text(), QString());
    QCOMPARE(d.findChild<QLineEdit*>("txtClave")->echoMode(), QLineEdit::Password);

    DialogoConexion previo("Provider=SQLite;Data Source=/d/v.db", nullptr);
    QCOMPARE(previo.findChild<QTabWidget*>("tabClase")->currentIndex(), 1);
    QCOMPARE(previo.findChild<QLineEdit*>("txtArchivo")->text(), QString("/d/v.db"));
    QCOMPARE(previo.Cadena(), std::string("Provider=SQLite;Data Source=/d/v.db"));
  }

  void IntegratedSecurityDisablesUserAndPassword() {
    DialogoConexion d(kSemilla, nullptr);
    Escribe(&d, "txtServidor", "srv");
    Escribe(&d, "txtUsuario", "sa");
    d.findChild<QCheckBox*>("chkSeguridadIntegrada")->setChecked(true);
    QVERIFY(!d.findChild<QLineEdit*>("txtUsuario")->isEnabled());
    QVERIFY(!d.findChild<QLineEdit*>("txtClave")->isEnabled());
    QCOMPARE(d.Cadena(), std::string("Provider=SQLOLEDB.1;Data Source=srv;Integrated Security=SSPI"));
    d.findChild<QCheckBox*>("chkSeguridadIntegrada")->setChecked(false);
    QVERIFY(d.findChild<QLineEdit*>("txtClave")->isEnabled());
  }

  void TestButtonTriesTheComposedStringAndShowsWhy() {
    std::vector<std::string> probadas;
    DialogoConexion d(kSemilla, [&](const std::string& c) {
      probadas.push_back(c);
      return c.find("malo") != std::string::npos ? std::string("Error -1: no hay servidor")
                                                 : std::string();
    });
    auto* probar = d.findChild<QPushButton*>("cmdProbar");
    auto* resultado = d.findChild<QLabel*>("lblResultado");
    QCOMPARE(probar->text(), QString("Probar conexión"));

    // Nothing to try while the server is missing.
    QTest::mouseClick(probar, Qt::LeftButton);
    QVERIFY(probadas.empty());
    QCOMPARE(resultado->text(), QString("La prueba de conexión falló: Falta el nombre del servidor."));

    Escribe(&d, "txtServidor", "malo");
    Escribe(&d, "txtBaseDatos", "Varlo");
    Escribe(&d, "txtUsuario", "sa");
    Escribe(&d, "txtClave", "x;y");
    QTest::mouseClick(probar, Qt::LeftButton);
    QCOMPARE(probadas, (std::vector<std::string>{
                           "Provider=SQLOLEDB.1;Data Source=malo;Initial Catalog=Varlo;"
                           "User ID=sa;Password=\"x;y\""}));
    QCOMPARE(resultado->text(), QString("La prueba de conexión falló: Error -1: no hay servidor"));

    Escribe(&d, "txtServidor", "bueno");
    QTest::mouseClick(probar, Qt::LeftButton);
    QCOMPARE(resultado->text(), QString("La prueba de conexión fue satisfactoria."));
  }

  void AceptarNeedsAConnectionThatOpensAndCancelarGivesNothing() {
    VentanaPrincipal v;
    int pruebas = 0;
    auto probar = [&](const std::string& c) {
      ++pruebas;
      return c.find("bien") != std::string::npos ? std::string() : std::string("no abre");
    };
    prueba::AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      d->findChild<QTabWidget*>("tabClase")->setCurrentIndex(2);
      Escribe(d, "txtCadenaOdbc", "DSN=mal");
      QTest::mouseClick(Boton(d, QDialogButtonBox::Ok), Qt::LeftButton);
      // Still open: the string did not open a connection.
      QVERIFY(d->isVisible());
      QCOMPARE(d->findChild<QLabel*>("lblResultado")->text(),
               QString("La prueba de conexión falló: no abre"));
      Escribe(d, "txtCadenaOdbc", "DSN=bien");
      QTest::mouseClick(Boton(d, QDialogButtonBox::Ok), Qt::LeftButton);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar),
             std::optional<std::string>("DSN=bien"));
    QCOMPARE(pruebas, 2);

    prueba::AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      d->findChild<QTabWidget*>("tabClase")->setCurrentIndex(1);
      Escribe(d, "txtArchivo", "/bien.db");
      QTest::mouseClick(Boton(d, QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::nullopt);
    QCOMPARE(pruebas, 2);
  }
};

}  // namespace varlo::gui

QTEST_MAIN(varlo::gui::DialogoConexionPrueba)
#include "DialogoConexion_test.moc"
