// Lookup-plus-update round trips per second through the database layer
// (open a one-row query by key, assign a text, Update), on SQLite and, when
// VARLODI_PG_ODBC names a cluster, on PostgreSQL through ODBC (and natively
// through libpq when VARLODI_PG_NATIVO names it too); next to the
// same work done directly in the same run: the sqlite3 shell running the
// same statements, and pgbench.
//
//   bench_capa_datos [N_SQLITE [N_POSTGRES]]     (defaults 20000 and 5000)
//
// Needs `sqlite3` on the PATH and, for PostgreSQL, VARLODI_PG_PORT and
// pgbench (on the PATH or in VARLODI_PG_BINDIR).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/CadenaConexion.h"
#include "db/Conexion.h"
#include "db/Consulta.h"
#include "db/Recordset.h"

namespace fs = std::filesystem;
using varlo::ErrorVarlo;
using varlo::IgualSinCaso;
using namespace varlo::db;

namespace {

constexpr int kClaves = 1000;  // rows in the table; every lookup finds one

std::string Clave(int i) {
  char texto[16];
  std::snprintf(texto, sizeof texto, "E%05d", i % kClaves + 1);
  return texto;
}

struct Resultado {
  std::string backend;
  long n = 0;
  double segundos = 0;
  std::optional<double> base;            // ops/s of the direct baseline
  std::optional<double> segundosNativo;  // PostgreSQL: the same work through libpq
};

double Cronometra(const auto& trabajo) {
  const auto inicio = std::chrono::steady_clock::now();
  trabajo();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
}

// The layer's round trip, as the table import does it for every record.
void IdaYVuelta(Conexion& cn, long n) {
  Consulta c;
  c.tabla = "BenchEmpleado";
  Predicado p;
  p.columna = "ID_Empleado";
  p.clase = ClaseLiteral::Texto;
  c.condiciones.push_back(p);
  for (long i = 0; i < n; ++i) {
    c.condiciones[0].valor = Clave(static_cast<int>(i));
    std::unique_ptr<Recordset> rs = cn.AbreConsulta(c, 1);
    if (rs->EOF_()) throw ErrorVarlo(1, "bench", "no se encontró " + Clave(static_cast<int>(i)));
    rs->AsignaTexto(rs->IndiceCampo("Nombre"), "Nombre " + std::to_string(i));
    rs->Update();
    rs->Close();
  }
}

std::string Comillas(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

// Runs a shell command; false when it did not end well.
bool Ejecuta(const std::string& orden) {
  return std::system(orden.c_str()) == 0;
}

Resultado BenchSQLite(const fs::path& carpeta, long n) {
  const fs::path archivo = carpeta / "bench.db";
  {
    std::ofstream vacio(
        archivo);  // the layer opens existing files only; an empty one is a database
  }
  {
    auto cn = Conexion::Abre("Provider=SQLite;Data Source=" + archivo.string());
    cn->Execute(
        "create table BenchEmpleado (ID_Empleado CHAR(15) primary key, Nombre VARCHAR(50), "
        "Dato INTEGER)");
    cn->Execute(
        "insert into BenchEmpleado with recursive c(x) as (select 1 union all select x + 1 "
        "from c where x < " +
        std::to_string(kClaves) + ") select printf('E%05d', x), 'n', x from c");
  }
  Resultado r{"SQLite", n, 0, std::nullopt, std::nullopt};
  auto cn = Conexion::Abre("Provider=SQLite;Data Source=" + archivo.string());
  // The shell must sync its commits as the layer does, or the figures are
  // about the disk rather than the layer.
  Consulta sincronia;
  sincronia.tabla = "pragma_synchronous";
  const std::string sincroniaCapa = cn->AbreConsulta(sincronia, 1)->Texto(0);
  r.segundos = Cronometra([&] { IdaYVuelta(*cn, n); });
  cn->Close();

  // The same statements through the shell, each in its own transaction as
  // the layer does them.
  const fs::path guion = carpeta / "bench_sqlite.sql";
  {
    std::ofstream s(guion);
    s << "PRAGMA journal_mode=WAL;\nPRAGMA synchronous=" << sincroniaCapa << ";\n";
    for (long i = 0; i < n; ++i) {
      const std::string k = Clave(static_cast<int>(i));
      s << "select * from BenchEmpleado where ID_Empleado = '" << k << "' limit 1;\n"
        << "update BenchEmpleado set Nombre = 'Nombre " << i << "' where ID_Empleado = '" << k
        << "';\n";
    }
  }
  const std::string orden =
      "sqlite3 " + Comillas(archivo.string()) + " < " + Comillas(guion.string()) + " > /dev/null";
  bool bien = true;
  const double base = Cronometra([&] { bien = Ejecuta(orden); });
  if (bien)
    r.base = n / base;
  else
    std::cerr << "bench: el shell sqlite3 falló; sin referencia para SQLite\n";
  return r;
}

std::string Pgbench() {
  if (const char* dir = std::getenv("VARLODI_PG_BINDIR"))
    return (fs::path(dir) / "pgbench").string();
  if (fs::exists("/usr/lib/postgresql/15/bin/pgbench")) return "/usr/lib/postgresql/15/bin/pgbench";
  return "pgbench";
}

Resultado BenchPostgres(const fs::path& carpeta, const std::string& cadenaBase, long n) {
  std::string cadena = cadenaBase;
  if (!cadena.empty() && cadena.back() != ';') cadena += ';';
  std::random_device azar;
  const std::string esquema = "bench_" + std::to_string(azar() % 1000000000u);
  {
    auto cn = Conexion::Abre(cadena);
    cn->Execute("create schema " + esquema);
    cn->Execute(
        "create table " + esquema +
        ".BenchEmpleado (ID_Empleado char(15) primary key, Nombre varchar(50), Dato integer)");
    cn->Execute(
        "insert into " + esquema +
        ".BenchEmpleado select 'E' || lpad(x::text, 5, '0'), 'n', x from generate_series(1, " +
        std::to_string(kClaves) + ") x");
  }
  Resultado r{"PostgreSQL (ODBC)", n, 0, std::nullopt, std::nullopt};
  try {
    auto cn = Conexion::Abre(cadena + "ConnSettings=set search_path to " + esquema + ";");
    r.segundos = Cronometra([&] { IdaYVuelta(*cn, n); });
    cn->Close();
    // the same work natively, on the same table
    if (const char* nativo = std::getenv("VARLODI_PG_NATIVO"); nativo && *nativo) {
      std::string cadenaNativa = nativo;
      if (cadenaNativa.back() != ';') cadenaNativa += ';';
      auto pq = Conexion::Abre(cadenaNativa + "options=-c search_path=" + esquema + ";");
      r.segundosNativo = Cronometra([&] { IdaYVuelta(*pq, n); });
    }

    const char* puerto = std::getenv("VARLODI_PG_PORT");
    if (puerto == nullptr) {
      std::cerr << "bench: VARLODI_PG_PORT no está definida; sin referencia de pgbench\n";
    } else {
      const fs::path guion = carpeta / "bench_pg.sql";
      {
        std::ofstream s(guion);
        // The key compared as char(15), as the bound parameter is: compared as
        // text it would miss the index.
        const std::string clave = "('E' || lpad(:k::text, 5, '0'))::char(15)";
        s << "\\set k random(1, " << kClaves << ")\n"
          << "select * from " << esquema << ".BenchEmpleado where ID_Empleado = " << clave
          << " limit 1;\n"
          << "update " << esquema
          << ".BenchEmpleado set Nombre = 'Nombre ' || :k where ID_Empleado = " << clave << ";\n";
      }
      // The server, role and database the ODBC string names; prepared
      // statements and one connection, as the layer works.
      std::string servidor = "127.0.0.1", usuario, baseDatos, clave;
      for (const auto& [k, v] : LeePares(cadenaBase)) {
        if (IgualSinCaso(k, "Server") || IgualSinCaso(k, "Servername")) servidor = v;
        if (IgualSinCaso(k, "Uid") || IgualSinCaso(k, "Username")) usuario = v;
        if (IgualSinCaso(k, "Database")) baseDatos = v;
        if (IgualSinCaso(k, "Pwd") || IgualSinCaso(k, "Password")) clave = v;
      }
      const std::string orden = "PGPASSWORD=" + Comillas(clave) + " " + Comillas(Pgbench()) +
                                " -n -M prepared -h " + Comillas(servidor) + " -p " +
                                Comillas(puerto) + " -U " + Comillas(usuario) + " -f " +
                                Comillas(guion.string()) + " -t " + std::to_string(n) + " " +
                                Comillas(baseDatos) + " > /dev/null 2>&1";
      bool bien = true;
      const double base = Cronometra([&] { bien = Ejecuta(orden); });
      if (bien)
        r.base = n / base;
      else
        std::cerr << "bench: pgbench falló; sin referencia para PostgreSQL\n";
    }
  } catch (...) {
    Conexion::Abre(cadena)->Execute("drop schema " + esquema + " cascade");
    throw;
  }
  Conexion::Abre(cadena)->Execute("drop schema " + esquema + " cascade");
  return r;
}

void Imprime(const Resultado& r) {
  char base[32] = "-";
  if (r.base) std::snprintf(base, sizeof base, "%.0f", *r.base);
  std::printf("%-20s %8ld %9.3f %10.0f %14s\n", r.backend.c_str(), r.n, r.segundos,
              r.n / r.segundos, base);
  if (r.segundosNativo)
    std::printf("%-20s %8ld %9.3f %10.0f %14s\n", "PostgreSQL (libpq)", r.n, *r.segundosNativo,
                r.n / *r.segundosNativo, base);
}

}  // namespace

int main(int argc, char** argv) {
  const long nSQLite = argc > 1 ? std::atol(argv[1]) : 20000;
  const long nPostgres = argc > 2 ? std::atol(argv[2]) : 5000;
  if (nSQLite <= 0 || nPostgres <= 0) {
    std::cerr << "uso: bench_capa_datos [N_SQLITE [N_POSTGRES]]\n";
    return 2;
  }
  const fs::path carpeta =
      fs::temp_directory_path() / ("varlodi-bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(carpeta);
  int salida = 0;
  try {
    std::printf("%-20s %8s %9s %10s %14s\n", "backend", "N", "seconds", "ops/s", "baseline ops/s");
    Imprime(BenchSQLite(carpeta, nSQLite));
    const char* pg = std::getenv("VARLODI_PG_ODBC");
    if (pg != nullptr && *pg != '\0') {
      Imprime(BenchPostgres(carpeta, pg, nPostgres));
    } else {
      std::printf("%-20s (VARLODI_PG_ODBC no está definida)\n", "PostgreSQL (ODBC)");
    }
  } catch (const ErrorVarlo& e) {
    std::cerr << varlo::LineaError(e) << "\n";
    salida = 1;
  }
  std::error_code ec;
  fs::remove_all(carpeta, ec);
  return salida;
}
