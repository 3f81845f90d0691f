// The main window: its layout for any font, its repaints, the display it
// needs, and the run that starts on the first activation only and closes the
// window when it ends (its caption and size: Detalles_test).
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <map>

#include "AyudaGui.h"
#include "CorridaVentana.h"
#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "support/CarpetaTemporal.h"

namespace varlo::gui {
namespace {

// Counts the Open dialogs and, while one is "open", activates the window
// again and again, as closing a real dialog does.
class VentanaQueReactiva : public VentanaPrincipal {
 public:
  int dialogosAbrir = 0, serviciosEnDialogo = 0, servicios = 0;
  std::vector<std::string> mensajes;

  void ProcesaEventos() override {
    ++servicios;
    VentanaPrincipal::ProcesaEventos();
  }
  std::string MuestraAbrir(const DialogoArchivo&) override {
    ++dialogosAbrir;
    const int antes = servicios;
    for (int i = 0; i < 3; ++i) hide(), show(), activateWindow(), QTest::qWait(80);
    serviciosEnDialogo = servicios - antes;
    return "";
  }
  Respuesta MuestraMensaje(const std::string& t, Botones, Icono, const std::string&) override {
    mensajes.push_back(t);
    return Respuesta::No;
  }
};

// Counts the paint events a widget gets.
class ContadorPintado : public QObject {
 public:
  explicit ContadorPintado(QWidget* w) { w->installEventFilter(this); }
  int pintados = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++pintados;
    return false;
  }
};

}  // namespace
class VentanaPrincipalPrueba : public QObject {
  Q_OBJECT

 private slots:
  // Whatever the font, the status (a long counter, a long path) is shown
  // whole above a bar that spans the bottom of the window.
  void LaidOutForAnyFont() {
    const std::string textos[] = {
        "Importando datos (Fotos_Empleados_Historicos)... (1234567 de 2345678)",
        "Obteniendo información del archivo de definiciones "
        "(/srv/varlodi/definiciones/nomina quincenal de la planta norte/defs.ini)...",
    };
    for (int puntos : {0, 14, 24}) {
      for (const std::string& texto : textos) {
        VentanaPrincipal v;
        if (puntos > 0) {
          QFont letra = v.font();
          letra.setPointSize(puntos);
          v.setFont(letra);
        }
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        v.EstableceEstado(texto);
        const QLabel* l = v.Label1();
        const QProgressBar* b = v.ProgressBar1();
        QTRY_VERIFY2(l->height() >= l->heightForWidth(l->width()),
                     qPrintable(QString("%1 pt: %2 < %3")
                                    .arg(puntos)
                                    .arg(l->height())
                                    .arg(l->heightForWidth(l->width()))));
        QVERIFY(v.rect().contains(l->geometry()));
        QVERIFY(b->y() >= l->geometry().bottom());
        QCOMPARE(b->geometry().bottom(), v.height() - 1);
        QCOMPARE(b->width(), v.width());
      }
    }
  }

  // A change after a quiet spell is painted at once; a burst is painted
  // at most every 50 ms of the (injected) clock, and its last state shows up
  // by itself, without another change.
  void RepaintsAtMostEvery50msAndShowsTheLastState() {
    std::int64_t ahora = 5000;
    VentanaPrincipal v;
    v.EstableceReloj([&ahora] { return ahora; });
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    ContadorPintado etiqueta(v.Label1()), barra(v.ProgressBar1());

    v.EstableceEstado("Abriendo archivo origen...");
    QCOMPARE(v.Label1()->text(), QString("Abriendo archivo origen..."));
    QCOMPARE(etiqueta.pintados, 1);

    v.EstableceMaximo(1000);
    for (int i = 1; i <= 1000; ++i) {
      ++ahora;
      v.EstableceEstado("Importando datos (Empleado)... (" + std::to_string(i) + " de 1000)");
      v.EstableceValor(i);
    }
    QVERIFY2(etiqueta.pintados <= 1 + 1000 / VentanaPrincipal::kIntervaloPintadoMs,
             qPrintable(QString::number(etiqueta.pintados)));
    QVERIFY(barra.pintados <= 1 + 1000 / VentanaPrincipal::kIntervaloPintadoMs);
    QVERIFY(etiqueta.pintados >= 1000 / VentanaPrincipal::kIntervaloPintadoMs);
    QTRY_VERIFY(v.ProgressBar1()->value() == 1000 &&
                v.Label1()->text() == "Importando datos (Empleado)... (1000 de 1000)");
    QCOMPARE(v.ProgressBar1()->maximum(), 1000);

    // A box shows what was held back before it asks.
    ahora += 1;
    v.EstableceEstado("...Importación terminada!");
    QCOMPARE(v.Label1()->text(), QString("Importando datos (Empleado)... (1000 de 1000)"));
    prueba::AlAparecer<QMessageBox>([&v](QMessageBox* caja) {
      QCOMPARE(v.Label1()->text(), QString("...Importación terminada!"));
      caja->accept();
    });
    v.MuestraMensaje("Listo", Botones::Aceptar, Icono::Informacion, "VarloDI");
  }

