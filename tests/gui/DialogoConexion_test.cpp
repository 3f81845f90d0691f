// The connection dialog: Aceptar only on a string that opens, Cancelar gives
// nothing; the PostgreSQL tab and its psqlODBC string, checked against the
// test server.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <map>

#include "AyudaGui.h"
#include "DialogoConexion.h"
#include "VentanaPrincipal.h"
#include "common/ErrorVarlo.h"
#include "db/CadenaConexion.h"
#include "db/Conexion.h"

namespace varlo::gui {
namespace {

const std::string kSemilla = "User ID=;Initial Catalog=;Data Source=;Aplication Name=";

void Escribe(QDialog* d, const char* campo, const QString& texto) {
  auto* c = d->findChild<QLineEdit*>(campo);
  c->clear();
  QTest::keyClicks(c, texto);
}

void Pulsa(QDialog* d, QDialogButtonBox::StandardButton b) {
  QTest::mouseClick(d->findChild<QDialogButtonBox*>("botones")->button(b), Qt::LeftButton);
}

void Pestana(QDialog* d, const char* nombre) {
  d->findChild<QTabWidget*>("tabClase")->setCurrentWidget(d->findChild<QWidget*>(nombre));
}

QString Resultado(QDialog* d) {
  return d->findChild<QLabel*>("lblResultado")->text();
}

// What the generator does with a candidate: open it and close it.
std::string AbreYCierra(const std::string& cadena) {
  try {
    auto cn = db::Conexion::Abre(cadena);
    if (!cn || cn->State() != 1) return "no abre";
    cn->Close();
    return "";
  } catch (...) {
    return TextoError(ErrorCapturado());
  }
}
}  // namespace

class DialogoConexionPrueba : public QObject {
  Q_OBJECT
 private slots:
  void AceptarNeedsAConnectionThatOpensAndCancelarGivesNothing() {
    VentanaPrincipal v;
    int pruebas = 0;  // connection attempts
    auto probar = [&](const std::string& c) {
      ++pruebas;
      return c.find("bien") != std::string::npos ? std::string() : std::string("no abre");
    };
    prueba::AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      Pestana(d, "tabOdbc");
      Escribe(d, "txtCadenaOdbc", "DSN=mal");
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: no abre"));
      Escribe(d, "txtCadenaOdbc", "DSN=bien");
      Pulsa(d, QDialogButtonBox::Ok);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::optional<std::string>("DSN=bien"));
    QCOMPARE(pruebas, 2);

    prueba::AlAparecer<DialogoConexion>([](DialogoConexion* d) {
      Pestana(d, "tabSQLite");
      Escribe(d, "txtArchivo", "/bien.db");
      Pulsa(d, QDialogButtonBox::Cancel);
    });
    QCOMPARE(v.ComponeConexion(kSemilla, probar), std::nullopt);
    QCOMPARE(pruebas, 2);
  }

  void PostgreSqlString() {
    DatosPostgreSql d;
    d.servidor = " db.local ";
    d.baseDatos = "rh";
    d.usuario = "ana";
    d.clave = "x;y}z";
    QCOMPARE(DialogoConexion::CadenaPostgreSql(d),
             std::string("Driver={PostgreSQL Unicode};Server=db.local;Port=5432;Database=rh;"
                         "Uid=ana;Pwd={x;y}}z};"));

    // A seed's driver, port and other keys are kept; its values read back whole.
    const std::string semilla =
        "Driver={PostgreSQL ANSI};Server=10.0.0.7;Port=5433;Database=rh;Uid=ana;"
        "Pwd={x;y}}z};SSLmode=require;";
    const auto leidos = DialogoConexion::LeePostgreSql(semilla);
    QVERIFY(leidos.has_value());
    QCOMPARE(leidos->clave, std::string("x;y}z"));
    QCOMPARE(leidos->otros.size(), std::size_t(1));
    QCOMPARE(DialogoConexion::CadenaPostgreSql(*leidos), semilla);
    QVERIFY(!DialogoConexion::LeePostgreSql("Driver={FreeTDS};Server=s;").has_value());
    QVERIFY(!DialogoConexion::LeePostgreSql(kSemilla).has_value());
  }

  // The PostgreSQL tab: what it lacks is said without trying; filled in from
  // the test server's settings, its string opens.
  void PostgreSqlTabOpensTheTestServer() {
    const char* servidor = std::getenv("VARLODI_PG_ODBC");
    QVERIFY2(servidor && *servidor, "VARLODI_PG_ODBC no está definida (scripts/pg-cluster)");
    std::map<std::string, std::string> campos;
    for (const auto& [clave, valor] : db::LeePares(servidor)) campos[clave] = valor;

    VentanaPrincipal v;
    int pruebas = 0;
    auto probar = [&](const std::string& c) {
      ++pruebas;
      return AbreYCierra(c);
    };
    prueba::AlAparecer<DialogoConexion>([&campos](DialogoConexion* d) {
      Pestana(d, "tabPostgreSql");
      Escribe(d, "txtPgServidor", QString::fromStdString(campos["Server"]));
      Escribe(d, "txtPgUsuario", QString::fromStdString(campos["Uid"]));
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: Falta la base de datos."));
      Escribe(d, "txtPgPuerto", QString::fromStdString(campos["Port"]));
      Escribe(d, "txtPgBaseDatos", "no_existe_esta_base");
      Escribe(d, "txtPgClave", QString::fromStdString(campos["Pwd"]));
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QVERIFY(Resultado(d).startsWith("La prueba de conexión falló: "));
      Escribe(d, "txtPgBaseDatos", QString::fromStdString(campos["Database"]));
      Pulsa(d, QDialogButtonBox::Ok);
    });
    const auto cadena = v.ComponeConexion(kSemilla, probar);
    QCOMPARE(pruebas, 2);
    QVERIFY(cadena.has_value());
    QVERIFY(cadena->rfind("Driver={PostgreSQL Unicode};Server=", 0) == 0);
    QCOMPARE(AbreYCierra(*cadena), std::string());

    // The string comes back as a seed: the same tab, the same fields.
    prueba::AlAparecer<DialogoConexion>([&campos](DialogoConexion* d) {
      QCOMPARE(d->findChild<QTabWidget*>("tabClase")->currentWidget()->objectName(),
               QString("tabPostgreSql"));
      QCOMPARE(d->findChild<QLineEdit*>("txtPgBaseDatos")->text().toStdString(),
               campos["Database"]);
      Pulsa(d, QDialogButtonBox::Cancel);
    });
    QCOMPARE(v.ComponeConexion(*cadena, probar), std::nullopt);
  }

  // Windows integrated security is offered on Windows only, or to a seed
  // that already uses it.
  void IntegratedSecurityOnlyWhereItMeansSomething() {
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
  }
};
}  // namespace varlo::gui
QTEST_MAIN(varlo::gui::DialogoConexionPrueba)
#include "DialogoConexion_test.moc"
