// The batch size changes only the number of transactions: one record at a
// time, two, or the default, the same random file gives the same rows, the
// same result files, the same summary and the same exit status; so too for
// tables reloaded in one transaction each, whose dry run gives their
// verdicts and leaves every row as it was.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

// Bad values (a number that is not one, a name too long, a date that does
// not exist), keys that repeat (also as "007" for 7, or in another letter
// case), a UNIQUE code and a CHECK the database enforces.
std::string CreaProp(MotorPrueba m) {
  return std::string(
             "CREATE TABLE Prop (ID INT NOT NULL PRIMARY KEY, Codigo VARCHAR(6) UNIQUE, "
             "Nombre VARCHAR(8), Monto INT CHECK (Monto >= 0), Fecha ") +
         (m == MotorPrueba::SQLite ? "DATETIME" : "TIMESTAMP") + ")";
}
constexpr const char* kCreaClave =
    "CREATE TABLE Clave (Codigo CHAR(10) NOT NULL PRIMARY KEY, Nombre VARCHAR(8))";
// A key compared without regard to case (and to accents on PostgreSQL),
// with no unique index to refuse a second row for it.
std::string CreaSuelta(MotorPrueba m) {
  return std::string("CREATE TABLE Suelta (Codigo VARCHAR(10) COLLATE ") +
         (m == MotorPrueba::SQLite ? "NOCASE" : "ci") + ", Nombre VARCHAR(8))";
}

// A key of a text and a date, the date written with or without its time
// (or not a date at all).
std::string CreaJornada(MotorPrueba m) {
  return std::string("CREATE TABLE Jornada (Empleado VARCHAR(6) NOT NULL, Dia ") +
         (m == MotorPrueba::SQLite ? "DATETIME" : "TIMESTAMP") +
         " NOT NULL, Horas INT, PRIMARY KEY (Empleado, Dia))";
}

// The source lines of each table, by its name.
using Corpus = std::map<std::string, V>;

// Each table, its key and the columns defined and read back.
const std::tuple<const char*, const char*, V> kTablas[] = {
    {"Prop", "ID", {"ID", "Codigo", "Nombre", "Monto", "Fecha"}},
    {"Clave", "Codigo", {"Codigo", "Nombre"}},
    {"Suelta", "Codigo", {"Codigo", "Nombre"}},
    {"Jornada", "Empleado,Dia", {"Empleado", "Dia", "Horas"}}};

// `n` lines of Prop and n / 2 of each other table; past a thousand lines the
// default batch prepares them in parts, and keys repeat across parts.
Corpus Genera(unsigned semilla, int n) {
  std::mt19937 azar(semilla);
  auto entre = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(azar); };
  auto nombre = [&] {
    std::string s;
    for (int i = entre(0, 10); i > 0; --i) s += static_cast<char>('a' + entre(0, 25));
    return s;
  };
  Corpus c;
  for (int i = 0; i < n; ++i) {
    const int r = entre(0, 99), id = entre(1, std::max(60, n / 4));
    std::string l = r < 6    ? "x" + std::to_string(id)
                    : r < 20 ? (id < 10 ? "00" : "0") + std::to_string(id)
                             : std::to_string(id);
    l += "," + (entre(0, 9) < 7 ? "C" + std::to_string(entre(1, 90)) : std::string());
    l += "," + nombre();
    const int m = entre(0, 19);
    l += "," + (m == 0   ? std::string("abc")
                : m == 1 ? std::string()
                         : std::to_string(entre(-4, 300)));
    const int f = entre(0, 19);
    char fecha[16];
    std::snprintf(fecha, sizeof fecha, "%02d/%02d/%04d", entre(1, 28), entre(1, 12),
                  entre(1990, 2030));
    l += "," + (f == 0   ? std::string("31/02/2020")
                : f == 1 ? std::string("ab/cd/efgh")
                : f == 2 ? std::string()
                         : std::string(fecha));
    c["Prop"].push_back(l);
  }
  const V pool = {"abc", "ABC", "Abc", "x1", "X1", "007", "7", "peña", "PEÑA", "pena"};
  for (int i = 0; i < n / 2; ++i) {
    std::string k = entre(0, 1) ? pool[entre(0, static_cast<int>(pool.size()) - 1)]
                                : "k" + std::to_string(entre(1, std::max(30, n / 8)));
    if (entre(0, 29) == 0) k = "muy larga clave";
    c["Clave"].push_back(k + "," + nombre());
  }
  const V parecidas = {"peña", "PEÑA", "pena", "Pena", "ab-c", "abc", "Ó", "o", "x1", "X1"};
  for (int i = 0; i < n / 2; ++i)
    c["Suelta"].push_back(parecidas[entre(0, static_cast<int>(parecidas.size()) - 1)] + "," +
                          nombre());
  const V empleados = {"e1", "E1", "e2", "e3", "", "e10"};
  for (int i = 0; i < n / 2; ++i) {
    char dia[32];
    std::snprintf(dia, sizeof dia, "%02d/03/2024", entre(1, 6));
    std::string d = dia;
    const int forma = entre(0, 19);
    if (forma < 4) d += " 08:00:00";
    if (forma == 4) d = "31/02/2024";
    if (forma == 5) d = "2024-03-01";
    c["Jornada"].push_back(empleados[entre(0, static_cast<int>(empleados.size()) - 1)] + "," + d +
                           "," + (entre(0, 9) ? std::to_string(entre(0, 12)) : "x"));
  }
  return c;
}

// What a run left: its status and summaries, and by table its rows and
// result files.
struct Desenlace {
  int salida = -1;
  std::map<std::string, Filas> filas, antes;
  std::map<std::string, V> ok, er;
  V resumenes;
};

