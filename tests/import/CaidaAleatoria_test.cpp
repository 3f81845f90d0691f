// The console program killed (SIGKILL) at random moments of an import, at
// several batch sizes: every "_Ok.txt" line has its row, and a rerun
// leaves the database an uninterrupted run leaves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "EntornoImportacion.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

constexpr int kIntentos = 20;
constexpr const char* kCreaCaida =
    "CREATE TABLE Caida (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(12), Monto INT)";

// Repeated keys (later lines change earlier rows, near and far back) and
// rejected values; no rule that depends on what the table held before, so
// that importing the file twice leaves what importing it once does. Long
// enough for a batch of several parts, whose rows are written while the
// next part is processed.
std::string Fuente(std::mt19937& azar) {
  auto entre = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(azar); };
  std::string s;
  for (int i = 1; i <= 2600; ++i) {
    int id = i;
    if (i % 10 == 0) id = i - entre(1, 9);
    if (i % 97 == 0 && i > 2000) id = i - 2000;
    s += std::to_string(id) + ",N" + std::to_string(entre(0, 999)) + "," +
         (entre(0, 9) == 0 ? std::string("abc") : std::to_string(entre(0, 5000))) + "\r\n";
  }
  return s;
}

// A fresh database of the engine, its table created; its "Conexion" string.
struct Base {
  std::unique_ptr<BaseDatosPrueba> pg;
  std::string cadena;
  std::unique_ptr<db::Conexion> cn;

  Base(MotorPrueba motor, const std::string& carpeta) : cadena(BaseDe(motor, carpeta, pg)) {
    cn = db::Conexion::Abre(cadena);
    cn->Execute(kCreaCaida);
  }
  Filas Lee() { return LeeFilas(*cn, "Caida", {"ID", "Nombre", "Monto"}); }
};

// Every whole line of "_Ok.txt" (`ok`) has its row. A kill can only stop
// the system's own write short: a last line without its CR LF is no line.
template <class B>
void TieneSuFila(B& base, const std::string& ok) {
  std::set<std::string> ids;
  for (const V& fila : base.Lee()) ids.insert(fila[0]);
  for (const std::string& l : LineasDe(ok.substr(0, ok.rfind("\r\n") + 2))) {
    if (l.empty()) continue;
    EXPECT_TRUE(ids.count(l.substr(0, l.find(',')))) << "reported without its row: " << l;
  }
}

void Prepara(const std::string& carpeta, const std::string& cadena, const std::string& fuente) {
  EscribeBytes(carpeta + "/Caida.txt", fuente);
  EscribeBytes(carpeta + "/defs.ini",
               "[Base de Datos]\r\nConexion=" + cadena + "\r\n" + ListaTablas({"Caida"}) +
                   SeccionComas("Caida", "Caida.txt", "ID", {"ID", "Nombre", "Monto"}));
  CopiaPrograma(carpeta);
}

