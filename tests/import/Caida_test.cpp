// The console program killed in the middle of a table: every line it had
// reported in "_Ok.txt" has its row, and a second run completes the rest.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "EntornoImportacion.h"
#include "support/CorridaEnCurso.h"

namespace varlo::prueba {
namespace {

constexpr int kLineas = 60000;

TEST(CaidaDelPrograma, LasLineasReportadasTienenSuFilaYOtraCorridaCompletaElResto) {
  CarpetaTemporal tmp;
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto cn = db::Conexion::Abre(cadena);
  cn->Execute(kCreaTurno);
  std::string fuente;
  for (int i = 1; i <= kLineas; ++i) fuente += std::to_string(i) + ",T\r\n";
  EscribeBytes(tmp.Archivo("Turno.txt"), fuente);
  EscribeBytes(tmp.Archivo("defs.ini"),
               "[Base de Datos]\r\nConexion=" + cadena + "\r\n" + SoloTurno("Turno.txt"));
  CopiaPrograma(tmp.Ruta());
  const std::string ok = tmp.Archivo("Log/Turno_Ok.txt");

  // Killed once it has reported its first batch, well before the end.
  const pid_t pid = LanzaHastaQueEscriba(tmp.Ruta(), ok);
  ASSERT_GT(pid, 0) << "the program ended before it could be killed";
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);

  const V reportadas = LineasDe(LeeBytes(ok));
  auto ids = [&cn] {
    std::set<std::string> r;
    for (const V& fila : LeeFilas(*cn, "Turno", {"ID"})) r.insert(fila[0]);
    return r;
  };
  std::set<std::string> filas = ids();
  ASSERT_LT(filas.size(), static_cast<std::size_t>(kLineas));
  for (const std::string& l : reportadas) {
    if (l.empty()) continue;
    EXPECT_TRUE(filas.count(l.substr(0, l.find(',')))) << l;
  }

  EXPECT_EQ(CorreCopia(tmp.Ruta()), 0);
  EXPECT_EQ(LineasDe(LeeBytes(ok)).size(), static_cast<std::size_t>(kLineas));
  EXPECT_EQ(ids().size(), static_cast<std::size_t>(kLineas));
}

// Three runs of their own program folders import the same file into one
// database at the same time: the writers wait for each other, an insert that
// loses the race becomes an update, and no valid line is rejected.
TEST(CorridasSimultaneas, TresCorridasDelMismoArchivoNoRechazanNada) {
  CarpetaTemporal tmp;
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto cn = db::Conexion::Abre(cadena);
  cn->Execute(kCreaTurno);
  constexpr int kComunes = 3000;
  std::string fuente;
  for (int i = 1; i <= kComunes; ++i) fuente += std::to_string(i) + ",T\r\n";
  EscribeBytes(tmp.Archivo("Turno.txt"), fuente);
  std::vector<pid_t> corridas;
  for (const char* nombre : {"a", "b", "c"}) {
    const std::string carpeta = tmp.Archivo(nombre);
    std::filesystem::create_directory(carpeta);
    EscribeBytes(carpeta + "/defs.ini", "[Base de Datos]\r\nConexion=" + cadena + "\r\n" +
                                            SoloTurno(tmp.Archivo("Turno.txt")));
    CopiaPrograma(carpeta);
  }
  for (const char* nombre : {"a", "b", "c"}) corridas.push_back(LanzaCopia(tmp.Archivo(nombre)));
  for (pid_t pid : corridas) {
    int estado = 0;
    waitpid(pid, &estado, 0);
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0) << WEXITSTATUS(estado);
  }
  for (const char* nombre : {"a", "b", "c"}) {
    EXPECT_EQ(LeeBytes(tmp.Archivo(std::string(nombre) + "/Log/Turno_Er.txt")), "") << nombre;
    EXPECT_EQ(LineasDe(LeeBytes(tmp.Archivo(std::string(nombre) + "/Log/Turno_Ok.txt"))).size(),
              static_cast<std::size_t>(kComunes))
        << nombre;
  }
  EXPECT_EQ(LeeFilas(*cn, "Turno", {"ID"}).size(), static_cast<std::size_t>(kComunes));
}

}  // namespace
}  // namespace varlo::prueba