// `recarga`: every table "Borrar antes de importar"; `simula`: a dry run,
// whose result files are read.
Desenlace Corre(MotorPrueba motor, const Corpus& c, long lote, bool recarga = false,
                bool simula = false) {
  EntornoImportacion e(motor);
  e.Base().Execute(CreaProp(motor));
  e.Base().Execute(kCreaClave);
  if (motor != MotorPrueba::SQLite)
    e.Base().Execute(
        "CREATE COLLATION ci (provider = icu, locale = 'und-u-ks-level1', deterministic = false)");
  e.Base().Execute(CreaSuelta(motor));
  e.Base().Execute(CreaJornada(motor));
  // a date at midnight as another tool may have stored it: without its time
  e.Base().Execute("INSERT INTO Jornada (Empleado, Dia, Horas) VALUES ('e1', '2024-03-02', 1)");
  e.Base().Execute("INSERT INTO Suelta (Codigo, Nombre) VALUES ('X1', 'previo')");
  e.Base().Execute("INSERT INTO Prop (ID, Codigo, Nombre, Monto) VALUES (5, 'C5', 'previo', 1)");
  e.Base().Execute("INSERT INTO Clave (Codigo, Nombre) VALUES ('abc', 'previo')");
  V nombres;
  std::string secciones;
  for (const auto& [tabla, llave, columnas] : kTablas) {
    nombres.push_back(tabla);
    secciones +=
        e.Seccion(tabla, llave, columnas) + (recarga ? "Borrar antes de importar=1\r\n" : "");
    e.Fuente(tabla + std::string(".txt"), c.at(tabla));
  }
  e.Definiciones(ListaTablas(nombres) + secciones);
  Desenlace d;
  for (const auto& [tabla, llave, columnas] : kTablas) d.antes[tabla] = e.Lee(tabla, columnas);
  Corrida::Opciones o = Lote(lote);
  o.simular = simula;
  d.salida = e.Importa(o);
  const std::string marca = simula ? "_Simulado" : "";
  for (const auto& [tabla, llave, columnas] : kTablas) {
    d.filas[tabla] = e.Lee(tabla, columnas);
    d.ok[tabla] = e.Resultado(tabla + marca + "_Ok.txt");
    d.er[tabla] = e.Resultado(tabla + marca + "_Er.txt");
  }
  d.resumenes = e.Resumenes();
  return d;
}

// At two records a batch and at the default, what `uno` gave at one.
void OtrosLotesDanLoMismo(MotorPrueba motor, const Corpus& c, const Desenlace& uno, bool recarga) {
  for (long lote : {2L, 0L}) {
    SCOPED_TRACE("lote " + std::to_string(lote));
    const Desenlace otro = Corre(motor, c, lote, recarga);
    EXPECT_EQ(otro.salida, uno.salida);
    EXPECT_EQ(otro.resumenes, uno.resumenes);
    for (const auto& [tabla, llave, columnas] : kTablas) {
      SCOPED_TRACE(tabla);
      EXPECT_EQ(otro.filas.at(tabla), uno.filas.at(tabla));
      EXPECT_EQ(otro.ok.at(tabla), uno.ok.at(tabla));
      EXPECT_EQ(otro.er.at(tabla), uno.er.at(tabla));
    }
  }
}

class EquivalenciaEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(EquivalenciaEn, ElTamanoDelLoteNoCambiaElDesenlace) {
  for (const auto& [semilla, n] : {std::pair{11u, 160}, {2024u, 160}, {777u, 160}, {5u, 2100}}) {
    SCOPED_TRACE("semilla " + std::to_string(semilla) + ", " + std::to_string(n) + " líneas");
    const Corpus c = Genera(semilla, n);
    const Desenlace uno = Corre(GetParam(), c, 1);
    // the corpus does reach every kind of verdict
    ASSERT_EQ(uno.salida, 1);
    ASSERT_GT(uno.ok.at("Prop").size(), 20u);
    ASSERT_GT(uno.er.at("Prop").size(), 20u);
    ASSERT_GE(uno.ok.at("Prop").size() + uno.er.at("Prop").size(), c.at("Prop").size());
    ASSERT_GT(uno.filas.at("Clave").size(), 10u);
    ASSERT_FALSE(uno.er.at("Clave").empty());
    ASSERT_GT(uno.filas.at("Jornada").size(), 10u);
    ASSERT_FALSE(uno.er.at("Jornada").empty());
    OtrosLotesDanLoMismo(GetParam(), c, uno, false);
  }
}

TEST_P(EquivalenciaEn, UnaRecargaYSuSimulacionNoDependenDelLote) {
  for (const auto& [semilla, n] : {std::pair{2024u, 160}, {5u, 2100}}) {
    SCOPED_TRACE("semilla " + std::to_string(semilla) + ", " + std::to_string(n) + " líneas");
    const Corpus c = Genera(semilla, n);
    const Desenlace uno = Corre(GetParam(), c, 1, true);
    ASSERT_EQ(uno.salida, 1);
    ASSERT_GT(uno.er.at("Prop").size(), 20u);
    // the rows stored before are gone, a line's own added again
    ASSERT_NE(uno.filas.at("Clave"), uno.antes.at("Clave"));
    OtrosLotesDanLoMismo(GetParam(), c, uno, true);
    const Desenlace simulada = Corre(GetParam(), c, 0, true, true);
    EXPECT_EQ(simulada.salida, uno.salida);
    for (const auto& [tabla, llave, columnas] : kTablas) {
      SCOPED_TRACE(tabla);
      EXPECT_EQ(simulada.filas.at(tabla), simulada.antes.at(tabla));
      EXPECT_EQ(simulada.ok.at(tabla), uno.ok.at(tabla));
      EXPECT_EQ(simulada.er.at(tabla), uno.er.at(tabla));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Motores, EquivalenciaEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
