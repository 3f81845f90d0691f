// Absence-planning import on SQLite (or natively on PostgreSQL, --pg, with
// VARLODI_PG_NATIVO and VARLODI_PG_PORT): records of 1 to 5 days each, imported
// with the result files on, as a scheduled run would. Prints days per second
// and the peak resident memory after each file size; sizes run from small to
// large in one process, so a flat peak means memory does not grow with the
// file. With --dias N every record spans N days instead (a leave "until
// 9999-12-31" spans millions): the peak then shows whether memory grows
// with a record's days.
//
//   bench_incidencias [records ...] [--carpeta DIR] [--pg] [--dias N]   (default: 20000 100000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "common/Fechas.h"
#include "common/Plataforma.h"
#include "common/Ventana.h"
#include "db/Conexion.h"
#include "incidences/ImportaIncidencias.h"

namespace {

using namespace varlo;

// Status and progress kept, nothing recorded: a window that costs nothing per line.
class VentanaMuda : public VentanaBase {
 public:
  void ProcesaEventos() override {}
  Respuesta MuestraMensaje(const std::string&, Botones, Icono, const std::string&) override {
    return Respuesta::Aceptar;
  }
  std::string MuestraAbrir(const DialogoArchivo&) override { return {}; }
  std::string MuestraGuardar(const DialogoArchivo&) override { return {}; }
  std::optional<std::string> ComponeConexion(const std::string&, ProbarConexion) override {
    return std::nullopt;
  }
  std::vector<bool> EligeTablas(const std::vector<std::string>& t) override {
    return std::vector<bool>(t.size(), false);
  }
};

long PicoMemoriaKb() {
  std::ifstream f("/proc/self/status");
  std::string linea;
  while (std::getline(f, linea))
    if (linea.rfind("VmHWM:", 0) == 0) return std::strtol(linea.c_str() + 6, nullptr, 10);
  return -1;
}

std::string Ancho(std::string s, std::size_t n) {
  s.resize(n, ' ');
  return s;
}

// Writes the source file in the generated fixed-width layout, and the day
// rows it stands for as CSV for the set-based baseline; returns the days.
long EscribeOrigen(const std::string& ruta, const std::string& csv, long registros,
                   long diasPorRegistro) {
  std::ofstream f(ruta, std::ios::binary), c(csv, std::ios::binary);
  std::mt19937 azar(12345);
  const long empleados = 2000;
  long dias = 0;
  for (long i = 0; i < registros; ++i) {
    long largo = diasPorRegistro > 0 ? diasPorRegistro : 1 + static_cast<long>(azar() % 5);
    // Each employee's records follow one another a week apart: every day is a new row.
    FechaHora desde =
        FechaDeDias(DiasDesdeEpoca(FechaHora{2000, 1, 3, 0, 0, 0}) + (i / empleados) * 7);
    FechaHora hasta = FechaDeDias(DiasDesdeEpoca(desde) + largo - 1);
    f << Ancho("E" + std::to_string(i % empleados), 15) << Ancho(FormatoISO(desde), 16)
      << Ancho(FormatoISO(hasta), 16) << Ancho("VAC", 15) << Ancho("d" + std::to_string(i), 15)
      << std::string(75, ' ') << Ancho("Registro " + std::to_string(i), 50) << "\r\n";
    for (long d = 0; d < largo; ++d)
      c << "E" << i % empleados << ',' << FormatoISOHora(FechaDeDias(DiasDesdeEpoca(desde) + d))
        << ",VAC,d" << i << ",,,,,,Registro " << i << "\n";
    dias += largo;
  }
  return dias;
}

const char* kDefiniciones =
    "[Planeacion Faltas]\r\nFormato=1\r\nFormatoFecha=YYYY-MM-DD\r\nColumnas=11\r\n"
    "CampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\nCampoColumna3=Fecha2\r\n"
    "CampoColumna4=ID_Tipo\r\nCampoColumna5=Dato0_FAL\r\nCampoColumna6=Dato1_FAL\r\n"
    "CampoColumna7=Dato2_FAL\r\nCampoColumna8=Dato3_FAL\r\nCampoColumna9=Dato4_FAL\r\n"
    "CampoColumna10=Dato5_FAL\r\nCampoColumna11=Referencia\r\n"
    "LongitudColumna1=15\r\nLongitudColumna2=16\r\nLongitudColumna3=16\r\n"
    "LongitudColumna4=15\r\nLongitudColumna5=15\r\nLongitudColumna6=15\r\n"
    "LongitudColumna7=15\r\nLongitudColumna8=15\r\nLongitudColumna9=15\r\n"
    "LongitudColumna10=15\r\nLongitudColumna11=50\r\n";

const char* kKardex =
    "CREATE TABLE Kardex (Id_Empleado CHAR(15) NOT NULL, Fecha DATETIME NOT NULL, "
    "ID_Tipo VARCHAR(15), Dato0_FAL VARCHAR(15), Dato1_FAL VARCHAR(15), Dato2_FAL VARCHAR(15), "
    "Dato3_FAL VARCHAR(15), Dato4_FAL VARCHAR(15), Dato5_FAL VARCHAR(15), Referencia VARCHAR(50), "
    "PRIMARY KEY (Id_Empleado, Fecha))";

const char* kKardexPg =
    "CREATE TABLE Kardex (Id_Empleado char(15) NOT NULL, Fecha timestamp NOT NULL, "
    "ID_Tipo varchar(15), Dato0_FAL varchar(15), Dato1_FAL varchar(15), Dato2_FAL varchar(15), "
    "Dato3_FAL varchar(15), Dato4_FAL varchar(15), Dato5_FAL varchar(15), Referencia varchar(50), "
    "PRIMARY KEY (Id_Empleado, Fecha))";

// psql on the bench cluster, in that schema.
std::string Psql(const std::string& esquema, const std::string& orden) {
  const char* puerto = std::getenv("VARLODI_PG_PORT");
  return "PGOPTIONS='-c client_min_messages=warning -c search_path=" + esquema +
         "' psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p " + (puerto ? puerto : "5432") +
         " -U varlodi varlodi -c \"" + orden + "\" >/dev/null";
}

int Mide(const std::filesystem::path& base, long registros, bool pg, long diasPorRegistro) {
  std::filesystem::path carpeta = base / ("incidencias-" + std::to_string(registros));
  std::filesystem::remove_all(carpeta);
  std::filesystem::create_directories(carpeta);
  EstableceCarpetaPrograma(carpeta.string());

  std::string bd = (carpeta / "varlo.db").string();
  std::string cadena = "Provider=SQLite;Data Source=" + bd;
  const std::string esquema = "planeacion_" + std::to_string(registros);
  if (pg) {
    const char* nativo = std::getenv("VARLODI_PG_NATIVO");
    if (!nativo || !std::getenv("VARLODI_PG_PORT")) {
      std::cerr << "bench: sin VARLODI_PG_NATIVO/VARLODI_PG_PORT\n";
      return 1;
    }
    for (const std::string& e : {esquema, esquema + "_psql"}) {
      std::system(Psql(e, "DROP SCHEMA IF EXISTS " + e + " CASCADE").c_str());
      if (std::system(Psql(e, "CREATE SCHEMA " + e + "; " + kKardexPg).c_str()) != 0) return 1;
    }
    cadena = std::string(nativo) + "options=-c search_path=" + esquema + ";";
  } else {
    { std::ofstream vacio(bd, std::ios::binary); }
    db::Conexion::Abre(cadena)->Execute(kKardex);
  }

  std::string origen = (carpeta / "Planfal.txt").string();
  const std::string csv = (carpeta / "dias.csv").string();
  long dias = EscribeOrigen(origen, csv, registros, diasPorRegistro);
  std::string defs = (carpeta / "defs.ini").string();
  {
    std::ofstream f(defs, std::ios::binary);
    f << "[Base de Datos]\r\nConexion=" << cadena << "\r\n"
      << kDefiniciones << "Origen=" << origen << "\r\n";
  }

  VentanaMuda ventana;
  frmMain f(ventana, defs);
  f.ArchivoDefiniciones = defs;
  f.ReporteLog = 1;
  f.ReporteEmpleadosImportados = 1;
  f.ReporteEmpleadosNoImportados = 1;
  auto inicio = std::chrono::steady_clock::now();
  ImportaIncidencias(f);
  double segundos =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();

  const long pico = PicoMemoriaKb();

  // The same day rows inserted set-based by the sqlite3 shell, or copied by psql.
  std::string orden;
  if (pg) {
    orden = Psql(esquema + "_psql", "\\copy Kardex from '" + csv + "' with (format csv)");
  } else {
    const std::string otra = (carpeta / "shell.db").string();
    { std::ofstream vacio(otra, std::ios::binary); }
    db::Conexion::Abre("Provider=SQLite;Data Source=" + otra)->Execute(kKardex);
    orden = "sqlite3 '" + otra +
            "' 'CREATE TABLE Etapa (a, b, c, d, e, f, g, h, i, j)' '.mode csv' "
            "'.import " +
            csv + " Etapa' 'INSERT INTO Kardex SELECT * FROM Etapa' >/dev/null";
  }
  inicio = std::chrono::steady_clock::now();
  const int rc = std::system(orden.c_str());
  const double conjunto =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  std::printf(
      "%-34s %9ld  %9.0f/s  %-28s %9.0f/s  %5.2f  %7ld KiB  %s\n",
      (std::string(pg ? "PostgreSQL, " : "") + "planeación, días de " + std::to_string(registros) +
       " reg." + (diasPorRegistro > 0 ? " de " + std::to_string(diasPorRegistro) + " días" : ""))
          .c_str(),
      dias, dias / segundos, pg ? "psql \\copy" : "inserción por conjuntos", dias / conjunto,
      conjunto / segundos, pico, f.EstadoSalida() == 0 && rc == 0 ? "" : "CON RECHAZOS O ERRORES");
  std::fflush(stdout);
  std::filesystem::remove_all(carpeta);
  if (pg)
    for (const std::string& e : {esquema, esquema + "_psql"})
      std::system(Psql(e, "DROP SCHEMA " + e + " CASCADE").c_str());
  return f.EstadoSalida();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> tamanos;
  std::filesystem::path base = std::filesystem::temp_directory_path();
  bool pg = false;
  long diasPorRegistro = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--carpeta" && i + 1 < argc)
      base = argv[++i];
    else if (a == "--dias" && i + 1 < argc)
      diasPorRegistro = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--pg")
      pg = true;
    else
      tamanos.push_back(std::strtol(a.c_str(), nullptr, 10));
  }
  if (tamanos.empty()) tamanos = {20000, 100000};
  int estado = 0;
  for (long n : tamanos) estado |= Mide(base, n, pg, diasPorRegistro);
  return estado;
}
