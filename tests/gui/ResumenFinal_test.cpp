// The end of a run in the window: who gets the summary, what the status
// says, and the summary itself with its buttons after a real import.
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "AyudaGui.h"
#include "CorridaEjemplo.h"
#include "CorridaVentana.h"
#include "DialogoResumen.h"
#include "VentanaPrincipal.h"
#include "app/TextoFin.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "support/CarpetaTemporal.h"

namespace varlo::gui {
namespace {

using prueba::PreparaCorrida;
using varlo::prueba::CarpetaTemporal;
using varlo::prueba::EscribeBytes;

// The run takes 65 s of the injected clock: the time passes with its summary line.
class VentanaCronometrada : public VentanaPrincipal {
 public:
  std::int64_t ahora = 1000;
  VentanaCronometrada() {
    EstableceReloj([this] { return ahora; });
  }
  void MuestraResumen(const std::string& linea) override {
    ahora += 65000;
    VentanaPrincipal::MuestraResumen(linea);
  }
};

struct Corrida {
  VentanaCronometrada v;
  frmMain f;
  CorridaVentana corrida;
  int estado = -1;
  std::vector<QString> abiertos;

  Corrida(const std::string& defs, bool persona)
      : f(v, defs), corrida(v, f, [this](int e) { estado = e; }) {
    v.EstablecePersonaPresente(persona);
    v.EstableceFinCorrida([this] { return FinCorrida{corrida.EstadoSalida(), ""}; });
    v.EstableceAbridor([this](const QString& ruta) {
      abiertos.push_back(ruta);
      return true;
    });
  }
  void Ejecuta() {
    f.Form_Load();
    v.show();
    QTRY_VERIFY_WITH_TIMEOUT(corrida.Terminada(), 60000);
  }
};

}  // namespace

class ResumenFinalPrueba : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    tmp_ = std::make_unique<CarpetaTemporal>();
    EstableceCarpetaPrograma(tmp_->Ruta());
  }
  void cleanup() { tmp_.reset(); }

  void WhoIsThere() {
    const std::pair<EntornoPersona, bool> casos[] = {
        {{"xcb", true, false, false}, true},      // from a terminal
        {{"wayland", false, false, true}, true},  // from the desktop's menu
        {{"xcb", false, false, false}, false},    // cron with a DISPLAY
        {{"xcb", true, true, true}, false},       // a systemd unit
        {{"offscreen", true, false, true}, false}, {{"minimal", true, false, true}, false},
    };
    for (const auto& [entorno, esperado] : casos)
      QVERIFY2(VentanaPrincipal::HayPersona(entorno) == esperado, entorno.plataforma.c_str());
  }

  void EndTextsAndTheirSources() {
    // the window ends with the console's words; rejected lines are not errors
    QCOMPARE(VentanaPrincipal::TextoFinal(0), std::string("...Importación terminada!"));
    QCOMPARE(VentanaPrincipal::TextoFinal(1),
             std::string("...Importación terminada con registros rechazados"));
    QCOMPARE(VentanaPrincipal::TextoFinal(4), std::string("...Importación terminada con errores"));
    for (int estado : {2, 3, 5, 129, 130, 143})
      QCOMPARE(VentanaPrincipal::TextoFinal(estado), TextoFin(estado));

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

    // The log: the newest of the monthly files, nothing else.
    const std::string log = tmp_->Archivo("Log");
    QCOMPARE(VentanaPrincipal::UltimaBitacora(log), std::string());
    std::filesystem::create_directory(log);
    EscribeBytes(log + "/VarloDI_Jul2026.log", "x");
    EscribeBytes(log + "/VarloDI_Aug2026.log", "x");
    EscribeBytes(log + "/Empleado_Er.txt", "x");
    const auto antes = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(log + "/VarloDI_Jul2026.log", antes);
    QCOMPARE(VentanaPrincipal::UltimaBitacora(log), log + "/VarloDI_Aug2026.log");
    std::filesystem::last_write_time(log + "/Empleado_Er.txt", antes + std::chrono::hours(48));
    QCOMPARE(VentanaPrincipal::UltimaBitacora(log), log + "/VarloDI_Aug2026.log");
  }

  // A person is there: the window says the run rejected lines, and the summary
  // waits with the run's line, its time and the files to open.
  void SummaryWaitsForThePerson() {
    Corrida c(PreparaCorrida(*tmp_), true);
    bool visto = false;
    prueba::AlAparecer<DialogoResumen>([&](DialogoResumen* d) {
      visto = true;
      QVERIFY(c.v.isVisible());
      QCOMPARE(c.v.Label1()->text(), QString("...Importación terminada con registros rechazados"));
      QCOMPARE(d->lstResumen()->count(), 1);
      const QString linea = d->lstResumen()->item(0)->text();
      QVERIFY2(linea.startsWith("Resumen Empleado: 5 leídas, 4 agregadas, 0 actualizadas, "
                                "1 rechazadas (Log/Empleado_Er.txt), 0 sin procesar"),
               qPrintable(linea));
      QCOMPARE(d->findChild<QLabel*>("lblDuracion")->text(),
               QString("Tiempo transcurrido: 1 min 05 s"));

      QVERIFY(d->cmdRechazados()->isEnabled());
      QTest::mouseClick(d->cmdRechazados(), Qt::LeftButton);
      QVERIFY(d->cmdBitacora()->isEnabled());
      QTest::mouseClick(d->cmdBitacora(), Qt::LeftButton);
      QCOMPARE(c.abiertos.size(), std::size_t(2));
      QCOMPARE(c.abiertos[0], QString::fromStdString(tmp_->Archivo("Log/Empleado_Er.txt")));
      QVERIFY(c.abiertos[1].startsWith(QString::fromStdString(tmp_->Archivo("Log/VarloDI_"))));
      QVERIFY(std::filesystem::exists(c.abiertos[1].toStdString()));
      QCOMPARE(c.estado, -1);  // the program is not told to end yet
      QTest::mouseClick(d->cmdCerrar(), Qt::LeftButton);
    });
    c.Ejecuta();
    QVERIFY(visto);
    QCOMPARE(c.estado, 1);
    QTRY_VERIFY(!c.v.isVisible());
  }

  // Nobody there: the same run closes the window by itself.
  void UnattendedRunClosesByItself() {
    Corrida c(PreparaCorrida(*tmp_), false);
    bool visto = false;
    QPointer<QTimer> vigia = prueba::AlAparecer<DialogoResumen>([&](DialogoResumen* d) {
      visto = true;
      d->reject();
    });
    c.Ejecuta();
    delete vigia.data();
    QVERIFY(!visto);
    QCOMPARE(c.estado, 1);
    QVERIFY(!c.v.isVisible());
    QCOMPARE(c.v.Label1()->text(), QString("...Importación terminada con registros rechazados"));
    QCOMPARE(c.v.Resumenes().size(), std::size_t(1));
  }

  // Several files of rejected lines: the button offers them in a menu.
  void SeveralRejectedFilesInAMenu() {
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
  }

 private:
  std::unique_ptr<CarpetaTemporal> tmp_;
};

}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::ResumenFinalPrueba)
#include "ResumenFinal_test.moc"
