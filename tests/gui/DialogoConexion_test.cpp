// The connection dialog: Aceptar only on a string that opens, Cancelar gives nothing.
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
