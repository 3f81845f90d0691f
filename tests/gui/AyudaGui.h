#pragma once
// Acting on a modal dialog from inside its own event loop: the action runs
// once a dialog of the wanted class is the active modal widget.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace varlo::gui::prueba {

template <class Dialogo>
void AlAparecer(std::function<void(Dialogo*)> accion) {
  auto* reloj = new QTimer(qApp);  // owned by the application
  reloj->setInterval(10);
  QObject::connect(reloj, &QTimer::timeout, reloj, [reloj, accion] {
    if (auto* d = qobject_cast<Dialogo*>(QApplication::activeModalWidget())) {
      reloj->stop();
      reloj->deleteLater();
      accion(d);
      // A failed check inside `accion` returns early: close the dialog so
      // that the test fails instead of waiting forever.
      QPointer<Dialogo> abierto(d);
      QTimer::singleShot(0, qApp, [abierto] {
        if (abierto && abierto->isVisible()) abierto->reject();
      });
    }
  });
  reloj->start();
}

}  // namespace varlo::gui::prueba
