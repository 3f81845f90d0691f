// The window program: the main window (layout, repaints, "Detalles", the
// display it needs), its dialogs (connection, table picker, end summary),
// real runs to their end, and the signals that stop it at any moment.
#include <sys/types.h>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "AyudaGui.h"
#include "CorridaVentana.h"
#include "DialogoConexion.h"
#include "DialogoResumen.h"
#include "DialogoSelTablas.h"
#include "PanelDetalles.h"
#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/Interrupcion.h"
#include "common/Plataforma.h"
#include "db/CadenaConexion.h"
#include "db/Conexion.h"
#include "db/Consulta.h"
#include "support/CarpetaTemporal.h"
#include "support/Definiciones.h"

namespace varlo::gui {
namespace {

namespace fs = std::filesystem;
using P = PanelDetalles;
using prueba::AlAparecer;
using varlo::prueba::EscribeBytes;
using varlo::prueba::LeeBytes;
using varlo::prueba::LogDeLaCorrida;

// A small real run of `tablas`: five employees into a fresh SQLite table,
// the third with a key longer than its column (rejected); sections of other
// tables are the test's business; `opciones` go to section "Opciones".
std::string PreparaCorrida(const varlo::prueba::CarpetaTemporal& tmp,
                           const std::string& opciones = "",
                           const std::vector<std::string>& tablas = {"Empleado"}) {
  const std::string cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("varlo.db");
  EscribeBytes(tmp.Archivo("varlo.db"), "");
  db::Conexion::Abre(cadena)->Execute(
      "CREATE TABLE Empleado (ID_Empleado CHAR(15) NOT NULL PRIMARY KEY, Nombre VARCHAR(50))");
  EscribeBytes(
      tmp.Archivo("Empleado.txt"),
      "E1,Ana\r\nE2,Luis\r\nE3-CON-UNA-CLAVE-DEMASIADO-LARGA,Eva\r\nE4,Sara\r\nE5,Juan\r\n");
  EscribeBytes(tmp.Archivo("defs.ini"),
               "[Opciones]\r\nReporteLog=1\r\nReporteEmpleadosNoImportados=1\r\n" + opciones +
                   "[Base de Datos]\r\nConexion=" + cadena + "\r\n" +
                   varlo::prueba::ListaTablas(tablas) +
                   varlo::prueba::SeccionComas("Empleado", tmp.Archivo("Empleado.txt"),
                                               "ID_Empleado", {"ID_Empleado", "Nombre"}));
  return tmp.Archivo("defs.ini");
}

// The run takes 65 s of the injected clock: the time passes with its summary
// line. Files to open are only noted.
class VentanaCronometrada : public VentanaPrincipal {
 public:
  std::int64_t ahora = 1000;
  std::vector<QString> abiertos;
  VentanaCronometrada() {
    EstableceReloj([this] { return ahora; });
    EstableceAbridor([this](const QString& ruta) {
      abiertos.push_back(ruta);
      return true;
    });
  }
  void MuestraResumen(const std::string& linea) override {
    ahora += 65000;
    VentanaPrincipal::MuestraResumen(linea);
  }
};

// Runs the window as main() does and returns what its event loop ended
// with; -1 when it did not end by itself within a minute. `avisado` gets
// the status the program is told to end with, once it is told.
int EjecutaHastaElFin(VentanaPrincipal& v, frmMain& f, int* avisado = nullptr) {
  QEventLoop bucle;
  CorridaVentana corrida(v, f, [&bucle, avisado](int estado) {
    if (avisado) *avisado = estado;
    bucle.exit(estado);
  });
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
  // the window outlives this run: nothing of it may reach `corrida` any more
  v.EstableceFinCorrida(nullptr);
  return agotado ? -1 : estado;
}

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

// An import's counts: records read, rows added, updated and rejected; with
// heading lines, the planning's, whose rows are days.
ResumenImportacion Cuentas(long leidas, long agregadas, long actualizadas = 0, long rechazadas = 0,
                           long encabezado = -1) {
  ResumenImportacion r;
  std::tie(r.leidas, r.agregadas, r.actualizadas, r.rechazadas) =
      std::tuple(leidas, agregadas, actualizadas, rechazadas);
  r.porDias = encabezado >= 0;
  r.omitidas = std::max(encabezado, 0L);
  return r;
}

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

// A row of "Detalles" as "name|state|read|added|updated|rejected|rate".
QString Celda(const QTableWidget* t, int fila, int columna) {
  const QTableWidgetItem* i = t->item(fila, columna);
  return i ? i->text() : QString("<vacía>");
}
QString Fila(const QTableWidget* t, int fila) {
  QStringList celdas;
  for (int c = 0; c < P::kColumnas; ++c) celdas << Celda(t, fila, c);
  return celdas.join('|');
}
// As a person's click or double click comes (a click, then the double click).
void Clic(QTableWidget* t, int fila, int columna, bool doble = false) {
  const QPoint p = t->visualItemRect(t->item(fila, columna)).center();
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, p);
  if (doble) QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, p);
}

