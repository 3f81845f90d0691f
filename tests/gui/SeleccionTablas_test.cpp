// The table picker: its caption, buttons and nodes, and the ticked tables
// coming back in node order unless it is cancelled.
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
  void CaptionButtonsAndNodes() {
    DialogoSelTablas d(tablas_);
    QCOMPARE(d.windowTitle(), QString("Selección de tablas destino"));
    QCOMPARE(d.size(), QSize(399, 325));
    QCOMPARE(d.tvTabla()->font().family(), QString("Verdana"));
    const std::pair<QPushButton*, const char*> botones[] = {
        {d.cmdMarcarTodas(), "Marcar todas"},
        {d.cmdAceptar(), "Aceptar"},
        {d.cmdCancelar(), "Cancelar"},
        {d.cmdCerrar(), "Cerrar"},
    };
    for (const auto& [boton, texto] : botones) QCOMPARE(boton->text(), QString(texto));
    QCOMPARE(d.tvTabla()->topLevelItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(d.tvTabla()->topLevelItem(i)->text(0).toStdString(), tablas_[std::size_t(i)]);
      QCOMPARE(d.tvTabla()->topLevelItem(i)->checkState(0), Qt::Unchecked);
    }
  }

  // Ticked out of order: the answer follows the nodes whether the dialog is
  // closed by Aceptar, Cerrar or its window; Cancelar and Escape give no
  // table. A new showing starts unticked.
  void TicksComeBackInNodeOrderUnlessCancelled() {
    using Accion = std::function<void(DialogoSelTablas*)>;
    const Accion aceptar = [](DialogoSelTablas* d) {
      QTest::mouseClick(d->cmdAceptar(), Qt::LeftButton);
    };
    const Accion cerrar = [](DialogoSelTablas* d) {
      QTest::mouseClick(d->cmdCerrar(), Qt::LeftButton);
    };
    const Accion ventana = [](DialogoSelTablas* d) { d->close(); };
    const Accion cancelar = [](DialogoSelTablas* d) {
      QTest::mouseClick(d->cmdCancelar(), Qt::LeftButton);
    };
    const Accion escape = [](DialogoSelTablas* d) { QTest::keyClick(d, Qt::Key_Escape); };
    const Accion todas = [](DialogoSelTablas* d) {
      QTest::mouseClick(d->cmdMarcarTodas(), Qt::LeftButton);
    };
    const std::vector<bool> ninguna(4, false), todasMarcadas(4, true);
    const std::tuple<std::vector<int>, std::vector<Accion>, std::vector<bool>> casos[] = {
        {{2, 0}, {aceptar}, {true, false, true, false}},
        {{2, 0}, {cerrar}, {true, false, true, false}},
        {{3, 1}, {ventana}, {false, true, false, true}},
        {{}, {ventana}, ninguna},
        {{1}, {todas, cerrar}, todasMarcadas},
        {{3, 1}, {cancelar}, ninguna},
        {{}, {todas, escape}, ninguna},
    };
    VentanaPrincipal v;
    for (const auto& [nodos, acciones, esperado] : casos) {
      prueba::AlAparecer<DialogoSelTablas>([nodos, acciones](DialogoSelTablas* d) {
        for (int i : nodos) d->tvTabla()->topLevelItem(i)->setCheckState(0, Qt::Checked);
        for (const Accion& a : acciones) a(d);
      });
      QCOMPARE(v.EligeTablas(tablas_), esperado);
    }
  }
};
}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::SeleccionTablasPrueba)
#include "SeleccionTablas_test.moc"
