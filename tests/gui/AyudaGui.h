#pragma once
// Acts on a modal dialog from inside its own event loop, once a dialog of the
// wanted class is the active modal widget; then closes it if still open, so
// that a failed check fails the test instead of hanging it, unless `cerrar`
// is false (only the window may close it). Deleting the timer returned calls
// the watch off.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace varlo::gui::prueba {

template <class Dialogo>
QPointer<QTimer> AlAparecer(std::function<void(Dialogo*)> accion, bool cerrar = true) {
  auto* reloj = new QTimer(qApp);
  reloj->setInterval(10);
  QObject::connect(reloj, &QTimer::timeout, reloj, [reloj, accion, cerrar] {
    auto* d = qobject_cast<Dialogo*>(QApplication::activeModalWidget());
    if (!d) return;
    reloj->stop();
    reloj->deleteLater();
    accion(d);
    QPointer<Dialogo> abierto(d);
    if (cerrar)
      QTimer::singleShot(0, qApp, [abierto] {
        if (abierto && abierto->isVisible()) abierto->reject();
      });
  });
  reloj->start();
  return reloj;
}

}  // namespace varlo::gui::prueba
