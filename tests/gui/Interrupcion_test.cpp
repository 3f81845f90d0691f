// A signal that asks the program to stop ends the window at any moment, the
// end summary and the dialogs that wait for a person included, with the
// console's status: 128 + the signal.
#include <sys/types.h>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <filesystem>

#include "CorridaEjemplo.h"
#include "CorridaVentana.h"
#include "DialogoResumen.h"
#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/Interrupcion.h"
#include "common/Plataforma.h"
#include "db/Consulta.h"
#include "support/CarpetaTemporal.h"

namespace varlo::gui {
namespace {

using varlo::prueba::CarpetaTemporal;

// Once a dialog of the class is the active modal widget, raises the signal
// in this process, and then leaves the dialog alone: only the window may
// close it.
template <class Dialogo>
void SenalAlAparecer(int senal, bool& visto) {
  auto* reloj = new QTimer(qApp);
  reloj->setInterval(10);
  QObject::connect(reloj, &QTimer::timeout, reloj, [reloj, senal, &visto] {
    if (!qobject_cast<Dialogo*>(QApplication::activeModalWidget())) return;
    reloj->stop();
    reloj->deleteLater();
    visto = true;
    std::raise(senal);
  });
  reloj->start();
}

// Runs the window as main() does and returns what its event loop ended
// with; -1 when it did not end by itself within a minute.
int EjecutaHastaElFin(VentanaPrincipal& v, frmMain& f) {
  QEventLoop bucle;
  CorridaVentana corrida(v, f, [&bucle](int estado) { bucle.exit(estado); });
  v.EstableceFinCorrida([&corrida] { return FinCorrida{corrida.EstadoSalida(), ""}; });
  bool agotado = false;
  QTimer::singleShot(60000, &bucle, [&bucle, &agotado] {
    agotado = true;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->done(QDialog::Rejected);
    bucle.exit(-1);
  });
  f.Form_Load();
  v.show();
  const int estado = bucle.exec();
  return agotado ? -1 : estado;
}

}  // namespace

class InterrupcionPrueba : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    tmp_ = std::make_unique<CarpetaTemporal>();
    EstableceCarpetaPrograma(tmp_->Ruta());
    // The handlers reset themselves after one signal.
    InstalaManejadoresInterrupcion();
  }
  void cleanup() {
    PideInterrupcion(0);
    tmp_.reset();
  }

  // The run is over and its summary waits for the person: SIGTERM closes
  // it and the window, and the event loop ends with 143.
  void SigtermWhileTheSummaryWaits() {
    VentanaPrincipal v;
    v.EstablecePersonaPresente(true);
    frmMain f(v, prueba::PreparaCorrida(*tmp_));
    bool visto = false;
    SenalAlAparecer<DialogoResumen>(SIGTERM, visto);
    QCOMPARE(EjecutaHastaElFin(v, f), 143);
    QVERIFY(visto);
    QVERIFY(!v.isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  // No definitions file and the Open dialog waits: SIGINT cancels it, the
  // offer to generate a file is not made, nothing is written, status 130.
  void SigintWhileTheOpenDialogWaits() {
    VentanaPrincipal v;
    frmMain f(v, "");
    bool visto = false, ofrecido = false;
    SenalAlAparecer<QFileDialog>(SIGINT, visto);
    auto* vigia = new QTimer(qApp);
    QObject::connect(vigia, &QTimer::timeout, vigia, [&ofrecido] {
      if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) ofrecido = true;
    });
    vigia->start(10);
    QCOMPARE(EjecutaHastaElFin(v, f), 130);
    delete vigia;
    QVERIFY(visto);
    QVERIFY(!ofrecido);
    QVERIFY(!std::filesystem::exists(tmp_->Archivo("Log")));
  }

  // The program itself, a message box of the run waiting (MostrarMensajes):
  // SIGHUP ends it with 129, the run stopped by its own path (its log says
  // where) before writing any row.
  void SighupEndsTheProgramWith129() {
    const std::string defs = prueba::PreparaCorrida(*tmp_, "MostrarMensajes=1\r\n");
    QProcess programa;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("QT_QPA_PLATFORM", "offscreen");
    programa.setProcessEnvironment(entorno);
    programa.start(VARLODI_GUI_EXE, {"--carpeta", QString::fromStdString(tmp_->Ruta()),
                                     QString::fromStdString(defs)});
    QVERIFY(programa.waitForStarted());
    // The first line is in the log before its box is shown.
    QTRY_VERIFY_WITH_TIMEOUT(!varlo::prueba::LogDeLaCorrida(tmp_->Ruta()).empty(), 60000);
    QCOMPARE(::kill(static_cast<pid_t>(programa.processId()), SIGHUP), 0);
    QVERIFY(programa.waitForFinished(60000));
    QCOMPARE(programa.exitStatus(), QProcess::NormalExit);
    QCOMPARE(programa.exitCode(), 129);
    // The log is Windows-1252 text.
    const QString log =
        QString::fromLatin1(varlo::prueba::LeeBytes(varlo::prueba::LogDeLaCorrida(tmp_->Ruta())));
    QVERIFY2(log.contains("Importación interrumpida en la tabla Empleado, después de 0 de 5"),
             qPrintable(log));
    auto cn = db::Conexion::Abre("Provider=SQLite;Data Source=" + tmp_->Archivo("varlo.db"));
    db::Consulta todas;
    todas.columnas = {"ID_Empleado"};
    todas.tabla = "Empleado";
    QVERIFY(cn->AbreConsulta(todas, 0)->EOF_());
  }

 private:
  std::unique_ptr<CarpetaTemporal> tmp_;
};

}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::InterrupcionPrueba)
#include "Interrupcion_test.moc"
