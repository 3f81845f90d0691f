// Three runs of their own program folders import overlapping keys, each in
// its own order, into one database at the same time. The writers wait for
// each other, an insert that loses the race becomes an update, and on
// PostgreSQL the server picks deadlock victims: a victim's work is done again
// so that it cannot deadlock anew. Every run ends well, every line is
// reported as imported, and each key holds the name of the run whose write
// to it committed last.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "EntornoImportacion.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

constexpr int kLineas = 6000;

class CorridasSimultaneasEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(CorridasSimultaneasEn, NingunaLineaValidaSeRechaza) {
  CarpetaTemporal tmp;
  std::unique_ptr<BaseDatosPrueba> pg;
  const std::string cadena = BaseDe(GetParam(), tmp.Ruta(), pg);
  auto cn = db::Conexion::Abre(cadena);
  cn->Execute(kCreaTurno);
  // Every committed write to Turno, numbered in the order it was made.
  if (GetParam() == MotorPrueba::SQLite) {
    cn->Execute("CREATE TABLE Historia (N INTEGER PRIMARY KEY, ID INT, Nombre VARCHAR(20))");
    for (const char* cuando : {"INSERT", "UPDATE"})
      cn->Execute(std::string("CREATE TRIGGER anota_") + cuando + " AFTER " + cuando +
                  " ON Turno BEGIN INSERT INTO Historia (ID, Nombre) VALUES (NEW.ID, NEW.Nombre);"
                  " END");
  } else {
    cn->Execute("CREATE TABLE Historia (N BIGSERIAL PRIMARY KEY, ID INT, Nombre VARCHAR(20))");
    cn->Execute(
        "CREATE FUNCTION anota() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "INSERT INTO Historia (ID, Nombre) VALUES (NEW.ID, NEW.Nombre); RETURN NULL; END $$");
    cn->Execute(
        "CREATE TRIGGER anota AFTER INSERT OR UPDATE ON Turno FOR EACH ROW EXECUTE FUNCTION "
        "anota()");
  }
  cn->Execute(
      "CREATE VIEW Ultima AS SELECT h.ID, h.Nombre FROM Historia h"
      " JOIN (SELECT MAX(N) AS N FROM Historia GROUP BY ID) m ON h.N = m.N");

  std::vector<int> claves(kLineas);
  for (int i = 0; i < kLineas; ++i) claves[i] = i + 1;
  const std::vector<std::string> nombres{"a", "b", "c"};
  for (const std::string& nombre : nombres) {
    // ascending, descending, shuffled
    if (nombre == "b") std::reverse(claves.begin(), claves.end());
    if (nombre == "c") std::shuffle(claves.begin(), claves.end(), std::mt19937(7));
    const std::string carpeta = tmp.Archivo(nombre);
    std::filesystem::create_directory(carpeta);
    std::string fuente;
    for (int k : claves) fuente += std::to_string(k) + "," + nombre + "\r\n";
    EscribeBytes(carpeta + "/Turno.txt", fuente);
    EscribeBytes(carpeta + "/defs.ini", "[Base de Datos]\r\nConexion=" + cadena + "\r\n" +
                                            SoloTurno(carpeta + "/Turno.txt"));
    CopiaPrograma(carpeta);
  }
  std::vector<pid_t> corridas;
  for (const std::string& nombre : nombres) corridas.push_back(LanzaCopia(tmp.Archivo(nombre)));
  std::vector<int> estados;
  for (pid_t pid : corridas) {
    int st = 0;
    waitpid(pid, &st, 0);
    estados.push_back(WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st));
  }

  // What each key holds, and which run wrote it last as the server ordered
  // the commits (a writer of a row waits for the one before it to end, so
  // per key the order of the history's numbers is the order of the commits).
  std::map<std::string, std::string> filas, ultimas;
  std::map<std::string, std::multiset<std::string>> escritores;
  for (const V& f : LeeFilas(*cn, "Turno", {"ID", "Nombre"})) filas[f[0]] = f[1];
  for (const V& f : LeeFilas(*cn, "Ultima", {"ID", "Nombre"})) ultimas[f[0]] = f[1];
  for (const V& f : LeeFilas(*cn, "Historia", {"ID", "Nombre"})) escritores[f[0]].insert(f[1]);

  for (std::size_t i = 0; i < nombres.size(); ++i) {
    const std::string carpeta = tmp.Archivo(nombres[i]);
    SCOPED_TRACE(nombres[i] + ": " + LeeBytes(carpeta + "/errores.txt"));
    EXPECT_EQ(estados[i], 0);
    EXPECT_EQ(LeeBytes(carpeta + "/Log/Turno_Er.txt"), "");
    // every line of the source reported once
    V reportadas = LineasDe(LeeBytes(carpeta + "/Log/Turno_Ok.txt"));
    V fuente = LineasDe(LeeBytes(carpeta + "/Turno.txt"));
    std::sort(reportadas.begin(), reportadas.end());
    std::sort(fuente.begin(), fuente.end());
    EXPECT_EQ(reportadas, fuente);
  }
  EXPECT_EQ(filas.size(), static_cast<std::size_t>(kLineas));
  EXPECT_EQ(filas, ultimas);
  // each run's write to each key committed exactly once
  const std::multiset<std::string> cadaCorrida(nombres.begin(), nombres.end());
  std::size_t completas = 0;
  for (const auto& [id, quienes] : escritores) completas += quienes == cadaCorrida;
  EXPECT_EQ(escritores.size(), static_cast<std::size_t>(kLineas));
  EXPECT_EQ(completas, static_cast<std::size_t>(kLineas));
}

INSTANTIATE_TEST_SUITE_P(Motores, CorridasSimultaneasEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
