// The import's own PostgreSQL backend stopped mid-run (SIGSTOP: what a
// paused machine or a dead network without a reset looks like to a client)
// on a cluster of the test's own, so nothing else shares the frozen backend:
// the run ends from the client side with status 3 and one error line, well
// within the statement wait plus its margin; every "_Ok.txt" line has its
// row, and a rerun completes the rest. Natively (libpq) and through ODBC.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "EntornoImportacion.h"
#include "support/Orden.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

using Reloj = std::chrono::steady_clock;
constexpr int kLineas = 100000;
// The waits the runs are given, and the most any of them may take once the
// server froze: the wait, the client's margin (a few seconds) and room for a
// loaded machine. A run that hangs would exceed it by far.
constexpr int kEspera = 2;
constexpr auto kLimite = std::chrono::seconds(kEspera + 15);

// A cluster started for one test in a folder of its own, in a network
// namespace of its own when `red` is given (the program then runs there
// too); whatever happens, the backends it froze are let go, the cluster is
// stopped and the namespace removed.
class ClusterPropio {
 public:
  explicit ClusterPropio(std::string red = "") : red_(std::move(red)) {
    if (!red_.empty()) {
      if (std::system(("ip netns add " + red_ + " >/dev/null 2>&1").c_str()) != 0) {
        red_.clear();
        return;
      }
      enRed_ = "ip netns exec " + red_ + " ";
      EnciendeRed(true);
    }
    // the server's user must reach the folder
    std::filesystem::permissions(tmp_.Ruta(), std::filesystem::perms::owner_all |
                                                  std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_exec);
    for (const std::string& linea :
         LineasNoVacias(SalidaDeOrden(enRed_ + Guion() + " start " + Carpeta() + " 2>&1"))) {
      if (linea.rfind("VARLODI_PG_PORT=", 0) == 0) puerto_ = linea.substr(16);
      if (linea.rfind("VARLODI_PG_ODBC=", 0) == 0) odbc_ = linea.substr(16);
      if (linea.rfind("VARLODI_PG_NATIVO=", 0) == 0) nativo_ = linea.substr(18);
    }
  }
  ~ClusterPropio() {
    for (pid_t pid : detenidos_) kill(pid, SIGCONT);
    if (!red_.empty()) EnciendeRed(true);
    (void)std::system((enRed_ + Guion() + " stop " + Carpeta() + " >/dev/null 2>&1").c_str());
    if (!red_.empty()) (void)std::system(("ip netns del " + red_ + " >/dev/null 2>&1").c_str());
  }
  // What runs a command inside the namespace ("" without one).
  const std::string& EnRed() const { return enRed_; }
  // The namespace's only network up, or down: a network that drops
  // everything without a reset, for the server as for the client.
  void EnciendeRed(bool encendida) {
    (void)std::system((enRed_ + "ip link set lo " + (encendida ? "up" : "down")).c_str());
  }
  ClusterPropio(const ClusterPropio&) = delete;
  ClusterPropio& operator=(const ClusterPropio&) = delete;

  bool Activo() const { return !puerto_.empty() && !odbc_.empty() && !nativo_.empty(); }
  // The "Conexion" string of the cluster for that path.
  const std::string& Cadena(MotorPrueba m) const {
    return m == MotorPrueba::PostgreSqlOdbc ? odbc_ : nativo_;
  }
  // psql's answer, unaligned, one row a line.
  std::string Consulta(const std::string& sql) const {
    return SalidaDeOrden(enRed_ + Psql() + " -X -q -tA -h 127.0.0.1 -p " + puerto_ +
                         " -U varlodi varlodi -c \"" + sql + "\" 2>&1");
  }
  // Freezes the client sessions besides psql's own that meet `condicion`
  // (the import may hold two: its writer and its lookups); how many.
  int Congela(const std::string& condicion = "true") {
    const std::string r = Consulta(
        "select pid from pg_stat_activity where datname = 'varlodi' and backend_type = 'client "
        "backend' and pid <> pg_backend_pid() and " +
        condicion);
    int congeladas = 0;
    for (const std::string& p : LineasNoVacias(r)) {
      if (p.find_first_not_of("0123456789") != std::string::npos) return 0;
      const pid_t pid = std::stoi(p);
      detenidos_.push_back(pid);
      if (kill(pid, SIGSTOP) == 0) ++congeladas;
    }
    return congeladas;
  }
  void Suelta() {
    for (pid_t pid : detenidos_) kill(pid, SIGCONT);
    detenidos_.clear();
  }

 private:
  static std::string Guion() { return std::string(VARLODI_SOURCE_DIR) + "/scripts/pg-cluster"; }
  std::string Carpeta() const { return tmp_.Ruta() + "/pg"; }

