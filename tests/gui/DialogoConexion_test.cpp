// The connection dialog: Aceptar only on a string that opens, Cancelar gives nothing.
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
  c->clear();
  QTest::keyClicks(c, texto);
}

void Pulsa(QDialog* d, QDialogButtonBox::StandardButton b) {
  QTest::mouseClick(d->findChild<QDialogButtonBox*>("botones")->button(b), Qt::LeftButton);
}
}  // namespace

class DialogoConexionPrueba : public QObject {
  Q_OBJECT
 private slots:
  void AceptarNeedsAConnectionThatOpensAndCancelarGivesNothing() {
    VentanaPrincipal v;
    int pruebas = 0;  // connection attempts
    auto probar = [&](const std::string& c) {
      ++pruebas;
      return c.find("bien") != std::string::npos ? std::string() : std::string("no abre");
    };
    prueba::AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      d->findChild<QTabWidget*>("tabClase")->setCurrentIndex(2);
      Escribe(d, "txtCadenaOdbc", "DSN=mal");
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(d->findChild<QLabel*>("lblResultado")->text(),
               QString("La prueba de conexión falló: no abre"));
      Escribe(d, "txtCadenaOdbc", "DSN=bien");
      Pulsa(d, QDialogButtonBox::Ok);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::optional<std::string>("DSN=bien"));
    QCOMPARE(pruebas, 2);

    prueba::AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      d->findChild<QTabWidget*>("tabClase")->setCurrentIndex(1);
      Escribe(d, "txtArchivo", "/bien.db");
      Pulsa(d, QDialogButtonBox::Cancel);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::nullopt);
    QCOMPARE(pruebas, 2);
  }
};
}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::DialogoConexionPrueba)
#include "DialogoConexion_test.moc"
