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

  const std::vector<std::string> tablas_{"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados"};

 private slots:
  void Layout() {
    DialogoSelTablas d(tablas_);
    QCOMPARE(d.windowTitle(), QString("Selección de tablas destino"));
    QCOMPARE(d.size(), QSize(399, 325));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QCOMPARE(d.tvTabla()->geometry(), QRect(8, 8, 385, 281));
    QCOMPARE(d.cmdCerrar()->text(), QString("Cerrar"));
    QCOMPARE(d.cmdCerrar()->geometry(), QRect(151, 295, 97, 25));
    QCOMPARE(d.tvTabla()->topLevelItemCount(), 4);
    for (int i = 0; i < 4; ++i)
      QCOMPARE(d.tvTabla()->topLevelItem(i)->text(0).toStdString(), tablas_[std::size_t(i)]);
  }

  // Ticked out of order: the answer follows the nodes; a new showing starts unticked.
  void TicksComeBackInNodeOrderHoweverClosed() {
    using Cierre = std::function<void(DialogoSelTablas*)>;
    const Cierre cerrar = [](DialogoSelTablas* d) {
      QTest::mouseClick(d->cmdCerrar(), Qt::LeftButton);
    };
    const Cierre ventana = [](DialogoSelTablas* d) { d->close(); };
    const std::tuple<std::vector<int>, Cierre, std::vector<bool>> casos[] = {
        {{2, 0}, cerrar, {true, false, true, false}},
        {{3, 1}, ventana, {false, true, false, true}},
        {{}, ventana, {false, false, false, false}},
    };
    VentanaPrincipal v;
    for (const auto& [nodos, cierra, esperado] : casos) {
      prueba::AlAparecer<DialogoSelTablas>([nodos, cierra](DialogoSelTablas* d) {
        for (int i : nodos) d->tvTabla()->topLevelItem(i)->setCheckState(0, Qt::Checked);
        cierra(d);
      });
      QCOMPARE(v.EligeTablas(tablas_), esperado);
    }
  }
};
}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::SeleccionTablasPrueba)
#include "SeleccionTablas_test.moc"
