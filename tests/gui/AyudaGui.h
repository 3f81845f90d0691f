#pragma once
// Acts on a modal dialog from inside its own event loop, once a dialog of the
// wanted class is the active modal widget. The watch can be called off by
// deleting the timer returned.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace varlo::gui::prueba {

template <class Dialogo>
QPointer<QTimer> AlAparecer(std::function<void(Dialogo*)> accion) {
  auto* reloj = new QTimer(qApp);
  reloj->setInterval(10);
  QObject::connect(reloj, &QTimer::timeout, reloj, [reloj, accion] {
    auto* d = qobject_cast<Dialogo*>(QApplication::activeModalWidget());
    if (!d) return;
    reloj->stop();
    reloj->deleteLater();
    accion(d);
    // a failed check returns early from `accion`: close so the test fails, not hangs
    QPointer<Dialogo> abierto(d);
    QTimer::singleShot(0, qApp, [abierto] {
      if (abierto && abierto->isVisible()) abierto->reject();
    });
  });
  reloj->start();
  return reloj;
}

}  // namespace varlo::gui::prueba