  // Qt needs a platform named or a display; the program without one says
  // so in one line and leaves with status 2, before Qt could abort.
  void WithoutADisplayOneLineAndStatus2() {
    using Entorno = std::map<std::string, std::string>;
    const std::tuple<Entorno, std::vector<std::string>, bool> casos[] = {
        {{}, {"defs.ini"}, false},
        {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, {}, false},
        {{{"DISPLAY", ":0"}}, {}, true},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, true},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, {}, true},
        {{}, {"-platform", "offscreen", "defs.ini"}, true},
        {{}, {"defs.ini", "--platform=vnc"}, true},
    };
    for (const auto& [entorno, argumentos, esperado] : casos) {
      auto variable = [&entorno](const char* nombre) {
        auto it = entorno.find(nombre);
        return it == entorno.end() ? std::string() : it->second;
      };
      QCOMPARE(VentanaPrincipal::HayPantalla(variable, argumentos), esperado);
    }

    varlo::prueba::CarpetaTemporal tmp;
    varlo::prueba::EscribeBytes(tmp.Archivo("defs.ini"), "[Tablas]\r\nTotal=0\r\n");
    QProcess programa;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    for (const char* nombre : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      entorno.remove(nombre);
    programa.setProcessEnvironment(entorno);
    programa.start(VARLODI_GUI_EXE, {QString::fromStdString(tmp.Archivo("defs.ini"))});
    QVERIFY(programa.waitForFinished(60000));
    QCOMPARE(programa.exitStatus(), QProcess::NormalExit);
    QCOMPARE(programa.exitCode(), 2);
    QCOMPARE(programa.readAllStandardError(), QByteArray("sin pantalla; use varlodi\n"));
  }

  // Qt's own buttons and dialogs speak Spanish once its translation is in.
  void QtTextsInSpanish() {
    QVERIFY(VentanaPrincipal::InstalaTraduccionesQt());
    QDialogButtonBox botones(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(botones.button(QDialogButtonBox::Cancel)->text(), QString("Cancelar"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Ver en:"));
  }

  // No definitions file: one Open dialog however often the window is
  // activated; the offer declined, the window closes with status 2.
  void RunStartsOnceAndClosesTheWindow() {
    varlo::prueba::CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    VentanaQueReactiva v;
    frmMain f(v, "");
    int estados = 0, estado = -1;
    CorridaVentana corrida(v, f, [&](int e) {
      ++estados;
      estado = e;
    });
    f.Form_Load();
    v.show();
    QTRY_VERIFY(corrida.Terminada());
    QCOMPARE(v.dialogosAbrir, 1);
    // The activations during the dialog reached the run sequence and went no further.
    QVERIFY(v.serviciosEnDialogo >= 3);
    QCOMPARE(v.mensajes, std::vector<std::string>{
                             "No se especificó archivo de definiciones.\rDesea crear uno nuevo?"});
    QVERIFY(!v.isVisible());
    QCOMPARE(estado, 2);
    v.show();
    v.activateWindow();
    QTest::qWait(100);
    QCOMPARE(v.dialogosAbrir, 1);
    QCOMPARE(estados, 1);
    QVERIFY(!std::filesystem::exists(tmp.Archivo("Log")));
  }
};
}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::VentanaPrincipalPrueba)
#include "VentanaPrincipal_test.moc"