  CarpetaTemporal tmp_;
  std::string red_, enRed_;
  std::string puerto_, odbc_, nativo_;
  std::vector<pid_t> detenidos_;
};

struct Fin {
  int estado = -1;  // 128 + the signal when killed
  Reloj::duration tardanza{};
};

// Waits for the run, killing it once past the limit (the test then fails on
// its status, it never hangs).
Fin EsperaCorrida(pid_t pid, Reloj::time_point desde) {
  int st = 0;
  while (waitpid(pid, &st, WNOHANG) == 0) {
    if (Reloj::now() - desde > kLimite + std::chrono::seconds(30)) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st), Reloj::now() - desde};
}

class ServidorCongelado : public ::testing::TestWithParam<MotorPrueba> {
 protected:
  explicit ServidorCongelado(std::string red = "") : pg_(std::move(red)) {}

  void SetUp() override {
    ASSERT_TRUE(pg_.Activo()) << "no se pudo iniciar un servidor PostgreSQL propio";
    ASSERT_EQ(pg_.Consulta("create table turno (id int primary key, nombre varchar(20))"), "");
    std::string fuente;
    for (int i = 1; i <= kLineas; ++i) fuente += std::to_string(i) + ",T\r\n";
    EscribeBytes(tmp_.Archivo("Turno.txt"), fuente);
    EscribeBytes(tmp_.Archivo("defs.ini"), "[Base de Datos]\r\nConexion=" + pg_.Cadena(GetParam()) +
                                               "\r\nEsperaSentencia=" + std::to_string(kEspera) +
                                               "\r\nEsperaConexion=" + std::to_string(kEspera) +
                                               "\r\n" + SoloTurno(tmp_.Archivo("Turno.txt")));
    CopiaPrograma(tmp_.Ruta());
  }

  std::set<std::string> Filas() const {
    std::set<std::string> r;
    for (const std::string& l : LineasNoVacias(pg_.Consulta("select id from turno"))) r.insert(l);
    return r;
  }

  // What the frozen run left: one error line saying the server did not
  // answer, nothing rejected, and a row for every reported line.
  void CompruebaCorridaCortada(const Fin& fin) {
    EXPECT_EQ(fin.estado, 3);
    EXPECT_LT(fin.tardanza, kLimite);
    V errores;
    for (const std::string& l : LineasDe(LeeBytes(LogDeLaCorrida(tmp_.Ruta()))))
      if (l.find("] Error: ") != std::string::npos) errores.push_back(l);
    ASSERT_EQ(errores.size(), 1u);
    EXPECT_NE(errores[0].find("no respondió"), std::string::npos) << errores[0];
    EXPECT_EQ(LeeBytes(tmp_.Archivo("Log/Turno_Er.txt")), "");
    // ended by the run itself, as a lost connection ends it: the table's
    // summary is there, not only the error line of a run ended from outside
    const std::string log = LeeBytes(LogDeLaCorrida(tmp_.Ruta()));
    EXPECT_NE(log.find("Resumen Turno: "), std::string::npos) << log;
    const V reportadas = LineasDe(LeeBytes(tmp_.Archivo("Log/Turno_Ok.txt")));
    EXPECT_LT(reportadas.size(), static_cast<std::size_t>(kLineas));
    const std::set<std::string> filas = Filas();
    for (const std::string& l : reportadas) {
      if (!l.empty()) {
        EXPECT_TRUE(filas.count(l.substr(0, l.find(',')))) << l;
      }
    }
  }

