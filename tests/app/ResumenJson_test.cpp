// The run's JSON summary (--resumen) as a monitor reads it: the console
// program copied into a test folder runs, the document is parsed with a JSON
// parser, and what it says is held against the result files, the database
// (read with the sqlite3 shell) and the process's own exit status.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "app/ResumenJson.h"
#include "common/CerrojoCarpeta.h"
#include "common/Codificacion.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/CorridaEnCurso.h"
#include "support/Definiciones.h"
#include "support/Orden.h"

namespace varlo::prueba {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// What a command prints on stdout, its last line end removed.
std::string Salida(const std::string& orden) {
  std::string texto = SalidaDeOrden(orden);
  if (!texto.empty() && texto.back() == '\n') texto.pop_back();
  return texto;
}

long Lineas(const std::string& ruta) {
  const std::string bytes = LeeBytes(ruta);
  return static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// Names in `carpeta` ending in ".tmp": what a write left behind.
std::vector<std::string> Temporales(const std::string& carpeta) {
  std::vector<std::string> r;
  for (const auto& e : fs::directory_iterator(carpeta))
    if (e.path().extension() == ".tmp") r.push_back(e.path().filename().string());
  return r;
}

class Resumen : public ::testing::Test {
 protected:
  Resumen() { CopiaPrograma(tmp.Ruta()); }

  // The database file behind `cadena`, for the sqlite3 shell.
  long Filas(const std::string& tabla) const {
    const std::string base = cadena.substr(cadena.find("Data Source=") + 12);
    return std::stol(Salida("sqlite3 '" + base + "' 'SELECT count(*) FROM " + tabla + "'"));
  }
  void Definiciones(const std::string& secciones) {
    EscribeBytes(
        tmp.Archivo("defs.ini"),
        "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + cadena + "\r\n" + secciones);
  }
  // Empleado from E.txt, then Jerarquias, whose source is missing.
  std::string EmpleadoYJerarquiasSinFuente() const {
    return ListaTablas({"Empleado", "Jerarquias"}) + Empleado() +
           SeccionComas("Jerarquias", tmp.Archivo("falta.txt"), "Key", {"Key"});
  }
  std::string Empleado() const {
    return SeccionComas("Empleado", tmp.Archivo("E.txt"), "ID_Empleado", {"ID_Empleado", "Nombre"});
  }
  json Documento(const std::string& nombre = "resumen.json") const {
    return json::parse(LeeBytes(tmp.Archivo(nombre)));
  }

  CarpetaTemporal tmp;
  std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
};

// A table imported with a rejected record, a table whose source is missing
// and an absence planning: every count is what the result files and the
// database hold, and every path is absolute and there.
TEST_F(Resumen, CountsAreTheResultFilesAndTheRows) {
  Definiciones(EmpleadoYJerarquiasSinFuente() +
               "[Planeacion Faltas]\r\nOrigen=" + tmp.Archivo("p.txt") +
               "\r\nFormato=3\r\nColumnas=4\r\nCampoColumna1=ID_Empleado\r\n"
               "CampoColumna2=Fecha1\r\nCampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\n");
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n,Sin llave\r\n0002,Beto\r\n0001,Ana Maria\r\n");
  EscribeBytes(tmp.Archivo("p.txt"),
               "7,2006-08-01,2006-08-03,VAC\r\n7,2006-02-31,2006-03-01,VAC\r\n"
               "8,2006-08-10,2006-08-10,INC\r\n");
  const int estado = CorreCopia(tmp.Ruta(), "defs.ini", "-q --resumen resumen.json");
  EXPECT_EQ(estado, 4) << "a table not imported comes before rejections";

  const json d = Documento();
  EXPECT_EQ(d["estado_salida"].get<int>(), estado);
  EXPECT_EQ(d["carpeta_programa"], tmp.Ruta());
  EXPECT_EQ(d["archivo_definiciones"], tmp.Archivo("defs.ini"));
  EXPECT_TRUE(d["motivo_fin"].is_null());
  EXPECT_TRUE(d["error"].is_null());
  EXPECT_EQ(d["bitacora"], LogDeLaCorrida(tmp.Ruta()));
  // The end in ISO 8601 with its offset is the same moment as fin_unix, as
  // date(1) reads it.
  const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
  EXPECT_TRUE(std::regex_match(d["inicio"].get<std::string>(), iso)) << d["inicio"];
  ASSERT_TRUE(std::regex_match(d["fin"].get<std::string>(), iso)) << d["fin"];
  EXPECT_EQ(Salida("date -d '" + d["fin"].get<std::string>() + "' +%s"),
            std::to_string(d["fin_unix"].get<long long>()));
  EXPECT_GE(d["segundos"].get<double>(), 0.0);

  const json& imp = d["importaciones"];
  ASSERT_EQ(imp.size(), 3u) << d.dump(2);
  const json &empleado = imp[0], &jerarquias = imp[1], &planeacion = imp[2];

  EXPECT_EQ(empleado["tipo"], "tabla");
  EXPECT_EQ(empleado["nombre"], "Empleado");
  EXPECT_EQ(empleado["estado"], "importada");
  EXPECT_TRUE(empleado["motivo"].is_null());
  EXPECT_EQ(empleado["leidas"].get<long>(), Lineas(tmp.Archivo("E.txt")));
  EXPECT_EQ(empleado["rechazadas"].get<long>(), 1);
  EXPECT_EQ(empleado["rechazadas"].get<long>(), Lineas(empleado["archivo_er"].get<std::string>()));
  EXPECT_EQ(empleado["agregadas"].get<long>() + empleado["actualizadas"].get<long>(),
            Lineas(empleado["archivo_ok"].get<std::string>()));
  EXPECT_EQ(empleado["actualizadas"].get<long>(), 1) << "0001 twice";
  EXPECT_EQ(empleado["agregadas"].get<long>(), Filas("Empleado"));
  EXPECT_EQ(empleado["sin_procesar"].get<long>(), 0);

  EXPECT_EQ(jerarquias["tipo"], "tabla");
  EXPECT_EQ(jerarquias["estado"], "no importada");
  const std::string motivo = jerarquias["motivo"].get<std::string>();
  EXPECT_NE(motivo.find(tmp.Archivo("falta.txt")), std::string::npos) << motivo;
  EXPECT_NE(AnsiAUtf8(LeeBytes(LogDeLaCorrida(tmp.Ruta()))).find(motivo), std::string::npos)
      << "the log gives the same reason";
  EXPECT_EQ(jerarquias["leidas"].get<long>(), 0);
  EXPECT_TRUE(jerarquias["archivo_ok"].is_null());

  // The planning counts lines read and rejected, and Kardex rows per day;
  // its "_Ok.txt" file holds a line's text once per day written.
  EXPECT_EQ(planeacion["tipo"], "planeacion");
  EXPECT_EQ(planeacion["nombre"], "Planeacion Faltas");
  EXPECT_EQ(planeacion["estado"], "importada");
  EXPECT_EQ(planeacion["leidas"].get<long>(), Lineas(tmp.Archivo("p.txt")));
  EXPECT_EQ(planeacion["rechazadas"].get<long>(), 1);
  EXPECT_EQ(planeacion["rechazadas"].get<long>(),
            Lineas(planeacion["archivo_er"].get<std::string>()));
  EXPECT_EQ(planeacion["agregadas"].get<long>() + planeacion["actualizadas"].get<long>(),
            Lineas(planeacion["archivo_ok"].get<std::string>()));
  EXPECT_EQ(planeacion["agregadas"].get<long>(), 4);
  EXPECT_EQ(planeacion["agregadas"].get<long>(), Filas("Kardex"));

  for (const json& i : imp)
    for (const char* clave : {"archivo_ok", "archivo_er"})
      if (!i[clave].is_null()) {
        const std::string ruta = i[clave].get<std::string>();
        EXPECT_TRUE(fs::path(ruta).is_absolute() && fs::exists(ruta)) << ruta;
      }
  EXPECT_TRUE(fs::exists(d["bitacora"].get<std::string>()));
  EXPECT_EQ(Temporales(tmp.Ruta()), std::vector<std::string>{});
}

// A database that cannot be opened (3), a missing definitions file or an
// error that stops the program (2) and a busy folder (5) still leave a whole
// document; each replaces the previous
// one in one step: a link to the old file keeps the old text.
TEST_F(Resumen, RunsThatStopEarlyReplaceThePreviousDocumentWhole) {
  cadena = "Provider=SQLite;Data Source=" + tmp.Archivo("no/hay.db");
  Definiciones(ListaTablas({"Empleado"}) + Empleado());
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n");
  const std::string viejo = "{\"estado_salida\": 0}\n";
  EscribeBytes(tmp.Archivo("resumen.json"), viejo);
  fs::create_hard_link(tmp.Archivo("resumen.json"), tmp.Archivo("anterior.json"));

  EXPECT_EQ(CorreCopia(tmp.Ruta(), "defs.ini", "--resumen resumen.json"), 3);
  json d = Documento();
  EXPECT_EQ(d["estado_salida"], 3);
  EXPECT_EQ(LeeBytes(tmp.Archivo("anterior.json")), viejo) << "rewritten in place";
  EXPECT_EQ(Temporales(tmp.Ruta()), std::vector<std::string>{});

  EXPECT_EQ(CorreCopia(tmp.Ruta(), "no.ini", "--resumen resumen.json"), 2);
  d = Documento();
  EXPECT_EQ(d["estado_salida"], 2);
  EXPECT_EQ(d["motivo_fin"], "No se encontró el archivo de definiciones (no.ini)");
  EXPECT_EQ(d["archivo_definiciones"], tmp.Archivo("no.ini"));
  EXPECT_TRUE(d["bitacora"].is_null());
  EXPECT_EQ(d["importaciones"], json::array());

  // An error that stops the program: the document gives the line stderr gave.
  EscribeBytes(tmp.Archivo("desborda.ini"), "[Opciones]\r\nReporteLog=40000\r\n");
  EXPECT_EQ(CorreCopia(tmp.Ruta(), "desborda.ini", "--resumen resumen.json"), 2);
  d = Documento();
  EXPECT_EQ(d["estado_salida"], 2);
  ASSERT_TRUE(d["error"].is_string());
  // (stderr ends with the headline of how the run ended)
  EXPECT_EQ(LeeBytes(tmp.Archivo("errores.txt")).rfind(d["error"].get<std::string>() + "\n", 0),
            0u);

  CerrojoCarpeta otraCorrida(tmp.Archivo("Log/.varlodi.lock"));
  ASSERT_TRUE(otraCorrida.Tomado());
  EXPECT_EQ(CorreCopia(tmp.Ruta(), "defs.ini", "--resumen resumen.json"), 5);
  d = Documento();
  EXPECT_EQ(d["estado_salida"], 5);
  EXPECT_NE(d["motivo_fin"].get<std::string>().find("Otra corrida"), std::string::npos);
  EXPECT_EQ(d["importaciones"], json::array());
}

// SIGTERM in the middle of a table: the document says 143, the table is
// incomplete, and its counts are still the lines of its "_Ok.txt" file and
// the rows that were committed.
TEST_F(Resumen, InterruptedRunLeavesAWholeDocument) {
  Definiciones(ListaTablas({"Empleado"}) + Empleado());
  constexpr int kLineas = 100000;
  std::string fuente;
  for (int i = 1; i <= kLineas; ++i) fuente += std::to_string(i) + ",N\r\n";
  EscribeBytes(tmp.Archivo("E.txt"), fuente);
  const std::string ok = tmp.Archivo("Log/Empleado_Ok.txt");

  const pid_t pid = LanzaHastaQueEscriba(tmp.Ruta(), ok, "--resumen resumen.json");
  ASSERT_GT(pid, 0) << "the program ended before it could be stopped";
  int st = 0;
  kill(pid, SIGTERM);
  waitpid(pid, &st, 0);
  const int estado = WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
  EXPECT_EQ(estado, 143);

  const json d = Documento();
  EXPECT_EQ(d["estado_salida"].get<int>(), estado);
  ASSERT_EQ(d["importaciones"].size(), 1u);
  const json& e = d["importaciones"][0];
  EXPECT_EQ(e["estado"], "incompleta");
  EXPECT_FALSE(e["motivo"].is_null());
  EXPECT_EQ(e["leidas"].get<long>(), kLineas);
  EXPECT_GT(e["sin_procesar"].get<long>(), 0);
  EXPECT_EQ(e["agregadas"].get<long>(), Lineas(ok));
  EXPECT_EQ(e["agregadas"].get<long>(), Filas("Empleado"));
  EXPECT_EQ(e["agregadas"].get<long>() + e["sin_procesar"].get<long>(), kLineas);
  EXPECT_EQ(Temporales(tmp.Ruta()), std::vector<std::string>{});
}

// A summary that cannot be written is said on stderr with the system's
// reason; the exit status stays the run's, and nothing is left behind.
TEST_F(Resumen, AFailedWriteChangesNeitherTheStatusNorTheTarget) {
  Definiciones("[Tablas]\r\nTotal=0\r\n");
  fs::create_directory(tmp.Archivo("carpeta.json"));
  struct Caso {
    std::string ruta, motivo;
  };
  for (const Caso& c :
       {Caso{tmp.Archivo("carpeta.json"), "Es un directorio"},
        Caso{tmp.Archivo("no/hay/r.json"), "No existe el archivo o el directorio"}}) {
    EXPECT_EQ(CorreCopia(tmp.Ruta(), "defs.ini", "-q --resumen '" + c.ruta + "'"), 0) << c.ruta;
    EXPECT_EQ(LeeBytes(tmp.Archivo("errores.txt")),
              "No se pudo escribir el resumen (" + c.ruta + "): " + c.motivo + "\n");
  }
  EXPECT_TRUE(fs::is_empty(tmp.Archivo("carpeta.json")));
  EXPECT_EQ(Temporales(tmp.Ruta()), std::vector<std::string>{});
}

// The manual's monitoring example: its jq filter, run by jq on a run's
// document, gives Prometheus lines whose values are the process's exit
// status and the lines of the "_Er.txt" file.
TEST_F(Resumen, TheManualsJqExampleGivesPrometheusLines) {
  std::string filtro;
  {
    const std::string manual = LeeBytes(std::string(VARLODI_SOURCE_DIR) + "/man/varlodi.1");
    const std::size_t marca = manual.find("El filtro de jq");
    ASSERT_NE(marca, std::string::npos);
    const std::size_t ex = manual.find("\n.EX\n", marca), ee = manual.find("\n.EE\n", marca);
    ASSERT_LT(ex, ee);
    std::string ejemplo = manual.substr(ex + 5, ee - ex - 5);
    for (auto [groff, texto] : {std::pair<std::string, std::string>{"\\(aq", "'"},
                                {"\\-", "-"},
                                {"\\&", ""},
                                {"\\e", "\\"}})
      for (std::size_t i = 0; (i = ejemplo.find(groff, i)) != std::string::npos; i += texto.size())
        ejemplo.replace(i, groff.size(), texto);
    const std::size_t desde = ejemplo.find('\''), hasta = ejemplo.rfind('\'');
    ASSERT_LT(desde, hasta) << ejemplo;
    filtro = ejemplo.substr(desde + 1, hasta - desde - 1);
  }
  EscribeBytes(tmp.Archivo("filtro.jq"), filtro);

  Definiciones(EmpleadoYJerarquiasSinFuente());
  EscribeBytes(tmp.Archivo("E.txt"), "0001,Ana\r\n,Sin llave\r\n,Otra sin llave\r\n");
  const int estado = CorreCopia(tmp.Ruta(), "defs.ini", "-q --resumen r.json");
  const std::string metricas =
      Salida("jq -r -f '" + tmp.Archivo("filtro.jq") + "' '" + tmp.Archivo("r.json") + "'");

  // name{labels} value, one a line, as the textfile collector reads them
  const std::regex linea(
      R"re(([a-z_]+)\{definiciones="([^"]*)"(,importacion="([^"]*)")?\} (\S+))re");
  std::map<std::string, std::string> valor;
  std::istringstream lineas(metricas);
  for (std::string l; std::getline(lineas, l);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, linea)) << l;
    EXPECT_EQ(m[2], tmp.Archivo("defs.ini"));
    valor[m[1].str() + (m[4].matched ? "/" + m[4].str() : "")] = m[5];
  }
  EXPECT_EQ(valor["varlodi_estado_salida"], std::to_string(estado));
  EXPECT_EQ(valor["varlodi_importada/Empleado"], "1");
  EXPECT_EQ(valor["varlodi_rechazadas/Empleado"],
            std::to_string(Lineas(tmp.Archivo("Log/Empleado_Er.txt"))));
  EXPECT_EQ(valor["varlodi_sin_procesar/Empleado"], "0");
  EXPECT_EQ(valor["varlodi_importada/Jerarquias"], "0");
  EXPECT_EQ(valor["varlodi_fin_timestamp_seconds"],
            std::to_string(Documento("r.json")["fin_unix"].get<long long>()));
  EXPECT_EQ(valor.size(), 8u) << metricas;
}

// The offset from UTC and the moment, as date(1) gives them for the same
// local time: a zone west of UTC in summer time, a half-hour zone, UTC.
TEST(ResumenFechas, OffsetAndMomentAreWhatDateSays) {
  const char* previa = std::getenv("TZ");
  const std::string zonaPrevia = previa ? previa : "";
  for (const char* zona : {"America/Mexico_City", "America/St_Johns", "Asia/Kolkata", "UTC"}) {
    for (const FechaHora& f :
         {FechaHora{2006, 8, 3, 17, 28, 36}, FechaHora{2026, 1, 15, 2, 5, 0}}) {
      setenv("TZ", zona, 1);
      tzset();
      char local[32];
      std::snprintf(local, sizeof local, "%04d-%02d-%02d %02d:%02d:%02d", f.anio, f.mes, f.dia,
                    f.hora, f.minuto, f.segundo);
      const std::string orden = std::string("TZ=") + zona + " date -d '" + local + "' ";
      EXPECT_EQ(FechaIso8601(f), Salida(orden + "+%Y-%m-%dT%H:%M:%S%:z")) << zona << " " << local;
      EXPECT_EQ(std::to_string(SegundosUnix(f)), Salida(orden + "+%s")) << zona << " " << local;
    }
  }
  if (previa)
    setenv("TZ", zonaPrevia.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace varlo::prueba