// The connection dialog's fields and buttons.
const std::string kSemilla = "User ID=;Initial Catalog=;Data Source=;Aplication Name=";
void Escribe(QDialog* d, const char* campo, const std::string& texto) {
  auto* c = d->findChild<QLineEdit*>(campo);
  c->clear();
  QTest::keyClicks(c, QString::fromStdString(texto));
}
void Pulsa(QDialog* d, QDialogButtonBox::StandardButton b) {
  QTest::mouseClick(d->findChild<QDialogButtonBox*>("botones")->button(b), Qt::LeftButton);
}
void Pestana(QDialog* d, const char* nombre) {
  d->findChild<QTabWidget*>("tabClase")->setCurrentWidget(d->findChild<QWidget*>(nombre));
}
QString Pestana(QDialog* d) {
  return d->findChild<QTabWidget*>("tabClase")->currentWidget()->objectName();
}
QString Resultado(QDialog* d) {
  return d->findChild<QLabel*>("lblResultado")->text();
}

}  // namespace

class VentanaPrueba : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    tmp_ = std::make_unique<varlo::prueba::CarpetaTemporal>();
    EstableceCarpetaPrograma(tmp_->Ruta());
    // The handlers reset themselves after one signal.
    InstalaManejadoresInterrupcion();
  }
  void cleanup() {
    PideInterrupcion(0);
    tmp_.reset();
  }

  // Folded, the window is the original's small one, with its caption; unfolded, the details go
  // below the bar; folded again, the window is as small as before.
  void FoldedAtStartAndFoldsBack() {
    VentanaPrincipal v;
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QVERIFY(!v.DetallesDesplegados() && !v.cmdDetalles()->isChecked());
    QVERIFY(!v.Detalles()->isVisible());
    QCOMPARE(v.windowTitle(), QString("Importador de datos Varlo"));
    // two lines of text over the bar, like the original 383 x 51
    const QSize chico = v.size();
    QCOMPARE(chico.width(), 383);
    QVERIFY2(chico.height() >= 40 && chico.height() <= 64,
             qPrintable(QString::number(chico.height())));
    QCOMPARE(v.ProgressBar1()->geometry().bottom(), v.height() - 1);
    QVERIFY(v.rect().contains(v.cmdDetalles()->geometry()));

    QTest::mouseClick(v.cmdDetalles(), Qt::LeftButton);
    QVERIFY(v.DetallesDesplegados());
    QTRY_VERIFY(v.Detalles()->isVisible() && v.height() > chico.height() + 150);
    QVERIFY(v.width() >= chico.width());
    QVERIFY(v.Detalles()->y() > v.ProgressBar1()->geometry().bottom());
    QVERIFY(v.rect().contains(v.Detalles()->geometry()));
    // The label does not take the room meant for the details.
    QVERIFY(v.Label1()->height() < 4 * v.Label1()->fontMetrics().lineSpacing());

    QTest::mouseClick(v.cmdDetalles(), Qt::LeftButton);
    QTRY_COMPARE(v.size(), chico);
    QVERIFY(!v.Detalles()->isVisible());
    QCOMPARE(v.ProgressBar1()->geometry().bottom(), v.height() - 1);
  }

  // Whatever the font, the status (a long counter, a long path) is shown
  // whole above a bar that spans the bottom of the window.
  void LaidOutForAnyFont() {
    for (int puntos : {0, 14, 24}) {
      for (const char* texto :
           {"Importando datos (Fotos_Empleados_Historicos)... (1234567 de 2345678)",
            "Obteniendo información del archivo de definiciones "
            "(/srv/varlodi/definiciones/nomina quincenal de la planta norte/defs.ini)..."}) {
        VentanaPrincipal v;
        if (puntos > 0) v.setFont(QFont(v.font().family(), puntos));
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        v.EstableceEstado(texto);
        const QLabel* l = v.Label1();
        const QProgressBar* b = v.ProgressBar1();
        QTRY_VERIFY2(l->height() >= l->heightForWidth(l->width()),
                     qPrintable(QString("%1 pt: %2").arg(puntos).arg(l->height())));
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
    const int tope = 1000 / VentanaPrincipal::kIntervaloPintadoMs;
    QVERIFY2(etiqueta.pintados <= 1 + tope, qPrintable(QString::number(etiqueta.pintados)));
    QVERIFY(barra.pintados <= 1 + tope);
    QVERIFY(etiqueta.pintados >= tope);
    QTRY_VERIFY(v.ProgressBar1()->value() == 1000 &&
                v.Label1()->text() == "Importando datos (Empleado)... (1000 de 1000)");
    QCOMPARE(v.ProgressBar1()->maximum(), 1000);

    // A box shows what was held back before it asks.
    ahora += 1;
    v.EstableceEstado("...Importación terminada!");
    QCOMPARE(v.Label1()->text(), QString("Importando datos (Empleado)... (1000 de 1000)"));
    AlAparecer<QMessageBox>([&v](QMessageBox* caja) {
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

    EscribeBytes(tmp_->Archivo("defs.ini"), "[Tablas]\r\nTotal=0\r\n");
    QProcess programa;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    for (const char* nombre : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      entorno.remove(nombre);
    programa.setProcessEnvironment(entorno);
    programa.start(VARLODI_GUI_EXE, {QString::fromStdString(tmp_->Archivo("defs.ini"))});
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
    QVERIFY(!fs::exists(tmp_->Archivo("Log")));
  }

  // The counts of each import as they come; the rate of the lines taken
  // over the window's clock while in progress (the counts wait for a batch's
  // commit), of what was done over the import's own time at its end; the
  // planning counts day rows and lines; an import not done shows why; a
  // table listed twice gets two rows. Rows fill while folded too.
  void DetailRowsFollowTheRun() {
    std::int64_t ahora = 10000;
    VentanaPrincipal v;
    v.EstableceReloj([&ahora] { return ahora; });
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    const QTableWidget* t = v.Detalles()->tblImportaciones();

    v.EstableceMaximo(100);
    v.EstableceValor(1);
    v.MuestraAvance("Empleado", Cuentas(100, 1));
    QTRY_COMPARE(Fila(t, 0), QString("Empleado|importando|100|1|0|0|"));

    ahora += 2000;
    v.EstableceValor(41);
    v.MuestraAvance("Empleado", Cuentas(100, 20, 6, 4));
    // 40 lines taken in the 2 s since the first one.
    QTRY_COMPARE(Fila(t, 0), QString("Empleado|importando|100|20|6|4|20"));

    v.MuestraDetalles(true);
    QVERIFY(t->isVisible());
    ahora += 1000;
    ImportacionCorrida fin{"Empleado", EstadoImportacion::Incompleta,
                           "Importación interrumpida en la tabla Empleado, después de 41 de 100 "
                           "líneas",
                           Cuentas(100, 20, 6, 4)};
    fin.cuentas.sinProcesar = 60;
    fin.cuentas.segundos = 2.5;
    v.MuestraImportacion(fin);
    QTRY_COMPARE(Fila(t, 0), QString("Empleado|incompleta|100|20|6|4|12"));
    QCOMPARE(t->item(0, P::kEstado)->toolTip(), QString::fromStdString(fin.motivo));

    // The planning: 12 lines, 2 of them a heading; the bar counts lines.
    ahora += 1000;
    v.EstableceMaximo(12);
    v.EstableceValor(3);
    v.MuestraAvance("Planeacion Faltas", Cuentas(12, 5, 0, 0, 2));
    ahora += 4000;
    v.EstableceValor(10);
    v.MuestraAvance("Planeacion Faltas", Cuentas(12, 40, 3, 1, 2));
    // 7 lines taken in the 4 s since the first one.
    QTRY_COMPARE(Fila(t, 1), QString("Planeacion Faltas|importando|12|40 días|3 días|1|2 líneas"));
    ahora += 1000;
    ImportacionCorrida planeacion{"Planeacion Faltas", EstadoImportacion::Importada, "",
                                  Cuentas(12, 50, 3, 1, 2)};
    planeacion.cuentas.segundos = 2;
    v.MuestraImportacion(planeacion);
    QTRY_COMPARE(Fila(t, 1), QString("Planeacion Faltas|importada|12|50 días|3 días|1|5 líneas"));

    ahora += 1000;
    const std::string motivo = "No se encontró el archivo origen (/datos/Depto.txt)";
    v.MuestraImportacion({"Departamento", EstadoImportacion::NoImportada, motivo, {}});
    QTRY_COMPARE(t->rowCount(), 3);
    QTRY_COMPARE(Celda(t, 2, P::kEstado), QString("no importada"));
    QCOMPARE(Celda(t, 2, P::kLeidas), QString::fromStdString(motivo));
    QCOMPARE(t->columnSpan(2, P::kLeidas), P::kColumnas - P::kLeidas);

    ahora += 1000;
    v.MuestraAvance("Empleado", Cuentas(7, 0));
    QTRY_COMPARE(t->rowCount(), 4);
    QTRY_COMPARE(Fila(t, 3), QString("Empleado|importando|7|0|0|0|"));
    QCOMPARE(Fila(t, 0), QString("Empleado|incompleta|100|20|6|4|12"));

    // Error lines show in order; past the limit one line counts the rest.
    const QListWidget* l = v.Detalles()->lstErrores();
    for (int i = 0; i < P::kMaxLineasError + 5; ++i)
      v.MuestraError("[ImportaDatos] Error: " + std::to_string(i));
    QTRY_COMPARE(l->count(), P::kMaxLineasError + 1);
    QCOMPARE(l->item(P::kMaxLineasError - 1)->text(),
             QString("[ImportaDatos] Error: %1").arg(P::kMaxLineasError - 1));
    QVERIFY(l->item(P::kMaxLineasError)->text().startsWith("(5 líneas más"));
    QCOMPARE(v.Detalles()->findChild<QLabel*>("lblErrores")->text(),
             QString("Líneas de error: %1").arg(P::kMaxLineasError + 5));
  }

  // Nobody there, a real run with a table that does not exist: the window
  // closes by itself with no summary, saying how the run ended; the rows say
  // what the summary lines say, the error lines are those of the log, and
  // the file of rejected lines opens with one click on the count or a double
  // click on the row, only while it exists.
  void UnattendedRunClosesByItselfAndLeavesItsDetails() {
    VentanaCronometrada v;
    v.EstablecePersonaPresente(false);
    frmMain f(v, PreparaCorrida(*tmp_, "", {"Empleado", "NoExiste"}));
    f.EstableceAvisoError([&v](const std::string& linea) { v.MuestraError(linea); });
    bool resumen = false;
    QPointer<QTimer> vigia = AlAparecer<DialogoResumen>([&](DialogoResumen*) { resumen = true; });
    QCOMPARE(EjecutaHastaElFin(v, f), 4);
    delete vigia.data();
    QVERIFY(!resumen);
    QVERIFY(!v.isVisible());
    QCOMPARE(v.Label1()->text(), QString("...Importación terminada con errores"));

    v.MuestraDetalles(true);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QTableWidget* t = v.Detalles()->tblImportaciones();
    QCOMPARE(t->rowCount(), 2);
    QCOMPARE(Fila(t, 0).section('|', 0, 5), QString("Empleado|importada|5|4|0|1"));
    // one summary line per import, and the total
    QCOMPARE(v.Resumenes().size(), std::size_t(3));
    QVERIFY(v.Resumenes()[2].starts_with("Resumen total: "));
    QVERIFY(v.Resumenes()[0].find("5 leídas, 4 agregadas, 0 actualizadas, 1 rechazadas") !=
            std::string::npos);
    QCOMPARE(Celda(t, 1, P::kImportacion), QString("NoExiste"));
    QCOMPARE(Celda(t, 1, P::kEstado), QString("no importada"));

    const QListWidget* l = v.Detalles()->lstErrores();
    QVERIFY(l->count() >= 1);
    // The log is Windows-1252 text.
    const QString log = QString::fromLatin1(LeeBytes(LogDeLaCorrida(tmp_->Ruta())));
    for (int i = 0; i < l->count(); ++i)
      QVERIFY2(log.contains(l->item(i)->text() + " ("), qPrintable(l->item(i)->text()));

    const QString er = QString::fromStdString(tmp_->Archivo("Log/Empleado_Er.txt"));
    QCOMPARE(v.Detalles()->ArchivoRechazados(0), er);
    Clic(t, 0, P::kRechazadas);
    QCOMPARE(v.abiertos, std::vector<QString>{er});
    Clic(t, 0, P::kImportacion, true);
    QCOMPARE(v.abiertos, (std::vector<QString>{er, er}));
    // Nothing to open for the table not imported, nor once the file is gone.
    Clic(t, 1, P::kImportacion, true);
    fs::remove(er.toStdString());
    Clic(t, 0, P::kRechazadas);
    QCOMPARE(v.abiertos.size(), std::size_t(2));
  }

  // Who gets the end summary, and what it shows: the run's time, the files
  // of rejected lines (several in a menu), the log.
  void WhoIsThereAndWhatTheSummaryOffers() {
    const std::pair<EntornoPersona, bool> casos[] = {
        {{"xcb", true, false, false}, true},      // from a terminal
        {{"wayland", false, false, true}, true},  // from the desktop's menu
        {{"xcb", false, false, false}, false},    // cron with a DISPLAY
        {{"xcb", true, true, true}, false},       // a systemd unit
        {{"offscreen", true, false, true}, false}, {{"minimal", true, false, true}, false},
    };
    for (const auto& [entorno, esperado] : casos)
      QVERIFY2(VentanaPrincipal::HayPersona(entorno) == esperado, entorno.plataforma.c_str());

    const std::pair<std::int64_t, std::string> duraciones[] = {
        {0, "0,0 s"},          {1250, "1,2 s"},          {59949, "59,9 s"},
        {65000, "1 min 05 s"}, {3599499, "59 min 59 s"}, {7265000, "2 h 01 min 05 s"},
    };
    for (const auto& [ms, texto] : duraciones) QCOMPARE(VentanaPrincipal::TextoDuracion(ms), texto);

    const std::vector<std::string> lineas = {
        "Resumen Empleado: 100 leídas, 60 agregadas, 39 actualizadas, 1 rechazadas "
        "(Log/Empleado_Er.txt), 0 sin procesar, 1,2 s, 83 por s",
        "Resumen Kardex (b): 5 leídas, 5 agregadas, 0 actualizadas, 0 rechazadas, 0 sin procesar, "
        "0,1 s, 50 por s",
        "Resumen (simulación) Planeacion Faltas: 9 leídas, 0 agregadas, 0 actualizadas, 9 "
        "rechazadas (Log/Planeacion Faltas_Incidencias_Er.txt), 0 sin procesar, 0,3 s",
        "Resumen total: 114 leídas, 65 agregadas, 39 actualizadas, 10 rechazadas, 0 sin procesar, "
        "1,6 s, 71 por s",
    };
    QCOMPARE(VentanaPrincipal::ArchivosRechazados(lineas),
             (std::vector<std::string>{"Log/Empleado_Er.txt",
                                       "Log/Planeacion Faltas_Incidencias_Er.txt"}));

    // Several files of rejected lines: the button offers them in a menu.
    ContenidoResumen c;
    c.estado = "...Importación terminada con errores";
    c.conErrores = true;
    c.rechazados = {"/v/Log/Empleado_Er.txt", "/v/Log/Kardex_Er.txt"};
    std::vector<QString> abiertos;
    DialogoResumen d(c, [&](const QString& r) {
      abiertos.push_back(r);
      return true;
    });
    QVERIFY(!d.cmdBitacora()->isEnabled());
    QMenu* menu = d.cmdRechazados()->menu();
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[1]->text(), QString("Kardex_Er.txt"));
    menu->actions()[1]->trigger();
    QCOMPARE(abiertos, std::vector<QString>{"/v/Log/Kardex_Er.txt"});

    // The log: the newest of the monthly files, nothing else.
    const std::string log = tmp_->Archivo("Log");
    QCOMPARE(VentanaPrincipal::UltimaBitacora(log), std::string());
    fs::create_directory(log);
    for (const char* nombre : {"/VarloDI_Jul2026.log", "/VarloDI_Aug2026.log", "/Empleado_Er.txt"})
      EscribeBytes(log + nombre, "x");
    const auto antes = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(log + "/VarloDI_Jul2026.log", antes);
    QCOMPARE(VentanaPrincipal::UltimaBitacora(log), log + "/VarloDI_Aug2026.log");
    fs::last_write_time(log + "/Empleado_Er.txt", antes + std::chrono::hours(48));
    QCOMPARE(VentanaPrincipal::UltimaBitacora(log), log + "/VarloDI_Aug2026.log");
  }

  // A person is there: the window says the run rejected lines, and the summary
  // waits with the run's line, its time and the files to open, until Cerrar
  // ends the run with its status. SIGTERM while it waits closes it and the
  // window, and the event loop ends with 143.
  void SummaryWaitsForThePersonOrASignal() {
    for (bool senal : {false, true}) {
      VentanaCronometrada v;
      v.EstablecePersonaPresente(true);
      frmMain f(v, PreparaCorrida(*tmp_));
      bool visto = false;
      int avisado = -1;
      AlAparecer<DialogoResumen>(
          [&](DialogoResumen* d) {
            visto = true;
            QVERIFY(v.isVisible());
            if (senal) return (void)std::raise(SIGTERM);
            QCOMPARE(v.Label1()->text(),
                     QString("...Importación terminada con registros rechazados"));
            QCOMPARE(d->lstResumen()->count(), 1);
            const QString linea = d->lstResumen()->item(0)->text();
            QVERIFY2(linea.startsWith("Resumen Empleado: 5 leídas, 4 agregadas, 0 actualizadas, "
                                      "1 rechazadas (Log/Empleado_Er.txt), 0 sin procesar"),
                     qPrintable(linea));
            QCOMPARE(d->findChild<QLabel*>("lblDuracion")->text(),
                     QString("Tiempo transcurrido: 1 min 05 s"));

            QVERIFY(d->cmdRechazados()->isEnabled() && d->cmdBitacora()->isEnabled());
            QTest::mouseClick(d->cmdRechazados(), Qt::LeftButton);
            QTest::mouseClick(d->cmdBitacora(), Qt::LeftButton);
            QCOMPARE(v.abiertos.size(), std::size_t(2));
            QCOMPARE(v.abiertos[0], QString::fromStdString(tmp_->Archivo("Log/Empleado_Er.txt")));
            QVERIFY(
                v.abiertos[1].startsWith(QString::fromStdString(tmp_->Archivo("Log/VarloDI_"))));
            QVERIFY(fs::exists(v.abiertos[1].toStdString()));
            QCOMPARE(avisado, -1);  // the program is not told to end yet
            QTest::mouseClick(d->cmdCerrar(), Qt::LeftButton);
          },
          !senal);
      QCOMPARE(EjecutaHastaElFin(v, f, &avisado), senal ? 143 : 1);
      QVERIFY(visto);
      QTRY_VERIFY(!v.isVisible());
      QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
  }

  // No definitions file and the Open dialog waits: SIGINT cancels it, the
  // offer to generate a file is not made, nothing is written, status 130.
  void SigintWhileTheOpenDialogWaits() {
    VentanaPrincipal v;
    frmMain f(v, "");
    bool visto = false, ofrecido = false;
    AlAparecer<QFileDialog>([&visto](QFileDialog*) { visto = true, std::raise(SIGINT); }, false);
    QPointer<QTimer> vigia =
        AlAparecer<QMessageBox>([&ofrecido](QMessageBox*) { ofrecido = true; });
    QCOMPARE(EjecutaHastaElFin(v, f), 130);
    delete vigia.data();
    QVERIFY(visto);
    QVERIFY(!ofrecido);
    QVERIFY(!fs::exists(tmp_->Archivo("Log")));
  }

  // The program itself, a message box of the run waiting (MostrarMensajes):
  // SIGHUP ends it with 129, the run stopped by its own path (its log says
  // where) before writing any row.
  void SighupEndsTheProgramWith129() {
    const std::string defs = PreparaCorrida(*tmp_, "MostrarMensajes=1\r\n");
    QProcess programa;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("QT_QPA_PLATFORM", "offscreen");
    programa.setProcessEnvironment(entorno);
    programa.start(VARLODI_GUI_EXE, {"--carpeta", QString::fromStdString(tmp_->Ruta()),
                                     QString::fromStdString(defs)});
    QVERIFY(programa.waitForStarted());
    // The first line is in the log before its box is shown.
    QTRY_VERIFY_WITH_TIMEOUT(!LogDeLaCorrida(tmp_->Ruta()).empty(), 60000);
    QCOMPARE(::kill(static_cast<pid_t>(programa.processId()), SIGHUP), 0);
    QVERIFY(programa.waitForFinished(60000));
    QCOMPARE(programa.exitStatus(), QProcess::NormalExit);
    QCOMPARE(programa.exitCode(), 129);
    // The log is Windows-1252 text.
    const QString log = QString::fromLatin1(LeeBytes(LogDeLaCorrida(tmp_->Ruta())));
    QVERIFY2(log.contains("Importación interrumpida en la tabla Empleado, después de 0 de 5"),
             qPrintable(log));
    auto cn = db::Conexion::Abre("Provider=SQLite;Data Source=" + tmp_->Archivo("varlo.db"));
    db::Consulta todas;
    todas.columnas = {"ID_Empleado"};
    todas.tabla = "Empleado";
    QVERIFY(cn->AbreConsulta(todas, 0)->EOF_());
  }

  // The connection dialog: Aceptar only on a string that opens, Cancelar
  // gives nothing. The PostgreSQL tab, filled in from the test server's
  // settings: what it lacks is said without trying; it writes the native
  // provider's string, which comes back as a seed into the same tab and
  // fields. An older psqlODBC string (the server's own) opens the same tab
  // and is written anew.
  void ConnectionDialogTabsAndTheStringsTheyWrite() {
    const char* servidor = std::getenv("VARLODI_PG_ODBC");
    QVERIFY2(servidor && *servidor, "VARLODI_PG_ODBC no está definida (scripts/pg-cluster)");
    std::map<std::string, std::string> campos;
    for (const auto& [clave, valor] : db::LeePares(servidor)) campos[clave] = valor;
    const std::string clave = " x;y ";  // a password that needs quoting
    const std::string nativa =
        "Provider=PostgreSQL;Data Source=" + campos["Server"] + ";Port=" + campos["Port"] +
        ";Initial Catalog=" + campos["Database"] + ";User ID=" + campos["Uid"] + ";Password=";

    VentanaPrincipal v;
    std::vector<std::string> probadas;  // connection attempts
    auto probar = [&](const std::string& c) {
      probadas.push_back(c);
      return c.find("no_existe") != std::string::npos ? std::string("no existe") : std::string();
    };
    AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      Pestana(d, "tabOdbc");
      Escribe(d, "txtCadenaOdbc", "DSN=no_existe");
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: no existe"));
      Escribe(d, "txtCadenaOdbc", "DSN=bien");
      Pulsa(d, QDialogButtonBox::Ok);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::optional<std::string>("DSN=bien"));
    QCOMPARE(probadas.size(), std::size_t(2));

    AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      Pestana(d, "tabSQLite");
      Escribe(d, "txtArchivo", "/bien.db");
      Pulsa(d, QDialogButtonBox::Cancel);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::nullopt);
    QCOMPARE(probadas.size(), std::size_t(2));

    // Windows integrated security is offered on Windows only, or to a seed
    // that already uses it.
    DialogoConexion vacio(kSemilla, {});
    DialogoConexion integrada("Provider=SQLOLEDB.1;Data Source=s;Integrated Security=SSPI", {});
    auto casilla = [](DialogoConexion& d) {
      return d.findChild<QCheckBox*>("chkSeguridadIntegrada");
    };
#ifdef _WIN32
    QVERIFY(!casilla(vacio)->isHidden());
#else
    QVERIFY(casilla(vacio)->isHidden());
#endif
    QVERIFY(!casilla(integrada)->isHidden());
    QVERIFY(casilla(integrada)->isChecked());

    AlAparecer<DialogoConexion>([&](DialogoConexion* d) {
      Pestana(d, "tabPostgreSql");
      Escribe(d, "txtPgServidor", campos["Server"]);
      Escribe(d, "txtPgUsuario", campos["Uid"]);
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: Falta la base de datos."));
      Escribe(d, "txtPgPuerto", campos["Port"]);
      Escribe(d, "txtPgBaseDatos", "no_existe");
      Escribe(d, "txtPgClave", clave);
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: no existe"));
      Escribe(d, "txtPgBaseDatos", campos["Database"]);
      Pulsa(d, QDialogButtonBox::Ok);
    });
    const auto cadena = v.ComponeConexion(kSemilla, probar);
    QCOMPARE(probadas.size(), std::size_t(4));
    QVERIFY(cadena.has_value());
    QCOMPARE(*cadena, nativa + "\"" + clave + "\"");
    QCOMPARE(probadas.back(), *cadena);
    // and the native backend opens it (the test cluster trusts its user)
    auto cn = db::Conexion::Abre(*cadena);
    QCOMPARE(cn->State(), 1);
    cn->Close();

    // The string comes back as a seed: the same tab, the same fields.
    AlAparecer<DialogoConexion>([&](DialogoConexion* d) {
      QCOMPARE(Pestana(d), QString("tabPostgreSql"));
      QCOMPARE(d->findChild<QLineEdit*>("txtPgBaseDatos")->text().toStdString(),
               campos["Database"]);
      QCOMPARE(d->findChild<QLineEdit*>("txtPgClave")->text().toStdString(), clave);
      Pulsa(d, QDialogButtonBox::Ok);
    });
    QCOMPARE(v.ComponeConexion(*cadena, probar), cadena);

    AlAparecer<DialogoConexion>([&](DialogoConexion* d) {
      QCOMPARE(Pestana(d), QString("tabPostgreSql"));
      QCOMPARE(d->findChild<QLineEdit*>("txtPgPuerto")->text().toStdString(), campos["Port"]);
      Pulsa(d, QDialogButtonBox::Ok);
    });
    QCOMPARE(v.ComponeConexion(servidor, [](const std::string&) { return ""; }),
             std::optional<std::string>(nativa + campos["Pwd"]));
  }

  // The table picker shows its caption, buttons and nodes, unticked each
  // time. Ticked out of order: the answer follows the nodes whether the
  // picker is closed by Aceptar, Cerrar or its window; Cancelar and Escape
  // give no table.
  void TablePickerTicksComeBackInNodeOrderUnlessCancelled() {
    using Accion = std::function<void(DialogoSelTablas*)>;
    auto boton = [](QPushButton* (DialogoSelTablas::*b)() const) -> Accion {
      return [b](DialogoSelTablas* d) { QTest::mouseClick((d->*b)(), Qt::LeftButton); };
    };
    const Accion aceptar = boton(&DialogoSelTablas::cmdAceptar),
                 cerrar = boton(&DialogoSelTablas::cmdCerrar),
                 cancelar = boton(&DialogoSelTablas::cmdCancelar),
                 todas = boton(&DialogoSelTablas::cmdMarcarTodas);
    const Accion ventana = [](DialogoSelTablas* d) { d->close(); };
    const Accion escape = [](DialogoSelTablas* d) { QTest::keyClick(d, Qt::Key_Escape); };
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
    const std::vector<std::string> tablas{"Empleado", "Jerarquias", "Kardex", "Fotos_Empleados"};
    for (const auto& [nodos, acciones, esperado] : casos) {
      AlAparecer<DialogoSelTablas>([nodos, acciones](DialogoSelTablas* d) {
        QCOMPARE(d->windowTitle(), QString("Selección de tablas destino"));
        QCOMPARE(d->size(), QSize(399, 325));
        QCOMPARE(d->tvTabla()->font().family(), QString("Verdana"));
        QStringList textos;
        for (QPushButton* b :
             {d->cmdMarcarTodas(), d->cmdAceptar(), d->cmdCancelar(), d->cmdCerrar()})
          textos << b->text();
        for (int i = 0; i < d->tvTabla()->topLevelItemCount(); ++i) {
          const QTreeWidgetItem* nodo = d->tvTabla()->topLevelItem(i);
          textos << nodo->text(0) + (nodo->checkState(0) == Qt::Unchecked ? "" : " (marcada)");
        }
        QCOMPARE(textos, QStringList({"Marcar todas", "Aceptar", "Cancelar", "Cerrar", "Empleado",
                                      "Jerarquias", "Kardex", "Fotos_Empleados"}));
        for (int i : nodos) d->tvTabla()->topLevelItem(i)->setCheckState(0, Qt::Checked);
        for (const Accion& a : acciones) a(d);
      });
      QCOMPARE(v.EligeTablas(tablas), esperado);
    }
  }

 private:
  std::unique_ptr<varlo::prueba::CarpetaTemporal> tmp_;
};

}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::VentanaPrueba)
#include "Ventana_test.moc"
