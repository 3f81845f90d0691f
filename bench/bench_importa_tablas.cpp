// Table import throughput: generated 10-column fixed-width Empleado records
// imported by the engine, each figure next to what an administrator would
// use instead, run on the same data in the same run:
//
//   sqlite-nuevos N      empty table      vs  sqlite3 .import (staging + INSERT SELECT)
//   sqlite-existentes N  every key exists vs  staged INSERT OR REPLACE
//   pg-nuevos N          empty table      vs  psql \copy          (through ODBC)
//   pg-existentes N      every key exists vs  staged INSERT ... ON CONFLICT DO UPDATE
//   pgnativo-nuevos N, pgnativo-existentes N: the same natively (libpq)
//   fecha-llave M        10 000 updates by a date key into a table of M rows
//                        (the baseline is the same at 10 000 rows: the cost
//                        must not grow with the table)
//   sqlite-jerarquia N   a hierarchy column vs the same table without it
//   sqlite-foto N        a picture column vs the same table without it
//   pgnativo-foto N      the same natively on PostgreSQL
//   sqlite-repetidas N   N lines, each key on two of them (the second changes
//   pg-repetidas N       the row the first added), into an empty table, vs N
//                        lines of N keys into another (pg: through ODBC)
//   sqlite-rechazos N    one line in 5 000 refused by a CHECK of the table,
//   pg-rechazos N        into an empty table, vs the same lines into one
//   pgnativo-rechazos N  without the CHECK
//   sqlite-recarga N     a reload ("Borrar antes de importar") of a table
//   pg-recarga N         holding every key, vs the same lines into an empty
//   pgnativo-recarga N   table without the delete
//   sqlite-simulada N    a dry run (--simular) into an empty table, vs the
//   pg-simulada N        same run for real
//   pgnativo-simulada N
//   comillas N           a comma file with "Comillas" (a quarter of the names
//                        hold a quote, so they are quoted) vs the same values
//                        in the plain comma layout, both into empty SQLite
//                        tables; the best of five runs each, alternated
//
// Each measure runs in a fresh process, so that its peak memory is its own.
// The last column is the CPU that process spent per record on the import
// (all its threads; a server's work is not in it): set against the time per
// record, it tells whether the program or the server is waited on.
// PostgreSQL needs VARLODI_PG_ODBC, VARLODI_PG_NATIVO and VARLODI_PG_PORT
// (scripts/pg-cluster).
//
//   bench_importa_tablas CASE N [CASE N ...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

const char* kEmpleadoSQLite =
    "CREATE TABLE Empleado (ID_Empleado CHAR(15) NOT NULL PRIMARY KEY, Nombre VARCHAR(50), "
    "Edad SMALLINT, NumeroTarjeta INT, Activo BIT, FechaAlta DATETIME, Sueldo DECIMAL(12,2), "
    "ID_Nivel0 VARCHAR(15), ID_Nivel1 VARCHAR(15), ID_Nivel2 VARCHAR(15), ID_Nivel3 VARCHAR(15), "
    "ID_Calendario VARCHAR(15), FIAplicacion DATETIME, Foto IMAGE)";
const char* kEmpleadoPg =
    "CREATE TABLE Empleado (ID_Empleado char(15) NOT NULL PRIMARY KEY, Nombre varchar(50), "
    "Edad smallint, NumeroTarjeta integer, Activo boolean, FechaAlta timestamp, "
    "Sueldo numeric(12,2), ID_Nivel0 varchar(15), ID_Nivel1 varchar(15), ID_Nivel2 varchar(15), "
    "ID_Nivel3 varchar(15), ID_Calendario varchar(15), FIAplicacion timestamp, Foto bytea)";
// The ten imported columns, in the source's order, with their widths.
const char* kColumnas =
    "ID_Empleado, Nombre, Edad, NumeroTarjeta, Activo, FechaAlta, Sueldo, ID_Nivel0, ID_Nivel1, "
    "ID_Nivel2";
const struct {
  const char* campo;
  int ancho;
} kDisposicion[] = {{"ID_Empleado", 10}, {"Nombre", 30},   {"Edad", 3},    {"NumeroTarjeta", 9},
                    {"Activo", 1},       {"FechaAlta", 8}, {"Sueldo", 10}, {"ID_Nivel0", 15},
                    {"ID_Nivel1", 15},   {"ID_Nivel2", 15}};

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

double Cronometra(const auto& trabajo) {
  const auto inicio = std::chrono::steady_clock::now();
  trabajo();
  return Segundos(inicio);
}

