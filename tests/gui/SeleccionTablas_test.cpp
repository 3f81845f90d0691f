// The table picker: its layout, and the ticked tables coming back in node
// order however the dialog is closed.
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "AyudaGui.h"
#include "DialogoSelTablas.h"
#include "VentanaPrincipal.h"

namespace varlo::gui {

class SeleccionTablasPrueba : public QObject {
  Q_OBJECT

 private:
  const std::vector<std::string> tablas_{"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados"};

  // Ticks the given nodes once the picker is up, then closes it with `cierra`.
  static void Marca(std::vector<int> nodos, std::function<void(DialogoSelTablas*)> cierra) {
    prueba::AlAparecer<DialogoSelTablas>([nodos, cierra](DialogoSelTablas* d) {
      for (int i : nodos) d->tvTabla()->topLevelItem(i)->setCheckState(0, Qt::Checked);
      cierra(d);
    });
  }

 private slots:
  void LayoutFontAndUntickedNodesInGivenOrder() {
    DialogoSelTablas d(tablas_);
    QCOMPARE(d.windowTitle(), QString("Selección de tablas destino"));
    QCOMPARE(d.size(), QSize(399, 325));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QCOMPARE(d.tvTabla()->objectName(), QString("tvTabla"));
    QCOMPARE(d.tvTabla()->geometry(), QRect(8, 8, 385, 281));
    QCOMPARE(d.tvTabla()->font().family(), QString("Verdana"));
    QCOMPARE(d.cmdCerrar()->objectName(), QString("cmdCerrar"));
    QCOMPARE(d.cmdCerrar()->text(), QString("Cerrar"));
    QCOMPARE(d.cmdCerrar()->geometry(), QRect(151, 295, 97, 25));

    QCOMPARE(d.tvTabla()->topLevelItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
      QTreeWidgetItem* n = d.tvTabla()->topLevelItem(i);
      QCOMPARE(n->text(0).toStdString(), tablas_[static_cast<std::size_t>(i)]);
      QCOMPARE(n->checkState(0), Qt::Unchecked);
      QVERIFY(n->flags() & Qt::ItemIsUserCheckable);
      QCOMPARE(n->childCount(), 0);
    }
    QCOMPARE(d.Marcadas(), std::vector<bool>(4, false));
  }

  void CerrarReturnsTheTicksInNodeOrder() {
    VentanaPrincipal v;
    // Ticked third, then first: the answer follows the nodes, not the ticking.
    Marca({2, 0}, [](DialogoSelTablas* d) { QTest::mouseClick(d->cmdCerrar(), Qt::LeftButton); });
    QCOMPARE(v.EligeTablas(tablas_), (std::vector<bool>{true, false, true, false}));
  }

  void WindowCloseAndEscapeKeepTheTicksToo() {
    VentanaPrincipal v;
    Marca({3}, [](DialogoSelTablas* d) { d->close(); });
    QCOMPARE(v.EligeTablas(tablas_), (std::vector<bool>{false, false, false, true}));

    Marca({1, 3}, [](DialogoSelTablas* d) { QTest::keyClick(d, Qt::Key_Escape); });
    QCOMPARE(v.EligeTablas(tablas_), (std::vector<bool>{false, true, false, true}));

    // Shown again, the list starts unticked.
    Marca({}, [](DialogoSelTablas* d) { d->close(); });
    QCOMPARE(v.EligeTablas(tablas_), std::vector<bool>(4, false));
  }

};

}  // namespace varlo::gui

QTEST_MAIN(varlo::gui::SeleccionTablasPrueba)
#include "SeleccionTablas_test.moc"