// Trials [desde, hasta), on a file of their own seed; each half is a test of
// its own, to keep each short.
void Intentos(MotorPrueba motor, int desde, int hasta) {
  const unsigned semilla = 20261207u + static_cast<unsigned>(motor) * 100u + desde;
  SCOPED_TRACE("semilla " + std::to_string(semilla));
  std::mt19937 azar(semilla);
  const std::string fuente = Fuente(azar);

  // The uninterrupted run: the database every rerun must end with, and how
  // long a run lasts here, to spread the kills over it.
  CarpetaTemporal referencia;
  Base completa(motor, referencia.Ruta());
  Prepara(referencia.Ruta(), completa.cadena, fuente);
  long duracion = 0;
  ASSERT_EQ(CorreCopiaMidiendo(referencia.Ruta(), duracion), 1);
  const Filas esperadas = completa.Lee();
  ASSERT_GT(esperadas.size(), 2000u);

  // Each trial on the same folder and database, emptied.
  CarpetaTemporal tmp;
  Base base(motor, tmp.Ruta());
  Prepara(tmp.Ruta(), base.cadena, fuente);
  const char* lotes[] = {"--lote 7", "--lote 300", "--lote 1500", ""};
  for (int intento = desde; intento < hasta; ++intento) {
    const std::string lote = lotes[intento % 4];
    const long espera = std::uniform_int_distribution<long>(0, duracion)(azar);
    SCOPED_TRACE("intento " + std::to_string(intento) + " " + lote + ", muerto a los " +
                 std::to_string(espera) + " us");
    base.cn->Execute("DELETE FROM Caida");
    std::filesystem::remove_all(tmp.Archivo("Log"));

    const pid_t pid = LanzaCopia(tmp.Ruta(), "defs.ini", lote);
    ASSERT_GT(pid, 0);
    // Half the kills fall anywhere, start-up included; the others once the
    // first batch was reported, among the records.
    const std::string ok = tmp.Archivo("Log/Caida_Ok.txt");
    bool terminado = false;
    int estado = 0;
    if (intento % 2) {
      std::error_code ec;
      while (!terminado && !(std::filesystem::file_size(ok, ec) > 0 && !ec)) {
        terminado = waitpid(pid, &estado, WNOHANG) == pid;
        usleep(500);
      }
    }
    if (!terminado) {
      usleep(static_cast<useconds_t>(intento % 2 ? espera / 3 : espera));
      kill(pid, SIGKILL);
      waitpid(pid, &estado, 0);
    }

    TieneSuFila(base, std::filesystem::exists(ok) ? LeeBytes(ok) : "");

    // the rerun at the default size: what the batches commit is the same
    EXPECT_EQ(CorreCopia(tmp.Ruta()), 1);
    EXPECT_EQ(base.Lee(), esperadas);
  }
}

// Killed as it writes a batch's lines to "_Ok.txt" (strace stops it at the
// system's n-th write to that file): what the file holds is whole lines,
// each with its row. Lines cut where the C library's buffer ends would
// leave "12" of "1234,...", which reads as row 12 reported.
TEST(CaidaAlEscribir, ElOkTieneLineasEnterasConSuFila) {
  std::mt19937 azar(20261209u);
  const std::string fuente = Fuente(azar);
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE("muerto en la escritura " + std::to_string(n));
    CarpetaTemporal tmp;
    Base base(MotorPrueba::SQLite, tmp.Ruta());
    Prepara(tmp.Ruta(), base.cadena, fuente);
    const std::string ok =
        std::filesystem::weakly_canonical(tmp.Archivo("Log/Caida_Ok.txt")).string();
    const std::string strace = "strace -f -qq -o /dev/null -e trace=write -P '" + ok +
                               "' -e inject=write:signal=KILL:when=" + std::to_string(n);
    ASSERT_EQ(CorreCopia(tmp.Ruta(), "defs.ini", "--lote 1000", strace), 128 + SIGKILL)
        << "strace (Debian package strace) runs the program: "
        << LeeBytes(tmp.Archivo("errores.txt"));
    const std::string escrito = LeeBytes(ok);
    if (n == 1) {
      EXPECT_EQ(escrito, "");
      continue;
    }
    ASSERT_GT(escrito.size(), 20u);  // the batches before the kill
    EXPECT_TRUE(escrito.ends_with("\r\n")) << escrito.substr(escrito.size() - 20);
    TieneSuFila(base, escrito);
  }
}

class CaidaAleatoriaEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(CaidaAleatoriaEn, LoReportadoTieneSuFilaYOtraCorridaCompletaElResto) {
  Intentos(GetParam(), 0, kIntentos / 2);
}

TEST_P(CaidaAleatoriaEn, OtraSemillaOtrosMomentos) {
  Intentos(GetParam(), kIntentos / 2, kIntentos);
}

INSTANTIATE_TEST_SUITE_P(Motores, CaidaAleatoriaEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
