// The console program killed (SIGKILL) at random moments of an absence
// planning, at several batch sizes: every "_Ok.txt" line has its day rows,
// and a rerun leaves Kardex as an uninterrupted run leaves it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "incidences/EscenarioIncidencias.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

constexpr int kIntentos = 8;
using V = std::vector<std::string>;

struct Base {
  std::unique_ptr<BaseDatosPrueba> pg;
  std::string cadena;
  Base(MotorPrueba m, const std::string& carpeta) : cadena(BaseDe(m, carpeta, pg)) {}
  V Kardex() const {
    return Filas(cadena, "Kardex",
                 {"Id_Empleado", "Fecha", "ID_Tipo", "Dato0_FAL", "Dato1_FAL", "Referencia"});
  }
};

void Prepara(const std::string& carpeta, const std::string& cadena, const V& lineas) {
  std::string texto;
  for (const auto& l : lineas) texto += l + "\r\n";
  EscribeBytes(carpeta + "/Planfal.txt", texto);
  EscribeBytes(carpeta + "/defs.ini", "[Base de Datos]\r\nConexion=" + cadena +
                                          "\r\n[Planeacion Faltas]\r\nOrigen=" + carpeta +
                                          "/Planfal.txt\r\n" + kComas);
  CopiaPrograma(carpeta);
}

// A line is reported once per day written, and this file's refusals stop a
// line at its first day: k copies of a line stand for its first k days. A
// last line without its CR LF is no line (a kill can stop the write short).
void TienenSusDias(const V& kardex, const std::string& ok) {
  std::set<std::string> dias;
  for (const std::string& fila : kardex)
    dias.insert(fila.substr(0, fila.find('|', fila.find('|') + 1)));
  std::map<std::string, int> copias;
  for (const std::string& l : Divide(ok.substr(0, ok.rfind("\r\n") + 2), "\r\n"))
    if (!l.empty()) ++copias[l];
  for (const auto& [linea, k] : copias) {
    const V campos = Divide(linea, ",");
    for (int j = 0; j < k; ++j) {
      char dia[32];
      std::snprintf(dia, sizeof dia, "2006-08-%02d", std::stoi(campos[1].substr(8)) + j);
      EXPECT_TRUE(dias.count(campos[0] + "|" + dia)) << "reported without its day: " << linea;
    }
  }
}

class CaidaPlaneacionEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(CaidaPlaneacionEn, LoReportadoTieneSusDiasYOtraCorridaCompletaElResto) {
  const unsigned semilla = 20261209u + static_cast<unsigned>(GetParam());
  SCOPED_TRACE("semilla " + std::to_string(semilla));
  std::mt19937 azar(semilla);
  const V lineas = PlaneacionAlAzar(semilla, 600);

  CarpetaTemporal referencia;
  const Base completa(GetParam(), referencia.Ruta());
  Prepara(referencia.Ruta(), completa.cadena, lineas);
  long duracion = 0;
  ASSERT_EQ(CorreCopiaMidiendo(referencia.Ruta(), duracion), 1);
  const V esperadas = completa.Kardex();
  ASSERT_GT(esperadas.size(), 600u);

  CarpetaTemporal tmp;
  const Base base(GetParam(), tmp.Ruta());
  Prepara(tmp.Ruta(), base.cadena, lineas);
  const std::string ok = tmp.Archivo("Log/Planeacion Faltas_Incidencias_Ok.txt");
  const char* lotes[] = {"--lote 7", "--lote 300", ""};
  for (int intento = 0; intento < kIntentos; ++intento) {
    const std::string lote = lotes[intento % 3];
    const long espera = std::uniform_int_distribution<long>(0, duracion)(azar);
    SCOPED_TRACE("intento " + std::to_string(intento) + " " + lote + ", muerto a los " +
                 std::to_string(espera) + " us");
    db::Conexion::Abre(base.cadena)->Execute("DELETE FROM Kardex");
    std::filesystem::remove_all(tmp.Archivo("Log"));

    const pid_t pid = LanzaCopia(tmp.Ruta(), "defs.ini", lote);
    ASSERT_GT(pid, 0);
    usleep(static_cast<useconds_t>(espera));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    TienenSusDias(base.Kardex(), std::filesystem::exists(ok) ? LeeBytes(ok) : "");

    EXPECT_EQ(CorreCopia(tmp.Ruta()), 1);
    EXPECT_EQ(base.Kardex(), esperadas);
  }
}

INSTANTIATE_TEST_SUITE_P(Motores, CaidaPlaneacionEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
