// The connection dialog: Aceptar only on a string that opens, Cancelar gives
// nothing; the PostgreSQL tab writes the native provider's string, filled in
// from the test server's settings and read back by the database layer.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

#include "AyudaGui.h"
#include "DialogoConexion.h"
#include "VentanaPrincipal.h"
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

  // The PostgreSQL tab: what it lacks is said without trying; filled in from
  // the test server's settings, it writes the native provider's string,
  // which comes back as a seed into the same tab and fields.
  void PostgreSqlTabWritesTheNativeString() {
    const char* servidor = std::getenv("VARLODI_PG_ODBC");
    QVERIFY2(servidor && *servidor, "VARLODI_PG_ODBC no está definida (scripts/pg-cluster)");
    std::map<std::string, std::string> campos;
    for (const auto& [clave, valor] : db::LeePares(servidor)) campos[clave] = valor;
    // a password that needs quoting
    const std::string clave = " x;y ";

    VentanaPrincipal v;
    std::vector<std::string> probadas;
    auto probar = [&](const std::string& c) {
      probadas.push_back(c);
      return c.find("Initial Catalog=no_existe") != std::string::npos ? std::string("no existe")
                                                                      : std::string();
    };
    prueba::AlAparecer<DialogoConexion>([&](DialogoConexion* d) {
      Pestana(d, "tabPostgreSql");
      Escribe(d, "txtPgServidor", QString::fromStdString(campos["Server"]));
      Escribe(d, "txtPgUsuario", QString::fromStdString(campos["Uid"]));
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: Falta la base de datos."));
      Escribe(d, "txtPgPuerto", QString::fromStdString(campos["Port"]));
      Escribe(d, "txtPgBaseDatos", "no_existe");
      Escribe(d, "txtPgClave", QString::fromStdString(clave));
      Pulsa(d, QDialogButtonBox::Ok);
      QVERIFY(d->isVisible());
      QCOMPARE(Resultado(d), QString("La prueba de conexión falló: no existe"));
      Escribe(d, "txtPgBaseDatos", QString::fromStdString(campos["Database"]));
      Pulsa(d, QDialogButtonBox::Ok);
    });
    const auto cadena = v.ComponeConexion(kSemilla, probar);
    QCOMPARE(probadas.size(), std::size_t(2));
    QVERIFY(cadena.has_value());
    QCOMPARE(*cadena, "Provider=PostgreSQL;Data Source=" + campos["Server"] +
                          ";Port=" + campos["Port"] + ";Initial Catalog=" + campos["Database"] +
                          ";User ID=" + campos["Uid"] + ";Password=\"" + clave + "\"");
    QCOMPARE(probadas.back(), *cadena);
    std::map<std::string, std::string> leidos;
    for (const auto& [k, valor] : db::LeePares(*cadena)) leidos[k] = valor;
    QCOMPARE(leidos["Password"], clave);
    // and the native backend opens it (the test cluster trusts its user)
    auto cn = db::Conexion::Abre(*cadena);
    QCOMPARE(cn->State(), 1);
    cn->Close();

    // The string comes back as a seed: the same tab, the same fields.
    prueba::AlAparecer<DialogoConexion>([&](DialogoConexion* d) {
      QCOMPARE(d->findChild<QTabWidget*>("tabClase")->currentWidget()->objectName(),
               QString("tabPostgreSql"));
      QCOMPARE(d->findChild<QLineEdit*>("txtPgBaseDatos")->text().toStdString(),
               campos["Database"]);
      QCOMPARE(d->findChild<QLineEdit*>("txtPgClave")->text().toStdString(), clave);
      Pulsa(d, QDialogButtonBox::Ok);
    });
    QCOMPARE(v.ComponeConexion(*cadena, probar), cadena);
  }

  // An older psqlODBC string (the test server's own) opens the PostgreSQL
  // tab with its fields, and is written anew in the native form.
  void PsqlOdbcSeedIsWrittenAnew() {
    const char* servidor = std::getenv("VARLODI_PG_ODBC");
    QVERIFY2(servidor && *servidor, "VARLODI_PG_ODBC no está definida (scripts/pg-cluster)");
    std::map<std::string, std::string> campos;
    for (const auto& [clave, valor] : db::LeePares(servidor)) campos[clave] = valor;
    VentanaPrincipal v;
    prueba::AlAparecer<DialogoConexion>([&](DialogoConexion* d) {
      QCOMPARE(d->findChild<QTabWidget*>("tabClase")->currentWidget()->objectName(),
               QString("tabPostgreSql"));
      QCOMPARE(d->findChild<QLineEdit*>("txtPgPuerto")->text().toStdString(), campos["Port"]);
      Pulsa(d, QDialogButtonBox::Ok);
    });
    const auto cadena = v.ComponeConexion(servidor, [](const std::string&) { return ""; });
    QCOMPARE(cadena, std::optional<std::string>(
                         "Provider=PostgreSQL;Data Source=" + campos["Server"] +
                         ";Port=" + campos["Port"] + ";Initial Catalog=" + campos["Database"] +
                         ";User ID=" + campos["Uid"] + ";Password=" + campos["Pwd"]));
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
