// The console program killed in the middle of a table: every line it had
// reported in "_Ok.txt" has its row, and a second run completes the rest.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

constexpr int kLineas = 60000;

// Runs the copied program in `carpeta` on defs.ini; returns its pid.
pid_t Lanza(const std::string& carpeta) {
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(carpeta.c_str()) != 0) _exit(127);
    execl("./varlodi", "varlodi", "defs.ini", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

TEST(CaidaDelPrograma, LasLineasReportadasTienenSuFilaYOtraCorridaCompletaElResto) {
  CarpetaTemporal tmp;
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto cn = db::Conexion::Abre(cadena);
  cn->Execute("CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20))");
  std::string fuente;
  for (int i = 1; i <= kLineas; ++i) fuente += std::to_string(i) + ",T\r\n";
  EscribeBytes(tmp.Archivo("Turno.txt"), fuente);
  EscribeBytes(tmp.Archivo("defs.ini"),
               "[Base de Datos]\r\nConexion=" + cadena +
                   "\r\n[Tablas]\r\nTotal=1\r\nTabla1=Turno\r\n[Turno]\r\nOrigen=Turno.txt\r\n"
                   "Formato=3\r\nNombreIndice=ID\r\nColumnas=2\r\nCampoColumna1=ID\r\n"
                   "CampoColumna2=Nombre\r\n");
  // A private copy: the program writes beside itself.
  std::filesystem::copy_file(std::string(VARLODI_BIN_DIR) + "/varlodi", tmp.Archivo("varlodi"));
  const std::string ok = tmp.Archivo("Log/Turno_Ok.txt");

  // Killed once it has reported its first batch, well before the end.
  pid_t pid = Lanza(tmp.Ruta());
  ASSERT_GT(pid, 0);
  int estado = 0;
  bool terminado = false;
  for (;;) {
    std::error_code ec;
    if (std::filesystem::file_size(ok, ec) > 0 && !ec) break;
    if (waitpid(pid, &estado, WNOHANG) == pid) {
      terminado = true;
      break;
    }
    usleep(2000);
  }
  ASSERT_FALSE(terminado) << "the program ended before it could be killed";
  kill(pid, SIGKILL);
  waitpid(pid, &estado, 0);

  const V reportadas = LineasDe(LeeBytes(ok));
  std::set<std::string> filas;
  db::Consulta todas;
  todas.columnas = {"ID"};
  todas.tabla = "Turno";
  for (auto rs = cn->AbreConsulta(todas, 0); !rs->EOF_(); rs->MoveNext())
    filas.insert(rs->Texto(0));
  ASSERT_LT(filas.size(), static_cast<std::size_t>(kLineas));
  for (const std::string& l : reportadas) {
    if (l.empty()) continue;
    EXPECT_TRUE(filas.count(l.substr(0, l.find(',')))) << l;
  }

  pid = Lanza(tmp.Ruta());
  waitpid(pid, &estado, 0);
  EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0);
  EXPECT_EQ(LineasDe(LeeBytes(ok)).size(), static_cast<std::size_t>(kLineas));
  filas.clear();
  for (auto rs = cn->AbreConsulta(todas, 0); !rs->EOF_(); rs->MoveNext())
    filas.insert(rs->Texto(0));
  EXPECT_EQ(filas.size(), static_cast<std::size_t>(kLineas));
}

// Three runs of their own program folders import the same file into one
// database at the same time: the writers wait for each other, an insert that
// loses the race becomes an update, and no valid line is rejected.
TEST(CorridasSimultaneas, TresCorridasDelMismoArchivoNoRechazanNada) {
  CarpetaTemporal tmp;
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto cn = db::Conexion::Abre(cadena);
  cn->Execute("CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20))");
  constexpr int kComunes = 3000;
  std::string fuente;
  for (int i = 1; i <= kComunes; ++i) fuente += std::to_string(i) + ",T\r\n";
  EscribeBytes(tmp.Archivo("Turno.txt"), fuente);
  std::vector<pid_t> corridas;
  for (const char* nombre : {"a", "b", "c"}) {
    const std::string carpeta = tmp.Archivo(nombre);
    std::filesystem::create_directory(carpeta);
    EscribeBytes(carpeta + "/defs.ini",
                 "[Base de Datos]\r\nConexion=" + cadena +
                     "\r\n[Tablas]\r\nTotal=1\r\nTabla1=Turno\r\n[Turno]\r\nOrigen=" +
                     tmp.Archivo("Turno.txt") +
                     "\r\nFormato=3\r\nNombreIndice=ID\r\nColumnas=2\r\nCampoColumna1=ID\r\n"
                     "CampoColumna2=Nombre\r\n");
    std::filesystem::copy_file(std::string(VARLODI_BIN_DIR) + "/varlodi", carpeta + "/varlodi");
  }
  for (const char* nombre : {"a", "b", "c"}) corridas.push_back(Lanza(tmp.Archivo(nombre)));
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
  db::Consulta todas;
  todas.columnas = {"ID"};
  todas.tabla = "Turno";
  EXPECT_EQ(cn->AbreConsulta(todas, 0)->RecordCount(), kComunes);
}

}  // namespace
}  // namespace varlo::prueba
