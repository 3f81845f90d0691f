// Takes the screenshots of docs/screenshots under an X server (scripts/
// screenshots starts Xvfb): the main window halfway through a real import
// into a fresh SQLite database, folded and with "Detalles" unfolded, the
// summary at its end, the connection dialog on its PostgreSQL tab, and the
// table picker with two tables ticked.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "AyudaGui.h"
#include "CorridaVentana.h"
#include "DialogoConexion.h"
#include "DialogoResumen.h"
#include "DialogoSelTablas.h"
#include "PanelDetalles.h"
#include "VentanaPrincipal.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "definitions/frmSelTablas.h"

namespace {

using namespace varlo;

std::string carpetaSalida;

// Lets the X server map and draw what was just shown.
void Espera(int ms) {
  QEventLoop bucle;
  QTimer::singleShot(ms, &bucle, &QEventLoop::quit);
  bucle.exec();
}

// What the X server shows around the given top-level windows.
void Captura(const std::vector<QWidget*>& ventanas, const std::string& nombre) {
  QCoreApplication::processEvents();
  QRect zona;
  for (QWidget* w : ventanas) zona = zona.united(w->frameGeometry());
  zona.adjust(-12, -12, 12, 12);
  QPixmap imagen = QGuiApplication::primaryScreen()->grabWindow(0, zona.x(), zona.y(), zona.width(),
                                                                zona.height());
  const std::string ruta = carpetaSalida + "/" + nombre;
  if (!imagen.save(QString::fromStdString(ruta), "PNG")) {
    std::cerr << "no se pudo guardar " << ruta << "\n";
    std::exit(1);
  }
  std::cout << ruta << "\n";
}

std::string BaseDeEjemplo(const std::string& carpeta) {
  const std::string ruta = carpeta + "/varlo.db";
  { std::ofstream vacio(ruta, std::ios::binary); }
  const std::string cadena = "Provider=SQLite;Data Source=" + ruta;
  std::ifstream esquema(std::string(VARLODI_SOURCE_DIR) + "/examples/schema/sqlite.sql");
  std::string texto;
  for (std::string l; std::getline(esquema, l);)
    if (Recorta(l).rfind("--", 0) != 0) texto += l + "\n";
  auto cn = db::Conexion::Abre(cadena);
  for (const std::string& s : Divide(texto, ";"))
    if (s.find_first_not_of(" \t\r\n") != std::string::npos) cn->Execute(s);
  cn->Close();
  return cadena;
}

// The window of a real run, photographed once the bar passes the middle of
// the last table: as it is, then with "Detalles" unfolded.
class VentanaFotografiada : public gui::VentanaPrincipal {
 public:
  bool hecha = false;
  void ProcesaEventos() override {
    VentanaPrincipal::ProcesaEventos();
    if (!hecha && Estado().find("(Empleado)") != std::string::npos && Maximo() > 10 &&
        Valor() >= Maximo() / 2) {
      hecha = true;
      // The last counter is painted when its 50 ms are over.
      Espera(300);
      Captura({this}, "ventana-importando.png");
      MuestraDetalles(true);
      Espera(300);
      Captura({this}, "ventana-detalles.png");
      MuestraDetalles(false);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  gui::VentanaPrincipal::InstalaTraduccionesQt();
  if (argc < 2) {
    std::cerr << "uso: " << argv[0] << " CARPETA_SALIDA\n";
    return 2;
  }
  carpetaSalida = argv[1];
  QDir().mkpath(QString::fromStdString(carpetaSalida));
  const std::string tmp = QDir::tempPath().toStdString() + "/varlodi-capturas-" +
                          std::to_string(QCoreApplication::applicationPid());
  std::filesystem::create_directories(tmp);
  EstableceCarpetaPrograma(tmp);
  const std::string cadena = BaseDeEjemplo(tmp);

  // A run: a few organisational units; a table the database does not have;
  // 400 employees, TAB-separated, two keys too long for their column.
  {
    std::ofstream origen(tmp + "/Jerarquias.txt", std::ios::binary);
    origen << "EMPRESA\t\r\n";
    for (const char* unidad : {"NORTE", "SUR", "CENTRO"}) {
      origen << unidad << "\tEMPRESA\r\n";
      for (int i = 1; i <= 4; ++i) origen << unidad << "-" << i << "\t" << unidad << "\r\n";
    }
  }
  {
    std::ofstream origen(tmp + "/Empleado.txt", std::ios::binary);
    for (int i = 1; i <= 400; ++i) {
      origen << "E" << (10000 + i);
      if (i % 150 == 0) origen << "-SIN-ESPACIO-EN-LA-CLAVE";
      origen << "\tEmpleado número " << i << "\r\n";
    }
  }
  const std::string defs = tmp + "/defs.ini";
  {
    std::ofstream f(defs, std::ios::binary);
    f << "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" << cadena
      << "\r\n[Tablas]\r\nTotal=3\r\nTabla1=Jerarquias\r\nTabla2=Calendario\r\n"
         "Tabla3=Empleado\r\n[Jerarquias]\r\nFormato=2\r\nOrigen="
      << tmp
      << "/Jerarquias.txt\r\nNombreIndice=Key\r\nColumnas=2\r\nCampoColumna1=Key\r\n"
         "CampoColumna2=Parent\r\n[Empleado]\r\nFormato=2\r\nOrigen="
      << tmp
      << "/Empleado.txt\r\nNombreIndice=ID_Empleado\r\nColumnas=2\r\nCampoColumna1=ID_Empleado\r\n"
         "CampoColumna2=Nombre\r\n";
  }
  VentanaFotografiada ventana;
  ventana.move(40, 40);
  frmMain f(ventana, defs);
  f.EstableceAvisoError([&ventana](const std::string& linea) { ventana.MuestraError(linea); });
  gui::CorridaVentana corrida(ventana, f, [](int) { QCoreApplication::exit(0); });
  ventana.EstableceFinCorrida([&corrida] {
    return gui::FinCorrida{corrida.EstadoSalida(), corrida.MensajeError()};
  });
  // The summary as a person who started the run finds it.
  ventana.EstablecePersonaPresente(true);
  bool resumenHecho = false;
  gui::prueba::AlAparecer<gui::DialogoResumen>([&](gui::DialogoResumen* d) {
    // Below the main window, whose status tells how the run ended.
    d->move(ventana.x(), ventana.frameGeometry().bottom() + 16);
    Espera(300);
    Captura({&ventana, d}, "resumen-final.png");
    resumenHecho = true;
    d->cmdCerrar()->click();
  });
  f.Form_Load();
  ventana.show();
  app.exec();
  if (!ventana.hecha || !resumenHecho) {
    std::cerr << "la corrida terminó sin llegar a la mitad de la barra o sin resumen\n";
    return 1;
  }

  // The connection dialog on its PostgreSQL tab, after a successful test.
  {
    gui::VentanaPrincipal principal;
    principal.move(40, 40);
    principal.show();
    gui::prueba::AlAparecer<gui::DialogoConexion>([&principal](gui::DialogoConexion* d) {
      d->findChild<QTabWidget*>("tabClase")
          ->setCurrentWidget(d->findChild<QWidget*>("tabPostgreSql"));
      const std::pair<const char*, const char*> campos[] = {
          {"txtPgServidor", "bd.empresa.local"},
          {"txtPgBaseDatos", "varlo"},
          {"txtPgUsuario", "varlodi"},
          {"txtPgClave", "secreto"},
      };
      for (const auto& [nombre, valor] : campos) d->findChild<QLineEdit*>(nombre)->setText(valor);
      d->Prueba();
      Espera(300);
      Captura({&principal, d}, "conexion-postgresql.png");
      d->findChild<QDialogButtonBox*>("botones")->button(QDialogButtonBox::Cancel)->click();
    });
    principal.ComponeConexion("User ID=;Initial Catalog=;Data Source=;Aplication Name=",
                              [](const std::string&) { return std::string(); });
  }

  // The picker over the main window, as the generator shows it.
  gui::VentanaPrincipal principal;
  principal.move(40, 40);
  principal.show();
  frmMain g(principal, "");
  g.EstableceConexion(db::Conexion::Abre(cadena));
  gui::prueba::AlAparecer<gui::DialogoSelTablas>([&principal](gui::DialogoSelTablas* d) {
    d->tvTabla()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    d->tvTabla()->topLevelItem(2)->setCheckState(0, Qt::Checked);
    d->tvTabla()->setCurrentItem(d->tvTabla()->topLevelItem(2));
    Espera(300);
    Captura({&principal, d}, "seleccion-tablas.png");
    d->cmdCerrar()->click();
  });
  frmSelTablas selector;
  const std::string elegidas = selector.Tablas(g);
  std::cout << "tablas elegidas: " << elegidas << "\n";
  std::filesystem::remove_all(tmp);
  return 0;
}
