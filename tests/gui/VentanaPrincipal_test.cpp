// The main window: caption, size and controls, and the run that starts on
// the first activation only and closes the window when it ends.
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <filesystem>

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

}  // namespace
class VentanaPrincipalPrueba : public QObject {
  Q_OBJECT

 private slots:
  void CaptionSizeAndControls() {
    VentanaPrincipal v;
    QCOMPARE(v.windowTitle(), QString("Importador de datos Varlo"));
    QCOMPARE(v.size(), QSize(383, 51));
    QCOMPARE(v.minimumSize(), v.maximumSize());
    QCOMPARE(v.Label1()->geometry(), QRect(36, 2, 344, 32));
    QCOMPARE(v.ProgressBar1()->geometry(), QRect(0, 34, 383, 17));
    QCOMPARE(v.ProgressBar1()->maximum(), 100);
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
