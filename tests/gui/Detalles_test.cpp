// "Detalles" of the main window: folded at start so the window keeps its
// small look, one row per import filled as the run goes, the error lines as
// they come, and the file of rejected lines one click away.
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "CorridaEjemplo.h"
#include "CorridaVentana.h"
#include "PanelDetalles.h"
#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "support/CarpetaTemporal.h"

namespace varlo::gui {
namespace {

using P = PanelDetalles;

QString Celda(const QTableWidget* t, int fila, int columna) {
  const QTableWidgetItem* i = t->item(fila, columna);
  return i ? i->text() : QString("<vacía>");
}

// A row as "name|state|read|added|updated|rejected|rate".
QString Fila(const QTableWidget* t, int fila) {
  QStringList celdas;
  for (int c = 0; c < P::kColumnas; ++c) celdas << Celda(t, fila, c);
  return celdas.join('|');
}

// As a person's double click comes: a click, then the double click.
void DobleClic(QTableWidget* t, int fila, int columna) {
  const QPoint p = t->visualItemRect(t->item(fila, columna)).center();
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, p);
}

}  // namespace

class DetallesPrueba : public QObject {
  Q_OBJECT

 private slots:
  // Folded, the window is the original's small one, with its caption; unfolded, the details go
  // below the bar; folded again, the window is as small as before.
  void FoldedAtStartAndFoldsBack() {
    VentanaPrincipal v;
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QVERIFY(!v.DetallesDesplegados());
    QVERIFY(!v.cmdDetalles()->isChecked());
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

  // The counts of each import as they come; the rate of the lines taken
  // over the window's clock while in progress (the counts wait for a batch's
  // commit), of what was done over the import's own time at its end; the
  // planning counts day rows and lines; an import not done shows why; a
  // table listed twice gets two rows. Rows fill while folded too.
  void RowsFollowTheRun() {
    std::int64_t ahora = 10000;
    VentanaPrincipal v;
    v.EstableceReloj([&ahora] { return ahora; });
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    const QTableWidget* t = v.Detalles()->tblImportaciones();

    ResumenImportacion r;
    r.leidas = 100;
    v.EstableceMaximo(100);
    v.EstableceValor(1);
    r.agregadas = 1;
    v.MuestraAvance("Empleado", r);
    QTRY_COMPARE(Fila(t, 0), QString("Empleado|importando|100|1|0|0|"));

    ahora += 2000;
    v.EstableceValor(41);
    r.agregadas = 20;
    r.actualizadas = 6;
    r.rechazadas = 4;
    v.MuestraAvance("Empleado", r);
    // 40 lines taken in the 2 s since the first one.
    QTRY_COMPARE(Fila(t, 0), QString("Empleado|importando|100|20|6|4|20"));

    v.MuestraDetalles(true);
    QVERIFY(t->isVisible());
    ahora += 1000;
    ImportacionCorrida fin{"Empleado", EstadoImportacion::Incompleta,
                           "Importación interrumpida en la tabla Empleado, después de 41 de 100 "
                           "líneas",
                           r};
    fin.cuentas.sinProcesar = 60;
    fin.cuentas.segundos = 2.5;
    v.MuestraImportacion(fin);
    QTRY_COMPARE(Fila(t, 0), QString("Empleado|incompleta|100|20|6|4|12"));
    QCOMPARE(t->item(0, P::kEstado)->toolTip(), QString::fromStdString(fin.motivo));

    // The planning: 12 lines, 2 of them a heading; the bar counts lines.
    ResumenImportacion p;
    p.porDias = true;
    p.leidas = 12;
    p.omitidas = 2;
    ahora += 1000;
    v.EstableceMaximo(12);
    v.EstableceValor(3);
    p.agregadas = 5;
    v.MuestraAvance("Planeacion Faltas", p);
    ahora += 4000;
    v.EstableceValor(10);
    p.agregadas = 40;
    p.actualizadas = 3;
    p.rechazadas = 1;
    v.MuestraAvance("Planeacion Faltas", p);
    // 7 lines taken in the 4 s since the first one.
    QTRY_COMPARE(Fila(t, 1), QString("Planeacion Faltas|importando|12|40 días|3 días|1|2 líneas"));
    ahora += 1000;
    ImportacionCorrida planeacion{"Planeacion Faltas", EstadoImportacion::Importada, "", p};
    planeacion.cuentas.agregadas = 50;
    planeacion.cuentas.segundos = 2;
    v.MuestraImportacion(planeacion);
    QTRY_COMPARE(Fila(t, 1), QString("Planeacion Faltas|importada|12|50 días|3 días|1|5 líneas"));
    QCOMPARE(Fila(t, 0), QString("Empleado|incompleta|100|20|6|4|12"));

    ahora += 1000;
    const std::string motivo = "No se encontró el archivo origen (/datos/Depto.txt)";
    v.MuestraImportacion({"Departamento", EstadoImportacion::NoImportada, motivo, {}});
    QTRY_COMPARE(t->rowCount(), 3);
    QTRY_COMPARE(Celda(t, 2, P::kEstado), QString("no importada"));
    QCOMPARE(Celda(t, 2, P::kLeidas), QString::fromStdString(motivo));
    QCOMPARE(t->columnSpan(2, P::kLeidas), P::kColumnas - P::kLeidas);

    ahora += 1000;
    ResumenImportacion otra;
    otra.leidas = 7;
    v.MuestraAvance("Empleado", otra);
    QTRY_COMPARE(t->rowCount(), 4);
    QTRY_COMPARE(Fila(t, 3), QString("Empleado|importando|7|0|0|0|"));
    QCOMPARE(Fila(t, 0), QString("Empleado|incompleta|100|20|6|4|12"));
  }

  // Error lines show in order; past the limit one line counts the rest.
  void ErrorLinesUpToALimit() {
    VentanaPrincipal v;
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

  // A real run with a table that does not exist: the rows say what the
  // summary lines say, the error lines are those of the log, and the file
  // of rejected lines opens with one click on the count or a double click
  // on the row, only while it exists.
  void ARealRunAndItsRejectedFile() {
    varlo::prueba::CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    VentanaPrincipal v;
    v.EstablecePersonaPresente(false);
    std::vector<QString> abiertos;
    v.EstableceAbridor([&abiertos](const QString& ruta) {
      abiertos.push_back(ruta);
      return true;
    });
    frmMain f(v, prueba::PreparaCorrida(tmp, "", {"NoExiste"}));
    f.EstableceAvisoError([&v](const std::string& linea) { v.MuestraError(linea); });
    CorridaVentana corrida(v, f, nullptr);
    f.Form_Load();
    v.show();
    QTRY_VERIFY_WITH_TIMEOUT(corrida.Terminada(), 60000);
    QCOMPARE(corrida.EstadoSalida(), 4);

    v.MuestraDetalles(true);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QTableWidget* t = v.Detalles()->tblImportaciones();
    QCOMPARE(t->rowCount(), 2);
    QCOMPARE(Fila(t, 0).section('|', 0, 5), QString("Empleado|importada|5|4|0|1"));
    QVERIFY(v.Resumenes()[0].find("5 leídas, 4 agregadas, 0 actualizadas, 1 rechazadas") !=
            std::string::npos);
    QCOMPARE(Celda(t, 1, P::kImportacion), QString("NoExiste"));
    QCOMPARE(Celda(t, 1, P::kEstado), QString("no importada"));

    const QListWidget* l = v.Detalles()->lstErrores();
    QVERIFY(l->count() >= 1);
    // The log is Windows-1252 text.
    const QString log =
        QString::fromLatin1(varlo::prueba::LeeBytes(varlo::prueba::LogDeLaCorrida(tmp.Ruta())));
    for (int i = 0; i < l->count(); ++i)
      QVERIFY2(log.contains(l->item(i)->text() + " ("), qPrintable(l->item(i)->text()));

    const QString er = QString::fromStdString(tmp.Archivo("Log/Empleado_Er.txt"));
    QCOMPARE(v.Detalles()->ArchivoRechazados(0), er);
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {},
                      t->visualItemRect(t->item(0, P::kRechazadas)).center());
    QCOMPARE(abiertos, std::vector<QString>{er});
    DobleClic(t, 0, P::kImportacion);
    QCOMPARE(abiertos, (std::vector<QString>{er, er}));
    // Nothing to open for the table not imported.
    DobleClic(t, 1, P::kImportacion);
    QCOMPARE(abiertos.size(), std::size_t(2));

    std::filesystem::remove(er.toStdString());
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {},
                      t->visualItemRect(t->item(0, P::kRechazadas)).center());
    QCOMPARE(abiertos.size(), std::size_t(2));
  }
};

}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::DetallesPrueba)
#include "Detalles_test.moc"
