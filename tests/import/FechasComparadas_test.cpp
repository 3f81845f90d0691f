// Dates as people write them, judged by PostgreSQL: the same values read by
// the table import and by PostgreSQL's own date input (DateStyle in the
// mask's order, through psql) give the same day, and every value PostgreSQL
// refuses is a rejected record here.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "EntornoImportacion.h"
#include "support/Orden.h"

namespace varlo::prueba {
namespace {

struct Forma {
  const char* mascara;
  const char* estilo;  // PostgreSQL's DateStyle for the same order of parts
  // printf form of the day, month and year as the mask orders them
  const char* conCeros;
  const char* sinCeros;
  char orden[4];  // "DMY", "YMD", "MDY"
};

// Each mask the system reads, written with and without its zeros.
const std::vector<Forma>& Formas() {
  static const std::vector<Forma> r = {
      {"DD/MM/YYYY", "ISO, DMY", "%02d/%02d/%04d", "%d/%d/%d", "DMY"},
      {"D/M/YYYY", "ISO, DMY", "%02d/%02d/%04d", "%d/%d/%d", "DMY"},
      {"DD-MM-YYYY", "ISO, DMY", "%02d-%02d-%04d", "%d-%d-%d", "DMY"},
      {"DD.MM.YYYY", "ISO, DMY", "%02d.%02d.%04d", "%d.%d.%d", "DMY"},
      {"YYYY-MM-DD", "ISO, DMY", "%04d-%02d-%02d", "%d-%d-%d", "YMD"},
      {"YYYY/MM/DD", "ISO, DMY", "%04d/%02d/%02d", "%d/%d/%d", "YMD"},
      {"MM/DD/YYYY", "ISO, MDY", "%02d/%02d/%04d", "%d/%d/%d", "MDY"},
      {"YYYYMMDD", "ISO, DMY", "%04d%02d%02d", nullptr, "YMD"},
      // two-digit years: only those both windows agree on (below)
      {"DD/MM/YY", "ISO, DMY", "%02d/%02d/%02d", "%d/%d/%d", "DMY"},
  };
  return r;
}

std::string Escribe(const char* forma, const char* orden, int d, int m, int y) {
  int partes[3];
  for (int i = 0; i < 3; ++i) partes[i] = orden[i] == 'D' ? d : orden[i] == 'M' ? m : y;
  char b[64];
  std::snprintf(b, sizeof b, forma, partes[0], partes[1], partes[2]);
  return b;
}

// Days and months at the edges of their ranges, leap and common years. Day
// and month 0 are left out: here they leave the column as it was, where
// PostgreSQL refuses them (tested on their own below).
std::vector<std::string> Valores(const Forma& f) {
  const bool dosCifras = std::string(f.mascara).ends_with("/YY");
  // 30-69 are 1930-1969 here and 2030-2069 for PostgreSQL: left out
  const std::vector<int> anios = dosCifras ? std::vector<int>{0, 4, 10, 29, 70, 99}
                                           : std::vector<int>{1900, 2000, 2010, 2024, 2100};
  std::vector<std::string> r;
  for (int y : anios)
    for (int m : {1, 2, 4, 10, 12, 13})
      for (int d : {1, 5, 10, 28, 29, 30, 31, 32})
        for (const char* forma : {f.conCeros, f.sinCeros})
          if (forma) r.push_back(Escribe(forma, f.orden, d, m, y));
  if (std::string(f.mascara) == "YYYY-MM-DD") {
    // a date-time keeps its time
    r.push_back(Escribe("%d-%d-%dT08:30:00", "YMD", 5, 3, 2010));
    r.push_back(Escribe("%04d-%02d-%02dT23:59:59", "YMD", 29, 2, 2024));
  }
  return r;
}

TEST(FechasComparadas, ComoLasLeePostgreSqlYLoQueRechazaSeRechaza) {
  EntornoImportacion e;
  V tablas;
  std::string secciones;
  // "<table>|<id>" -> the value, and the peer's statement
  std::map<std::string, std::string> valores;
  std::string sql =
      "CREATE FUNCTION pg_temp.lee(t text, estilo text) RETURNS text AS $$\n"
      "BEGIN\n"
      "  PERFORM set_config('DateStyle', estilo, true);\n"
      "  RETURN to_char(t::timestamp, 'YYYY-MM-DD HH24:MI:SS');\n"
      "EXCEPTION WHEN others THEN RETURN 'rechazada';\n"
      "END $$ LANGUAGE plpgsql;\n";
  for (std::size_t k = 0; k < Formas().size(); ++k) {
    const Forma& f = Formas()[k];
    const std::string tabla = "F" + std::to_string(k + 1);
    tablas.push_back(tabla);
    e.Base().Execute("CREATE TABLE " + tabla + " (ID INT PRIMARY KEY, Fecha DATETIME)");
    secciones += "[" + tabla + "]\r\nOrigen=" + e.Archivo(tabla + ".txt") +
                 "\r\nFormato=3\r\nFormatoFecha=" + f.mascara +
                 "\r\nNombreIndice=ID\r\nColumnas=2\r\nCampoColumna1=ID\r\nCampoColumna2=Fecha\r\n";
    V lineas;
    sql +=
        "SELECT '" + tabla + "|' || n || '|' || pg_temp.lee(v, '" + f.estilo + "') FROM (VALUES ";
    const std::vector<std::string> vs = Valores(f);
    for (std::size_t i = 0; i < vs.size(); ++i) {
      const std::string id = std::to_string(i + 1);
      lineas.push_back(id + "," + vs[i]);
      valores[tabla + "|" + id] = vs[i];
      sql += (i ? ", (" : "(") + id + ", '" + vs[i] + "')";
    }
    sql += ") AS x(n, v);\n";
    e.Fuente(tabla + ".txt", lineas);
  }
  e.Definiciones(ListaTablas(tablas) + secciones);
  e.Importa();

  // What PostgreSQL made of each value.
  std::map<std::string, std::string> esperado;
  for (const std::string& l : PsqlGuion(e.Archivo("fechas.sql"), sql)) {
    const std::size_t corte = l.rfind('|');
    ASSERT_NE(corte, std::string::npos) << l;
    std::string fecha = l.substr(corte + 1);
    if (fecha.ends_with(" 00:00:00")) fecha.resize(10);
    esperado[l.substr(0, corte)] = fecha;
  }
  ASSERT_EQ(esperado.size(), valores.size());

  // What the import made of them: the stored date, or the record rejected.
  std::map<std::string, std::string> leido;
  std::size_t rechazadas = 0;
  for (const std::string& tabla : tablas) {
    for (const V& fila : e.Lee(tabla, {"ID", "Fecha"})) leido[tabla + "|" + fila[0]] = fila[1];
    for (const std::string& l : e.Resultado(tabla + "_Er.txt")) {
      const std::string clave = tabla + "|" + l.substr(0, l.find(','));
      EXPECT_EQ(leido.count(clave), 0u) << "rejected and stored: " << l;
      leido[clave] = "rechazada";
      ++rechazadas;
    }
  }
  for (const auto& [clave, fecha] : esperado)
    EXPECT_EQ(leido[clave], fecha) << clave << " '" << valores[clave] << "'";
  // the set holds both kinds
  EXPECT_GT(rechazadas, valores.size() / 4);
  EXPECT_LT(rechazadas, valores.size() * 3 / 4);
}

// Where the system's rules differ from PostgreSQL's on purpose, judged on
// their own: a day or month of 0 leaves the column as it was (PostgreSQL
// refuses it), and two-digit years 30-69 are 1930-1969 (PostgreSQL: 2030-2069).
TEST(FechasComparadas, ReglasPropiasDelSistema) {
  EntornoImportacion e;
  e.Base().Execute("CREATE TABLE F (ID INT PRIMARY KEY, Fecha DATETIME)");
  e.Base().Execute("INSERT INTO F VALUES (1, '2001-01-01 00:00:00'), (2, '2002-02-02 00:00:00')");
  e.Definiciones(ListaTablas({"F"}) + "[F]\r\nOrigen=" + e.Archivo("F.txt") +
                 "\r\nFormato=3\r\nFormatoFecha=DD/MM/YY\r\nNombreIndice=ID\r\nColumnas=2\r\n"
                 "CampoColumna1=ID\r\nCampoColumna2=Fecha\r\n");
  e.Fuente("F.txt", {"1,0/3/2010", "2,05/00/10", "3,5/3/45", "4,05/03/69", "5,5/3/30"});
  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("F", {"ID", "Fecha"}), (Filas{{"1", "2001-01-01"},
                                                {"2", "2002-02-02"},
                                                {"3", "1945-03-05"},
                                                {"4", "1969-03-05"},
                                                {"5", "1930-03-05"}}));
}

}  // namespace
}  // namespace varlo::prueba
