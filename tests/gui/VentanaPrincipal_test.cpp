// The main window: caption, size and controls, and the run that starts on
// the first activation only and closes the window when it ends.
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <filesystem>

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
  int dialogosAbrir = 0;
  int serviciosEnDialogo = 0;
  int servicios = 0;
  std::vector<std::string> mensajes;

  void ProcesaEventos() override {
    ++servicios;
    VentanaPrincipal::ProcesaEventos();
  }
  std::string MuestraAbrir(const DialogoArchivo&) override {
    ++dialogosAbrir;
    const int antes = servicios;
    for (int i = 0; i < 3; ++i) {
      hide();
      show();
      activateWindow();
      QTest::qWait(80);
    }
    serviciosEnDialogo = servicios - antes;
    return "";
  }
  Respuesta MuestraMensaje(const std::string& texto, Botones, Icono, const std::string&) override {
    mensajes.push_back(texto);
    return Respuesta::No;
  }
};

}  // namespace

class VentanaPrincipalPrueba : public QObject {
  Q_OBJECT

 private slots:
  void CaptionSizeAndControls() {
    VentanaPrincipal v;
    QCOMPARE(v.windowTitle(), QString("Importador de datos Varlo"));
    QCOMPARE(v.size(), QSize(383, 51));
    QCOMPARE(v.minimumSize(), QSize(383, 51));
    QCOMPARE(v.maximumSize(), QSize(383, 51));
    QCOMPARE(v.Label1()->objectName(), QString("Label1"));
    QCOMPARE(v.Label1()->geometry(), QRect(36, 2, 344, 32));
    QCOMPARE(v.ProgressBar1()->objectName(), QString("ProgressBar1"));
    QCOMPARE(v.ProgressBar1()->geometry(), QRect(0, 34, 383, 17));
    QCOMPARE(v.ProgressBar1()->minimum(), 0);
    QCOMPARE(v.ProgressBar1()->maximum(), 100);
    QVERIFY(!v.windowIcon().isNull());

    // Load empties the label and the bar.
    v.Label1()->setText("x");
    v.EstableceValor(40);
    frmMain f(v, "defs.ini");
    f.Form_Load();
    QCOMPARE(v.Label1()->text(), QString());
    QCOMPARE(v.ProgressBar1()->value(), 0);
  }

  // No definitions file: the Open dialog is shown once, however often the
  // window is activated meanwhile; the offer is declined; the window closes
  // and the status says no file was had.
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
    QCOMPARE(v.mensajes,
             std::vector<std::string>{"No se especificó archivo de definiciones.\rDesea crear uno nuevo?"});
    QVERIFY(!v.isVisible());
    QCOMPARE(estado, 2);

    v.show();
    v.activateWindow();
    QTest::qWait(100);
    QCOMPARE(v.dialogosAbrir, 1);
    QCOMPARE(estados, 1);
    QVERIFY(!std::filesystem::exists(tmp.Archivo("Log")));
  }

  // An option that overflows stops the run: status 2 and the error's text.
  void ErrorThatStopsTheRunGivesStatus2() {
    varlo::prueba::CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    const std::string defs = tmp.Archivo("defs.ini");
    varlo::prueba::EscribeBytes(defs, "[Opciones]\r\nReporteLog=40000\r\n");
    VentanaPrincipal v;
    frmMain f(v, defs);
    int estado = -1;
    CorridaVentana corrida(v, f, [&](int e) { estado = e; });
    f.Form_Load();
    v.show();
    QTRY_VERIFY(corrida.Terminada());
    QCOMPARE(estado, 2);
    QCOMPARE(QString::fromStdString(corrida.MensajeError()).left(8), QString("Error 6:"));
    QVERIFY(!v.isVisible());
  }
};

}  // namespace varlo::gui

QTEST_MAIN(varlo::gui::VentanaPrincipalPrueba)
#include "VentanaPrincipal_test.moc"