  void CompruebaQueOtraCorridaCompleta() {
    // The server has not noticed yet that the cut session is gone and may
    // still hold the locks of its last batch: a real server ends it on its
    // own in time (keepalives); here it is ended at once.
    const std::string otras =
        "from pg_stat_activity where datname = 'varlodi' and backend_type = 'client backend' "
        "and pid <> pg_backend_pid()";
    pg_.Consulta("select pg_terminate_backend(pid) " + otras);
    for (int i = 0; i < 300 && pg_.Consulta("select count(*) " + otras) != "0\n"; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int st = 0;
    waitpid(Lanza(), &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << st;
    EXPECT_EQ(LineasDe(LeeBytes(tmp_.Archivo("Log/Turno_Ok.txt"))).size(),
              static_cast<std::size_t>(kLineas));
    EXPECT_EQ(Filas().size(), static_cast<std::size_t>(kLineas));
  }

  // The program's copy on the definitions file, where the cluster is.
  pid_t Lanza() const {
    const pid_t pid = fork();
    if (pid == 0) {
      const std::string orden = "cd '" + tmp_.Ruta() + "' && LC_ALL=C exec " + pg_.EnRed() +
                                "./varlodi defs.ini </dev/null >salida.txt 2>errores.txt";
      execl("/bin/sh", "sh", "-c", orden.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }

  // Waits for a batch to be reported: the run is then well under way.
  void EsperaUnLote(pid_t pid) {
    const std::string ok = tmp_.Archivo("Log/Turno_Ok.txt");
    int st = 0;
    for (std::error_code ec; !(std::filesystem::file_size(ok, ec) > 0 && !ec);) {
      ASSERT_EQ(waitpid(pid, &st, WNOHANG), 0) << "the run ended before the server froze";
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  void CongelaDuranteLaCorrida(const std::string& condicion);

  CarpetaTemporal tmp_;
  ClusterPropio pg_;
};

// Freezes the sessions that meet `condicion` once a batch was reported.
void ServidorCongelado::CongelaDuranteLaCorrida(const std::string& condicion) {
  const pid_t pid = Lanza();
  ASSERT_GT(pid, 0);
  EsperaUnLote(pid);
  const int backend = pg_.Congela(condicion);
  const Fin fin = EsperaCorrida(pid, Reloj::now());
  pg_.Suelta();
  ASSERT_NE(backend, 0) << "no session met " << condicion;
  CompruebaCorridaCortada(fin);
  CompruebaQueOtraCorridaCompleta();
}

TEST_P(ServidorCongelado, DuranteUnaSentenciaLaCorridaTerminaConEstado3) {
  CongelaDuranteLaCorrida("true");
}

// Only the session that reads the batches' lookups freezes (both paths read
// them on a session beside their writer's): that wait is bounded too.
TEST_P(ServidorCongelado, LaSesionDeLasBusquedasCongeladaTerminaConEstado3) {
  CongelaDuranteLaCorrida("application_name = 'varlodi-busquedas'");
}

// A commit held by a deferred trigger that sleeps places the freeze inside
// the commit itself: the batch is never reported, whatever the server does
// with it once it runs again.
TEST_P(ServidorCongelado, DuranteLaConfirmacionElLoteNoSeReporta) {
  ASSERT_EQ(pg_.Consulta("create function duerme() returns trigger language plpgsql as "
                         "\\$\\$ begin perform pg_sleep(2); return null; end \\$\\$; "
                         "create constraint trigger al_confirmar after insert on turno "
                         "deferrable initially deferred for each row when (new.id = 5) "
                         "execute function duerme()"),
            "");
  const pid_t pid = Lanza();
  ASSERT_GT(pid, 0);
  int backend = 0;
  const Reloj::time_point inicio = Reloj::now();
  int st = 0;
  while (backend == 0 && Reloj::now() - inicio < kLimite) {
    ASSERT_EQ(waitpid(pid, &st, WNOHANG), 0) << "the run ended before the server froze";
    backend = pg_.Congela("wait_event = 'PgSleep' and upper(query) like 'COMMIT%'");
  }
  const Fin fin = EsperaCorrida(pid, Reloj::now());
  pg_.Suelta();
  ASSERT_NE(backend, 0) << "the commit was never seen waiting";
  CompruebaCorridaCortada(fin);
  // the first batch holds line 5: nothing was reported
  EXPECT_EQ(LeeBytes(tmp_.Archivo("Log/Turno_Ok.txt")), "");
  CompruebaQueOtraCorridaCompleta();
}

// The network drops everything, both ways, without a reset (the namespace's
// loopback taken down under the server and the program alike): the cancel
// cannot even reach the server, and the run still ends as a lost connection.
class RedMuerta : public ServidorCongelado {
 protected:
  RedMuerta() : ServidorCongelado("varlodi-vigia-" + std::to_string(getpid())) {}
};

TEST_P(RedMuerta, LaCorridaTerminaConEstado3) {
  ASSERT_FALSE(pg_.EnRed().empty()) << "no network namespace (ip netns needs root)";
  const pid_t pid = Lanza();
  ASSERT_GT(pid, 0);
  EsperaUnLote(pid);
  pg_.EnciendeRed(false);
  const Fin fin = EsperaCorrida(pid, Reloj::now());
  pg_.EnciendeRed(true);
  CompruebaCorridaCortada(fin);
  CompruebaQueOtraCorridaCompleta();
}

// The two client paths to PostgreSQL: libpq's and psqlODBC's.
const auto kAccesos = ::testing::Values(MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc);
INSTANTIATE_TEST_SUITE_P(Accesos, ServidorCongelado, kAccesos, NombreMotor);
INSTANTIATE_TEST_SUITE_P(Accesos, RedMuerta, kAccesos, NombreMotor);

}  // namespace
}  // namespace varlo::prueba
