// The main window: caption, size and controls; the status line and the
// bar; message boxes and file dialogs; and the run that starts on the first
// activation only and closes the window when it ends.
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <clocale>
#include <filesystem>

#include "AyudaGui.h"
#include "CorridaVentana.h"
#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/Codificacion.h"
#include "common/Fechas.h"
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

int Cuenta(const std::string& texto, const std::string& parte) {
  int n = 0;
  for (auto p = texto.find(parte); p != std::string::npos; p = texto.find(parte, p + 1)) ++n;
  return n;
}

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

  void StatusAndBarFollowTheEngines() {
    VentanaPrincipal v;
    v.EstableceEstado("Importando Empleado... (1 de 3)");
    QCOMPARE(v.Label1()->text(), QString("Importando Empleado... (1 de 3)"));
    QCOMPARE(v.Estado(), std::string("Importando Empleado... (1 de 3)"));
    v.EstableceMaximo(250);
    v.EstableceValor(125);
    QCOMPARE(v.ProgressBar1()->maximum(), 250);
    QCOMPARE(v.ProgressBar1()->value(), 125);
    v.EstableceValor(0);
    QCOMPARE(v.ProgressBar1()->value(), 0);
  }

  void EventsAreServicedAtMostEvery50Ms() {
    VentanaPrincipal v;
    v.ProcesaEventos();
    bool atendido = false;
    QTimer::singleShot(0, [&] { atendido = true; });
    v.ProcesaEventos();
    QVERIFY(!atendido);
    QThread::msleep(60);
    v.ProcesaEventos();
    QVERIFY(atendido);
  }

  void MessageBoxesUnderTheirTitleWithTheirIconAndButtons() {
    VentanaPrincipal v;
    prueba::AlAparecer<QMessageBox>([](QMessageBox* m) {
      QCOMPARE(m->windowTitle(), QString("VarloDI"));
      QCOMPARE(m->text(), QString("No se especificó archivo de definiciones.\nDesea crear uno nuevo?"));
      QCOMPARE(m->icon(), QMessageBox::Question);
      QCOMPARE(m->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      QTest::mouseClick(m->button(QMessageBox::Yes), Qt::LeftButton);
    });
    QCOMPARE(v.MuestraMensaje("No se especificó archivo de definiciones.\rDesea crear uno nuevo?",
                              Botones::SiNo, Icono::Pregunta, "VarloDI"),
             Respuesta::Si);

    prueba::AlAparecer<QMessageBox>([](QMessageBox* m) { m->button(QMessageBox::No)->click(); });
    QCOMPARE(v.MuestraMensaje("?", Botones::SiNo, Icono::Pregunta, "VarloDI"), Respuesta::No);

    prueba::AlAparecer<QMessageBox>([](QMessageBox* m) {
      QCOMPARE(m->icon(), QMessageBox::Critical);
      QCOMPARE(m->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
      QCOMPARE(m->text(), QString("Archivo ya existe."));
      m->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(v.MuestraMensaje("Archivo ya existe.", Botones::Aceptar, Icono::Critico, "VarloDI"),
             Respuesta::Aceptar);
  }

  void FileDialogsTakeTitleFolderFilterAndSuffix() {
    QCOMPARE(VentanaPrincipal::FiltroQt("Archivos de definiciones (*.ini)|*.ini"),
             QString("Archivos de definiciones (*.ini)"));
    QCOMPARE(VentanaPrincipal::FiltroQt("Textos|*.txt|Todos|*.a;*.b"),
             QString("Textos (*.txt);;Todos (*.a *.b)"));

    varlo::prueba::CarpetaTemporal tmp;
    VentanaPrincipal v;
    DialogoArchivo d{"Nuevo Archivo de definiciones", ".ini", tmp.Ruta(),
                     "Archivos de definiciones (*.ini)|*.ini", ""};

    prueba::AlAparecer<QFileDialog>([&](QFileDialog* f) {
      QCOMPARE(f->windowTitle(), QString("Nuevo Archivo de definiciones"));
      QCOMPARE(f->acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(f->directory().absolutePath(), QString::fromStdString(tmp.Ruta()));
      QCOMPARE(f->nameFilters(), QStringList{"Archivos de definiciones (*.ini)"});
      QCOMPARE(f->defaultSuffix(), QString("ini"));
      f->selectFile(QString::fromStdString(tmp.Archivo("nuevo")));
      QMetaObject::invokeMethod(f, "accept");
    });
    QCOMPARE(v.MuestraGuardar(d), tmp.Archivo("nuevo.ini"));

    // The dialog itself never asks about an existing file: the caller does
    // (accepting an existing name in an off-screen file dialog depends on
    // Qt's background directory listing, so only the option is checked).
    bool sinConfirmar = false;
    prueba::AlAparecer<QFileDialog>([&](QFileDialog* f) {
      sinConfirmar = f->testOption(QFileDialog::DontConfirmOverwrite);
      f->reject();
    });
    QCOMPARE(v.MuestraGuardar(d), std::string());
    QVERIFY(sinConfirmar);

    prueba::AlAparecer<QFileDialog>([&](QFileDialog* f) {
      QCOMPARE(f->acceptMode(), QFileDialog::AcceptOpen);
      QCOMPARE(f->windowTitle(), QString("Archivo de definiciones"));
      f->reject();
    });
    d.titulo = "Archivo de definiciones";
    QCOMPARE(v.MuestraAbrir(d), std::string());
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

  // With a definitions file the imports run once and the status is the run's.
  void RunWithADefinitionsFileLogsOneImport() {
    std::setlocale(LC_TIME, "C");
    varlo::prueba::CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    const std::string defs = tmp.Archivo("defs.ini");
    varlo::prueba::EscribeBytes(defs, "[Tablas]\r\nTotal=0\r\n");
    VentanaQueReactiva v;
    frmMain f(v, defs);
    int estado = -1;
    CorridaVentana corrida(v, f, [&](int e) { estado = e; });
    f.Form_Load();
    v.show();
    QTRY_VERIFY(corrida.Terminada());
    v.show();
    v.activateWindow();
    QTest::qWait(100);
    QCOMPARE(v.dialogosAbrir, 0);
    QCOMPARE(estado, f.EstadoSalida());
    QVERIFY(corrida.MensajeError().empty());
    const std::string log =
        varlo::prueba::LeeBytes(tmp.Archivo("Log/VarloDI_" + FormatoMesAnio(Ahora()) + ".log"));
    QCOMPARE(Cuenta(log, Utf8AAnsi(">Inicio de importación (")), 1);
    QCOMPARE(Cuenta(log, Utf8AAnsi(">Inicio de importación de Incidencias (")), 1);
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
