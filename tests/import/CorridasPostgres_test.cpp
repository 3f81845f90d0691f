// Three runs of their own program folders import overlapping keys, each in
// its own order, into one PostgreSQL database at the same time. They lock
// each other's rows, and the server picks deadlock victims: a victim's batch
// is the batch's, never a record's, so no valid line is rejected, every line
// is either reported or counted as not processed, and every "_Ok.txt" line
// has its row.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <regex>
#include <set>

#include "EntornoImportacion.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

constexpr int kLineas = 6000;

TEST(CorridasSimultaneasPostgreSql, NingunaLineaValidaSeRechazaPorUnInterbloqueo) {
  CarpetaTemporal tmp;
  BaseDatosPrueba pg = BaseDatosPrueba::PostgreSql();
  auto cn = db::Conexion::Abre(pg.Cadena());
  cn->Execute(kCreaTurno);

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
    EscribeBytes(carpeta + "/defs.ini", "[Base de Datos]\r\nConexion=" + pg.Cadena() + "\r\n" +
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

  db::Consulta todas;
  todas.columnas = {"ID"};
  todas.tabla = "Turno";
  std::set<std::string> filas;
  for (auto rs = cn->AbreConsulta(todas, 0); !rs->EOF_(); rs->MoveNext())
    filas.insert(rs->Texto(0));

  const std::regex sinProcesar(R"((\d+) sin procesar)");
  for (std::size_t i = 0; i < nombres.size(); ++i) {
    const std::string carpeta = tmp.Archivo(nombres[i]);
    SCOPED_TRACE(nombres[i] + ": " + LeeBytes(carpeta + "/errores.txt"));
    // a run that gives a batch up ends its table (4), never the connection (3)
    EXPECT_TRUE(estados[i] == 0 || estados[i] == 4) << estados[i];
    EXPECT_EQ(LeeBytes(carpeta + "/Log/Turno_Er.txt"), "");
    const V reportadas = LineasDe(LeeBytes(carpeta + "/Log/Turno_Ok.txt"));
    std::size_t conFila = 0;
    for (const std::string& l : reportadas)
      conFila += !l.empty() && filas.count(l.substr(0, l.find(',')));
    EXPECT_EQ(conFila, reportadas.size());
    // every line reported, or counted as not processed in the summary
    const std::string err = LeeBytes(carpeta + "/errores.txt");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(err, m, sinProcesar)) << err;
    EXPECT_EQ(conFila + std::stoul(m[1].str()), static_cast<std::size_t>(kLineas));
  }
  // the three runs together wrote every key
  EXPECT_EQ(filas.size(), static_cast<std::size_t>(kLineas));
}

}  // namespace
}  // namespace varlo::prueba
