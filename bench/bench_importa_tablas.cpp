// Table import throughput on SQLite: generated fixed-width Empleado records
// (100 000 and 1 000 000 by default) imported by the engine, next to the
// sqlite3 shell's ".import" of the same data, each size in a fresh process
// so that its peak memory is its own.
//
//   bench_importa_tablas [N ...]
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "common/Ventana.h"
#include "db/Conexion.h"
#include "import/ImportaDatos.h"

namespace fs = std::filesystem;
using namespace varlo;

namespace {

// A window that draws nothing and keeps nothing, so memory is the engine's.
class VentanaMuda : public VentanaBase {
 public:
  void ProcesaEventos() override {}
  Respuesta MuestraMensaje(const std::string&, Botones, Icono, const std::string&) override {
    return Respuesta::Aceptar;
  }
  std::string MuestraAbrir(const DialogoArchivo&) override { return ""; }
  std::string MuestraGuardar(const DialogoArchivo&) override { return ""; }
  std::optional<std::string> ComponeConexion(const std::string&, ProbarConexion) override {
    return std::nullopt;
  }
  std::vector<bool> EligeTablas(const std::vector<std::string>& t) override {
    return std::vector<bool>(t.size(), false);
  }
};

const char* kEmpleado =
    "CREATE TABLE Empleado (ID_Empleado CHAR(15) NOT NULL PRIMARY KEY, Nombre VARCHAR(50), "
    "Edad SMALLINT, NumeroTarjeta INT, Activo BIT, FechaAlta DATETIME, Sueldo DECIMAL(12,2), "
    "ID_Nivel0 VARCHAR(15), ID_Nivel1 VARCHAR(15), ID_Nivel2 VARCHAR(15), ID_Nivel3 VARCHAR(15), "
    "ID_Calendario VARCHAR(15), FIAplicacion DATETIME, Foto IMAGE)";

std::string Campo(std::string s, std::size_t ancho) {
  s.resize(ancho, ' ');
  return s;
}

// Peak resident memory of this process, in KiB (VmHWM).
long PicoMemoriaKiB() {
  std::ifstream in("/proc/self/status");
  std::string linea;
  while (std::getline(in, linea))
    if (linea.rfind("VmHWM:", 0) == 0) return std::atol(linea.c_str() + 6);
  return -1;
}

double Segundos(std::chrono::steady_clock::time_point desde) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - desde).count();
}

void CreaBase(const std::string& ruta) {
  std::ofstream(ruta).close();  // an empty file is a new SQLite database
  db::Conexion::Abre("Provider=SQLite;Data Source=" + ruta)->Execute(kEmpleado);
}

// One size, in this process: the engine, then the sqlite3 shell.
int UnaMedida(long n, const std::string& carpeta) {
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  {
    std::ofstream f(fuente, std::ios::binary), c(csv, std::ios::binary);
    for (long i = 1; i <= n; ++i) {
      std::string id = std::to_string(i), nombre = "Empleado " + std::to_string(i % 9973);
      std::string edad = std::to_string(18 + i % 50);
      char fecha[16];
      std::snprintf(fecha, sizeof fecha, "%04ld%02ld%02ld", 1990 + i % 30, 1 + i % 12, 1 + i % 28);
      f << Campo(id, 10) << Campo(nombre, 30) << Campo(edad, 3) << fecha << "\r\n";
      c << id << ',' << nombre << ',' << edad << ',' << fecha << "\n";
    }
  }
  const std::string base = carpeta + "/motor.db", baseShell = carpeta + "/shell.db";
  CreaBase(base);
  CreaBase(baseShell);
  std::ofstream(carpeta + "/defs.ini", std::ios::binary)
      << "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=Provider=SQLite;Data Source="
      << base << "\r\n[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nOrigen=" << fuente
      << "\r\nFormato=1\r\nFormatoFecha=YYYYMMDD\r\nNombreIndice=ID_Empleado\r\nColumnas=4\r\n"
         "CampoColumna1=ID_Empleado\r\nLongitudColumna1=10\r\nCampoColumna2=Nombre\r\n"
         "LongitudColumna2=30\r\nCampoColumna3=Edad\r\nLongitudColumna3=3\r\n"
         "CampoColumna4=FechaAlta\r\nLongitudColumna4=8\r\n";

  EstableceCarpetaPrograma(carpeta);
  VentanaMuda ventana;
  frmMain f(ventana, "");
  f.ArchivoDefiniciones = carpeta + "/defs.ini";
  f.ReporteLog = f.ReporteEmpleadosImportados = f.ReporteEmpleadosNoImportados = 1;
  auto inicio = std::chrono::steady_clock::now();
  ImportaDatos(f);
  double motor = Segundos(inicio);
  long memoriaMotor = PicoMemoriaKiB();
  if (f.EstadoSalida() != 0) {
    std::cerr << "la importación terminó con errores (ver " << carpeta << "/Log)\n";
    return 1;
  }

  // The shell's .import into the same table (types as text, no lookups).
  const std::string orden = "sqlite3 '" + baseShell +
                            "' '.mode csv' "
                            "'.import " +
                            csv +
                            " EmpleadoCsv' "
                            "'INSERT INTO Empleado (ID_Empleado, Nombre, Edad, FechaAlta) "
                            "SELECT * FROM EmpleadoCsv' >/dev/null";
  inicio = std::chrono::steady_clock::now();
  int r = std::system(orden.c_str());
  double shell = Segundos(inicio);
  rusage uso{};
  getrusage(RUSAGE_CHILDREN, &uso);
  if (r != 0) {
    std::cerr << "sqlite3 falló (" << r << ")\n";
    return 1;
  }
  std::printf(
      "%9ld registros  motor: %8.2f s %10.0f reg/s pico %7ld KiB  |  sqlite3 .import: "
      "%6.2f s %10.0f reg/s pico %7ld KiB\n",
      n, motor, n / motor, memoriaMotor, shell, n / shell, uso.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--una") return UnaMedida(std::atol(argv[2]), argv[3]);

  std::vector<long> tamanos;
  for (int i = 1; i < argc; ++i) tamanos.push_back(std::atol(argv[i]));
  if (tamanos.empty()) tamanos = {100000, 1000000};
  const std::string yo = fs::read_symlink("/proc/self/exe").string();
  int fallos = 0;
  for (long n : tamanos) {
    fs::path carpeta = fs::temp_directory_path() /
                       ("varlodi-bench-" + std::to_string(n) + "-" + std::to_string(::getpid()));
    fs::create_directories(carpeta);
    std::string orden = "'" + yo + "' --una " + std::to_string(n) + " '" + carpeta.string() + "'";
    if (std::system(orden.c_str()) != 0) ++fallos;
    fs::remove_all(carpeta);
  }
  return fallos == 0 ? 0 : 1;
}