std::string Comillas(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

void Shell(const std::string& orden) {
  if (std::system(orden.c_str()) != 0) {
    std::cerr << "bench: falló: " << orden << "\n";
    std::exit(1);
  }
}

// The same N records as a fixed-width source for the engine and a CSV for
// the baseline; `variante` changes the non-key values (a second pass over
// existing keys writes something new); `porLlave` consecutive lines share
// each key.
void EscribeDatos(long n, int variante, const std::string& fuente, const std::string& csv,
                  long porLlave = 1) {
  std::ofstream f(fuente, std::ios::binary), c(csv, std::ios::binary);
  for (long i = 1; i <= n; ++i) {
    const long v = i + variante;
    std::string valores[10];
    valores[0] = std::to_string((i + porLlave - 1) / porLlave);
    valores[1] = "Empleado " + std::to_string(v % 9973);
    valores[2] = std::to_string(18 + v % 50);
    valores[3] = std::to_string(100000 + v);
    valores[4] = v % 3 ? "1" : "0";
    char fecha[16];
    std::snprintf(fecha, sizeof fecha, "%04ld%02ld%02ld", 1990 + v % 30, 1 + v % 12, 1 + v % 28);
    valores[5] = fecha;
    valores[6] = std::to_string(1000 + v % 90000) + ".50";
    valores[7] = "N" + std::to_string(v % 40);
    valores[8] = "M" + std::to_string(v % 7);
    valores[9] = "S" + std::to_string(v % 3);
    for (int k = 0; k < 10; ++k) {
      f << Campo(valores[k], static_cast<std::size_t>(kDisposicion[k].ancho));
      c << (k ? "," : "") << valores[k];
    }
    f << "\r\n";
    c << "\n";
  }
}

std::string Definiciones(const std::string& conexion, const std::string& tabla,
                         const std::string& fuente, const std::string& indice,
                         const std::string& columnas, const std::string& mascara = "YYYYMMDD") {
  return "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + conexion +
         "\r\n[Tablas]\r\nTotal=1\r\nTabla1=" + tabla + "\r\n[" + tabla + "]\r\nOrigen=" + fuente +
         "\r\nFormato=1\r\nFormatoFecha=" + mascara + "\r\nNombreIndice=" + indice + "\r\n" +
         columnas;
}

std::string ColumnasEmpleado() {
  std::string r = "Columnas=10\r\n";
  int k = 0;
  for (const auto& c : kDisposicion) {
    ++k;
    r += "CampoColumna" + std::to_string(k) + "=" + c.campo + "\r\nLongitudColumna" +
         std::to_string(k) + "=" + std::to_string(c.ancho) + "\r\n";
  }
  return r;
}

struct Motor {
  double segundos = 0;
  long picoKiB = 0;
  // CPU the process spent on the import, all its threads (the server's not)
  double segundosCpu = 0;
};

double SegundosCpu() {
  rusage uso{};
  ::getrusage(RUSAGE_SELF, &uso);
  const auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(uso.ru_utime) + s(uso.ru_stime);
}

// The engine, as a scheduled run does it: result files and log on;
// `rechazadas` lines are expected to be refused.
Motor Importa(const std::string& carpeta, const std::string& definiciones, long rechazadas = 0,
              bool simulada = false) {
  std::ofstream(carpeta + "/defs.ini", std::ios::binary) << definiciones;
  EstableceCarpetaPrograma(carpeta);
  VentanaMuda ventana;
  frmMain f(ventana, "");
  f.opciones.simular = simulada;
  f.ArchivoDefiniciones = carpeta + "/defs.ini";
  f.ReporteLog = f.ReporteEmpleadosImportados = f.ReporteEmpleadosNoImportados = 1;
  Motor m;
  const double cpu = SegundosCpu();
  m.segundos = Cronometra([&] { ImportaDatos(f); });
  m.segundosCpu = SegundosCpu() - cpu;
  m.picoKiB = PicoMemoriaKiB();
  long rechazos = 0;
  std::ifstream er(carpeta + "/Log/Empleado_Er.txt", std::ios::binary);
  for (std::string linea; std::getline(er, linea);) ++rechazos;
  if (f.EstadoSalida() != (rechazadas ? 1 : 0) || rechazos != rechazadas) {
    std::cerr << "bench: la importación no terminó como se esperaba (ver " << carpeta << "/Log)\n";
    std::exit(1);
  }
  std::filesystem::remove(carpeta + "/Log/Empleado_Er.txt");
  return m;
}

void Linea(const std::string& trabajo, long n, const Motor& m, const std::string& base,
           double segundosBase) {
  const double motor = n / m.segundos, referencia = n / segundosBase;
  std::printf("%-34s %9ld  %9.0f/s  %-28s %9.0f/s  %5.2f  %7ld KiB  %6.2f\n", trabajo.c_str(), n,
              motor, base.c_str(), referencia, motor / referencia, m.picoKiB,
              m.segundosCpu * 1e6 / static_cast<double>(n));
  std::fflush(stdout);
}

std::string Sqlite3(const std::string& base, const std::string& ordenes) {
  return "sqlite3 " + Comillas(base) + " " + ordenes + " >/dev/null";
}

void CreaSQLite(const std::string& ruta, const char* esquema) {
  std::ofstream(ruta).close();  // an empty file is a new SQLite database
  db::Conexion::Abre("Provider=SQLite;Data Source=" + ruta)->Execute(esquema);
}

// `indice`: the key the engine looks rows up by ("ID_Empleado,FechaAlta": two
// columns, one of them a date).
int SQLiteEmpleado(long n, const std::string& carpeta, bool existentes,
                   const std::string& indice = "ID_Empleado") {
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  const std::string base = carpeta + "/motor.db", baseShell = carpeta + "/shell.db";
  CreaSQLite(base, kEmpleadoSQLite);
  CreaSQLite(baseShell, kEmpleadoSQLite);
  const std::string importaCsv =
      "'CREATE TABLE Etapa (c1, c2, c3, c4, c5, c6, c7, c8, c9, c10)' '.mode csv' '.import " + csv +
      " Etapa' ";
  const std::string inserta =
      std::string("INSERT INTO Empleado (") + kColumnas + ") SELECT * FROM Etapa";
  if (existentes) {
    // Both tables start with every key (the first pass), outside the timing.
    EscribeDatos(n, 0, fuente, csv);
    for (const std::string& b : {base, baseShell})
      Shell(Sqlite3(b, importaCsv + Comillas(inserta) + " 'DROP TABLE Etapa'"));
  }
  EscribeDatos(n, existentes ? 7 : 0, fuente, csv);
  Motor m = Importa(carpeta, Definiciones("Provider=SQLite;Data Source=" + base, "Empleado", fuente,
                                          indice, ColumnasEmpleado()));
  const std::string baseOrden = existentes ? std::string("INSERT OR REPLACE INTO Empleado (") +
                                                 kColumnas + ") SELECT * FROM Etapa"
                                           : inserta;
  const double shell =
      Cronometra([&] { Shell(Sqlite3(baseShell, importaCsv + Comillas(baseOrden))); });
  Linea(std::string(existentes ? "SQLite, claves existentes" : "SQLite, registros nuevos") +
            (indice.find(',') != std::string::npos ? ", llave doble" : ""),
        n, m, existentes ? "INSERT OR REPLACE por etapa" : "sqlite3 .import", shell);
  return 0;
}

std::string Psql(const std::string& comandos) {
  std::string psql = "psql";
  const char* dir = std::getenv("VARLODI_PG_BINDIR");
  if (dir && *dir)
    psql = std::string(dir) + "/psql";
  else if (fs::exists("/usr/lib/postgresql/15/bin/psql"))
    psql = "/usr/lib/postgresql/15/bin/psql";
  const char* puerto = std::getenv("VARLODI_PG_PORT");
  return psql + " -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p " + (puerto ? puerto : "5432") +
         " -U varlodi varlodi " + comandos + " >/dev/null";
}

int PgEmpleado(long n, const std::string& carpeta, bool existentes, bool nativo,
               const std::string& indice = "ID_Empleado") {
  const char* base = std::getenv(nativo ? "VARLODI_PG_NATIVO" : "VARLODI_PG_ODBC");
  if (!base || !std::getenv("VARLODI_PG_PORT")) {
    std::cerr << "bench: sin " << (nativo ? "VARLODI_PG_NATIVO" : "VARLODI_PG_ODBC")
              << "/VARLODI_PG_PORT, se omite PostgreSQL\n";
    return 0;
  }
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  const std::string esquema = "bench_" + std::to_string(::getpid());
  const std::string cadena =
      std::string(base) +
      (nativo ? "options=-c search_path=" : "ConnSettings=SET search_path TO ") + esquema + ";";
  const std::string copia =
      "\\copy Empleado (" + std::string(kColumnas) + ") from '" + csv + "' with (format csv)";
  auto ejecuta = [&](const std::string& orden) {
    Shell("PGOPTIONS='-c search_path=" + esquema + "' " + Psql("-c " + Comillas(orden)));
  };
  Shell(Psql("-c " + Comillas("CREATE SCHEMA " + esquema)));
  ejecuta(kEmpleadoPg);
  if (existentes) {
    EscribeDatos(n, 0, fuente, csv);
    ejecuta(copia);
    ejecuta("VACUUM ANALYZE Empleado");
  }
  EscribeDatos(n, existentes ? 7 : 0, fuente, csv);
  Motor m = Importa(carpeta, Definiciones(cadena, "Empleado", fuente, indice, ColumnasEmpleado()));

  // The baseline on the same table as it was before the engine ran.
  ejecuta("TRUNCATE Empleado");
  if (existentes) {
    EscribeDatos(n, 0, fuente, csv);
    ejecuta(copia);
    ejecuta("VACUUM ANALYZE Empleado");
    EscribeDatos(n, 7, fuente, csv);
  }
  double referencia = 0;
  if (!existentes) {
    referencia = Cronometra([&] { ejecuta(copia); });
  } else {
    std::string actualiza;
    for (const char* c : {"Nombre", "Edad", "NumeroTarjeta", "Activo", "FechaAlta", "Sueldo",
                          "ID_Nivel0", "ID_Nivel1", "ID_Nivel2"})
      actualiza += std::string(actualiza.empty() ? "" : ", ") + c + " = excluded." + c;
    const std::string guion = carpeta + "/upsert.sql";
    std::ofstream(guion) << "BEGIN;\nCREATE TEMP TABLE Etapa (LIKE Empleado) ON COMMIT DROP;\n"
                         << "\\copy Etapa (" << kColumnas << ") from '" << csv
                         << "' with (format csv)\nINSERT INTO Empleado (" << kColumnas
                         << ") SELECT " << kColumnas
                         << " FROM Etapa ON CONFLICT (ID_Empleado) DO UPDATE SET " << actualiza
                         << ";\nCOMMIT;\n";
    referencia = Cronometra([&] {
      Shell("PGOPTIONS='-c search_path=" + esquema + "' " + Psql("-f " + Comillas(guion)));
    });
  }
  Shell(Psql("-c " + Comillas("DROP SCHEMA " + esquema + " CASCADE") + " 2>/dev/null"));
  const std::string via = nativo ? "PostgreSQL libpq, " : "PostgreSQL ODBC, ";
  Linea(via + (existentes ? "claves existentes" : "registros nuevos") +
            (indice.find(',') != std::string::npos ? ", llave doble" : ""),
        n, m, existentes ? "INSERT ON CONFLICT por etapa" : "psql \\copy", referencia);
  return 0;
}

// The same N records as a plain comma file and as a comma file quoted where
// needed: a name that holds a quote is data in the plain layout, and quoted
// with its quote doubled in the other.
void EscribeComas(long n, const std::string& plano, const std::string& citado) {
  std::ofstream p(plano, std::ios::binary), c(citado, std::ios::binary);
  for (long i = 1; i <= n; ++i) {
    const std::string nombre =
        i % 4 ? "Empleado " + std::to_string(i % 9973) : "Empleado \"" + std::to_string(i) + "\"";
    const std::string resto = "," + std::to_string(18 + i % 50) + "," + std::to_string(100000 + i) +
                              "," + (i % 3 ? "1" : "0") + "," + std::to_string(1990 + i % 30) +
                              "0" + std::to_string(1 + i % 9) + "1" + std::to_string(i % 9) + "," +
                              std::to_string(1000 + i % 90000) + ".50,N" + std::to_string(i % 40) +
                              ",M" + std::to_string(i % 7) + ",S" + std::to_string(i % 3) + "\r\n";
    p << i << "," << nombre << resto;
    std::string cita = nombre;
    if (cita.find('"') != std::string::npos) {
      cita.clear();
      for (char ch : nombre) cita += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      cita = "\"" + cita + "\"";
    }
    c << i << "," << cita << resto;
  }
}

std::string DefinicionesComas(const std::string& conexion, const std::string& fuente,
                              bool comillas) {
  std::string r = "[Opciones]\r\nReporteLog=1\r\n[Base de Datos]\r\nConexion=" + conexion +
                  "\r\n[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nOrigen=" + fuente +
                  "\r\nFormato=3\r\n" + (comillas ? "Comillas=\"\r\n" : "") +
                  "FormatoFecha=YYYYMMDD\r\nNombreIndice=ID_Empleado\r\nColumnas=10\r\n";
  int k = 0;
  for (const auto& c : kDisposicion)
    r += "CampoColumna" + std::to_string(++k) + "=" + c.campo + "\r\n";
  return r;
}

int ComasConComillas(long n, const std::string& carpeta) {
  const std::string plano = carpeta + "/plano.txt", citado = carpeta + "/citado.txt";
  EscribeComas(n, plano, citado);
  Motor mejor[2];
  for (int vuelta = 0; vuelta < 10; ++vuelta) {
    const bool conComillas = vuelta % 2;
    const std::string base = carpeta + "/comas" + std::to_string(vuelta) + ".db";
    CreaSQLite(base, kEmpleadoSQLite);
    Motor m = Importa(carpeta, DefinicionesComas("Provider=SQLite;Data Source=" + base,
                                                 conComillas ? citado : plano, conComillas));
    if (mejor[conComillas].segundos == 0 || m.segundos < mejor[conComillas].segundos)
      mejor[conComillas] = m;
    fs::remove(base);
  }
  Linea("SQLite, comas con Comillas", n, mejor[1], "las mismas comas sin Comillas",
        mejor[0].segundos);
  return 0;
}

// 10 000 records updating rows found by a DATETIME key, in a table of M rows.
int FechaLlave(long m, const std::string& carpeta) {
  constexpr long kRegistros = 10000;
  const std::string base = carpeta + "/fechas.db", fuente = carpeta + "/Marca.txt";
  CreaSQLite(base, "CREATE TABLE Marca (Fecha DATETIME NOT NULL PRIMARY KEY, Dato VARCHAR(20))");
  // One row a minute from 2000-01-01: M rows stored as the engine writes dates.
  Shell(Sqlite3(base, Comillas("WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c "
                               "WHERE x < " +
                               std::to_string(m - 1) +
                               ") INSERT INTO Marca SELECT strftime('%Y-%m-%d %H:%M:%S', "
                               "'2000-01-01', '+' || x || ' minutes'), 'viejo' FROM c")));
  {
    std::ofstream f(fuente, std::ios::binary);
    for (long i = 0; i < kRegistros; ++i) {
      // spread over the whole table, `m / kRegistros` minutes apart
      const long minuto = i * (m / kRegistros);
      const std::chrono::year_month_day dia{std::chrono::sys_days{std::chrono::year{2000} / 1 / 1} +
                                            std::chrono::days{minuto / 1440}};
      char fecha[40];
      std::snprintf(fecha, sizeof fecha, "%02u/%02u/%04d %02ld:%02ld:00",
                    static_cast<unsigned>(dia.day()), static_cast<unsigned>(dia.month()),
                    static_cast<int>(dia.year()), (minuto / 60) % 24, minuto % 60);
      f << Campo(fecha, 19) << Campo("nuevo " + std::to_string(i), 20) << "\r\n";
    }
  }
  Motor r =
      Importa(carpeta, Definiciones("Provider=SQLite;Data Source=" + base, "Marca", fuente, "Fecha",
                                    "Columnas=2\r\nCampoColumna1=Fecha\r\nLongitudColumna1=19\r\n"
                                    "CampoColumna2=Dato\r\nLongitudColumna2=20\r\n",
                                    "DD/MM/YYYY"));
  std::printf("%ld %.6f\n", m, r.segundos / kRegistros);
  std::fflush(stdout);
  return 0;
}

// An empty Empleado table of its own, made by `crea`: in a schema of its own
// on PostgreSQL (`pg`, a connection string; `odbc`: through ODBC), or in a
// SQLite file of its own when `pg` is empty. Dropped with the object.
class TablaAparte {
 public:
  TablaAparte(const std::string& carpeta, const std::string& nombre, const std::string& crea,
              const std::string& pg, bool odbc) {
    if (pg.empty()) {
      const std::string base = carpeta + "/" + nombre + ".db";
      CreaSQLite(base, crea.c_str());
      cadena_ = "Provider=SQLite;Data Source=" + base;
      return;
    }
    esquema_ = "bench_" + std::to_string(::getpid()) + "_" + nombre;
    Shell(Psql("-c " + Comillas("CREATE SCHEMA " + esquema_)));
    Shell("PGOPTIONS='-c search_path=" + esquema_ + "' " + Psql("-c " + Comillas(crea)));
    cadena_ = pg + (odbc ? "ConnSettings=SET search_path TO " : "options=-c search_path=") +
              esquema_ + ";";
  }
  TablaAparte(const TablaAparte&) = delete;
  TablaAparte& operator=(const TablaAparte&) = delete;
  ~TablaAparte() {
    if (esquema_.empty()) return;
    const std::string quita = Psql("-c " + Comillas("DROP SCHEMA " + esquema_ + " CASCADE"));
    if (std::system((quita + " 2>/dev/null").c_str()) != 0)
      std::cerr << "bench: no se pudo quitar el esquema " << esquema_ << "\n";
  }
  const std::string& Cadena() const { return cadena_; }

 private:
  std::string esquema_, cadena_;
};

// The same new records into a table with a hierarchy column (the units of
// ID_Nivel2 walked up "Jerarquias") or a picture column (one record in a
// hundred has its file), next to the same table without it; on SQLite, or
// natively on PostgreSQL (pictures only).
int ConExtras(long n, const std::string& carpeta, bool jerarquia, bool pg) {
  const char* nativo = std::getenv("VARLODI_PG_NATIVO");
  if (pg && (!nativo || !std::getenv("VARLODI_PG_PORT"))) {
    std::cerr << "bench: sin VARLODI_PG_NATIVO/VARLODI_PG_PORT, se omite PostgreSQL\n";
    return 0;
  }
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  EscribeDatos(n, 0, fuente, csv);
  std::string columnas = ColumnasEmpleado();
  if (jerarquia) {
    columnas += "Jerarquia unica en columna=10\r\n";
  } else {
    // a one-character picture column, always empty: the file decides
    std::ifstream in(fuente, std::ios::binary);
    std::ofstream out(fuente + ".foto", std::ios::binary);
    for (std::string linea; std::getline(in, linea);)
      out << linea.substr(0, linea.size() - 1) << " \r\n";
    columnas.replace(columnas.find("Columnas=10"), 11, "Columnas=11");
    columnas += "CampoColumna11=Foto\r\nLongitudColumna11=1\r\n";
    fs::create_directories(carpeta + "/Empleado_Foto");
    for (long i = 1; i <= n; i += 100)
      std::ofstream(carpeta + "/Empleado_Foto/" + std::to_string(i) + ".jpg", std::ios::binary)
          << std::string(2000, 'j');
  }
  Motor m[2];
  for (int con = 0; con < 2; ++con) {
    const TablaAparte tabla(carpeta, "extras" + std::to_string(con),
                            pg ? kEmpleadoPg : kEmpleadoSQLite, pg ? nativo : "", false);
    const std::string& cadena = tabla.Cadena();
    if (jerarquia) {
      auto cn = db::Conexion::Abre(cadena);
      cn->Execute("CREATE TABLE Jerarquias (Key VARCHAR(20) PRIMARY KEY, Parent VARCHAR(20))");
      cn->Execute(
          "INSERT INTO Jerarquias VALUES ('_2S0', '_1M0'), ('_2S1', '_1M1'), "
          "('_2S2', '_1M2'), ('_1M0', '_0N0'), ('_1M1', '_0N1'), ('_1M2', '_0N2')");
    }
    m[con] = Importa(carpeta,
                     Definiciones(cadena, "Empleado", con && !jerarquia ? fuente + ".foto" : fuente,
                                  "ID_Empleado", con ? columnas : ColumnasEmpleado()));
  }
  Linea(std::string(pg ? "PostgreSQL libpq" : "SQLite") +
            (jerarquia ? ", con columna de jerarquía" : ", con columna de foto"),
        n, m[1], "la misma tabla sin ella", m[0].segundos);
  return 0;
}

// A key on two consecutive lines against the same number of lines of
// distinct keys, each into an empty table.
int Repetidas(long n, const std::string& carpeta, bool pg) {
  const char* odbc = std::getenv("VARLODI_PG_ODBC");
  if (pg && (!odbc || !std::getenv("VARLODI_PG_PORT"))) {
    std::cerr << "bench: sin VARLODI_PG_ODBC/VARLODI_PG_PORT, se omite PostgreSQL\n";
    return 0;
  }
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  Motor m[2];
  for (long porLlave : {1L, 2L}) {
    EscribeDatos(n, 0, fuente, csv, porLlave);
    const TablaAparte tabla(carpeta, "repetidas" + std::to_string(porLlave),
                            pg ? kEmpleadoPg : kEmpleadoSQLite, pg ? odbc : "", true);
    m[porLlave - 1] = Importa(carpeta, Definiciones(tabla.Cadena(), "Empleado", fuente,
                                                    "ID_Empleado", ColumnasEmpleado()));
  }
  Linea(std::string(pg ? "PostgreSQL ODBC" : "SQLite") + ", cada llave en dos líneas", n, m[1],
        "una llave por línea", m[0].segundos);
  return 0;
}

// The connection string of `motor` ("sqlite": empty, "pg": through ODBC,
// "pgnativo"); nullptr, said, when it is not set.
const char* CadenaDe(const std::string& motor) {
  const char* pg =
      motor == "sqlite" ? "" : std::getenv(motor == "pg" ? "VARLODI_PG_ODBC" : "VARLODI_PG_NATIVO");
  if (pg && (!*pg || std::getenv("VARLODI_PG_PORT"))) return pg;
  std::cerr << "bench: sin la cadena de PostgreSQL o VARLODI_PG_PORT, se omite PostgreSQL\n";
  return nullptr;
}
// The name of that path in the figures.
std::string Via(const std::string& motor) {
  return motor == "sqlite" ? "SQLite" : motor == "pg" ? "PostgreSQL ODBC" : "PostgreSQL libpq";
}

// A few lines the database refuses against none, each into an empty table.
int ConRechazos(long n, const std::string& carpeta, const std::string& motor) {
  const char* pg = CadenaDe(motor);
  if (!pg) return 0;
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  EscribeDatos(n, 0, fuente, csv);
  Motor m[2];
  for (int conCheck = 0; conCheck < 2; ++conCheck) {
    std::string esquema = motor == "sqlite" ? kEmpleadoSQLite : kEmpleadoPg;
    if (conCheck) esquema.replace(esquema.size() - 1, 1, ", CHECK (NumeroTarjeta % 5000 <> 0))");
    const TablaAparte tabla(carpeta, "rechazos" + std::to_string(conCheck), esquema, pg,
                            motor == "pg");
    m[conCheck] =
        Importa(carpeta,
                Definiciones(tabla.Cadena(), "Empleado", fuente, "ID_Empleado", ColumnasEmpleado()),
                conCheck ? n / 5000 : 0);
  }
  Linea(Via(motor) + ", una línea rechazada en 5000", n, m[1], "la misma tabla sin rechazos",
        m[0].segundos);
  return 0;
}

// A table in one transaction: a reload of a table that holds every key, or
// a dry run (`simulada`), next to the same lines imported for real into an
// empty table.
int EnUnaTransaccion(long n, const std::string& carpeta, const std::string& motor, bool simulada) {
  const char* pg = CadenaDe(motor);
  if (!pg) return 0;
  const std::string fuente = carpeta + "/Empleado.txt", csv = carpeta + "/Empleado.csv";
  EscribeDatos(n, 0, fuente, csv);
  Motor m[2];
  for (int aparte = 0; aparte < 2; ++aparte) {
    const TablaAparte tabla(carpeta, "transaccion" + std::to_string(aparte),
                            motor == "sqlite" ? kEmpleadoSQLite : kEmpleadoPg, pg, motor == "pg");
    const std::string defs =
        Definiciones(tabla.Cadena(), "Empleado", fuente, "ID_Empleado", ColumnasEmpleado());
    const bool recarga = aparte && !simulada;
    if (recarga) Importa(carpeta, defs);  // the rows it replaces, outside the timing
    m[aparte] = Importa(carpeta, recarga ? defs + "Borrar antes de importar=1\r\n" : defs, 0,
                        aparte && simulada);
  }
  Linea(Via(motor) + (simulada ? ", simulación" : ", recarga"), n, m[1],
        simulada ? "la misma, de verdad" : "en la tabla vacía, sin borrar", m[0].segundos);
  return 0;
}

int UnaMedida(const std::string& caso, long n, const std::string& carpeta) {
  if (caso == "sqlite-nuevos") return SQLiteEmpleado(n, carpeta, false);
  if (caso == "sqlite-existentes") return SQLiteEmpleado(n, carpeta, true);
  if (caso == "pg-nuevos") return PgEmpleado(n, carpeta, false, false);
  if (caso == "pg-existentes") return PgEmpleado(n, carpeta, true, false);
  if (caso == "pgnativo-nuevos") return PgEmpleado(n, carpeta, false, true);
  if (caso == "pgnativo-existentes") return PgEmpleado(n, carpeta, true, true);
  // a key of an identifier and a date: new records only (a second pass
  // changes the date)
  if (caso == "sqlite-llave-doble")
    return SQLiteEmpleado(n, carpeta, false, "ID_Empleado,FechaAlta");
  if (caso == "pgnativo-llave-doble")
    return PgEmpleado(n, carpeta, false, true, "ID_Empleado,FechaAlta");
  if (caso == "fecha-llave") return FechaLlave(n, carpeta);
  if (caso == "comillas") return ComasConComillas(n, carpeta);
  if (caso == "sqlite-jerarquia") return ConExtras(n, carpeta, true, false);
  if (caso == "sqlite-foto") return ConExtras(n, carpeta, false, false);
  if (caso == "pgnativo-foto") return ConExtras(n, carpeta, false, true);
  if (caso == "sqlite-repetidas") return Repetidas(n, carpeta, false);
  if (caso == "pg-repetidas") return Repetidas(n, carpeta, true);
  if (caso == "sqlite-rechazos") return ConRechazos(n, carpeta, "sqlite");
  if (caso == "pg-rechazos") return ConRechazos(n, carpeta, "pg");
  if (caso == "pgnativo-rechazos") return ConRechazos(n, carpeta, "pgnativo");
  if (caso == "sqlite-recarga") return EnUnaTransaccion(n, carpeta, "sqlite", false);
  if (caso == "pg-recarga") return EnUnaTransaccion(n, carpeta, "pg", false);
  if (caso == "pgnativo-recarga") return EnUnaTransaccion(n, carpeta, "pgnativo", false);
  if (caso == "sqlite-simulada") return EnUnaTransaccion(n, carpeta, "sqlite", true);
  if (caso == "pg-simulada") return EnUnaTransaccion(n, carpeta, "pg", true);
  if (caso == "pgnativo-simulada") return EnUnaTransaccion(n, carpeta, "pgnativo", true);
  std::cerr << "bench: caso desconocido " << caso << "\n";
  return 2;
}

// Runs one measure in a child process in a folder of its own; its output.
std::string EnProcesoPropio(const std::string& caso, long n) {
  const std::string yo = fs::read_symlink("/proc/self/exe").string();
  fs::path carpeta =
      fs::temp_directory_path() /
      ("varlodi-bench-" + caso + "-" + std::to_string(n) + "-" + std::to_string(::getpid()));
  fs::create_directories(carpeta);
  const std::string orden =
      Comillas(yo) + " --una " + caso + " " + std::to_string(n) + " " + Comillas(carpeta.string());
  std::string salida;
  if (FILE* p = ::popen(orden.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) salida += buf;
    if (::pclose(p) != 0) salida = "!" + salida;
  }
  fs::remove_all(carpeta);
  return salida;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--una")
    return UnaMedida(argv[2], std::atol(argv[3]), argv[4]);
  if (argc < 3 || argc % 2 == 0) {
    std::cerr << "uso: bench_importa_tablas CASO N [CASO N ...]\n";
    return 2;
  }
  std::printf("%-34s %9s  %11s  %-28s %11s  %5s  %11s  %6s\n", "trabajo", "registros", "VarloDI",
              "referencia", "", "razón", "pico VarloDI", "µs CPU");
  int fallos = 0;
  std::vector<std::pair<long, double>> fechas;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string caso = argv[i];
    const long n = std::atol(argv[i + 1]);
    std::string salida = EnProcesoPropio(caso, n);
    if (!salida.empty() && salida[0] == '!') {
      ++fallos;
      salida.erase(0, 1);
    }
    if (caso == "fecha-llave") {
      long m = 0;
      double s = 0;
      if (std::sscanf(salida.c_str(), "%ld %lf", &m, &s) == 2) fechas.emplace_back(m, s);
      continue;
    }
    std::fputs(salida.c_str(), stdout);
    std::fflush(stdout);
  }
  // The first table size is the baseline of the others.
  for (const auto& [m, s] : fechas)
    std::printf("%-34s %9ld  %9.0f/s  %-28s %9.0f/s  %5.2f\n",
                ("llave de fecha, tabla de " + std::to_string(m)).c_str(), 10000L, 1 / s,
                ("tabla de " + std::to_string(fechas[0].first)).c_str(), 1 / fechas[0].second,
                fechas[0].second / s);
  return fallos == 0 ? 0 : 1;
}
