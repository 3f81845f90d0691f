// Values by type as the record write converts them, and as the lookup of a
// record renders its key; dates judged against PostgreSQL's reading.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>

#include "EntornoImportacion.h"
#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "db/Dialecto.h"
#include "db/TiposAdo.h"
#include "import/ConsultaBusqueda.h"
#include "import/EscrituraRegistro.h"
#include "import/MascaraFecha.h"
#include "support/Orden.h"

namespace varlo::prueba {
namespace {

TEST(EscrituraValores, Booleanos) {
  for (const char* falso : {"No", "n", "F", "falso", "False", "0", "0.0", "-0"})
    EXPECT_FALSE(ValorBooleano(falso)) << falso;
  for (const char* cierto : {"Si", "S", "Verdadero", "true", "1", "-1", "2", "x"})
    EXPECT_TRUE(ValorBooleano(cierto)) << cierto;
  // digits alone read as the number they write, whatever their length
  for (std::size_t largo = 1; largo <= 400; largo += 7)
    for (std::size_t uno = 0; uno <= largo; uno += largo / 3 + 1) {
      std::string cifras(largo, '0');
      if (uno < largo) cifras[uno] = static_cast<char>('1' + largo % 9);
      EXPECT_EQ(ValorBooleano(cifras), *NumeroEstricto(cifras) != 0) << cifras;
    }
}

// How the record write reads a date value (`llave`: how a key's lookup reads
// it): "YYYY-MM-DD[ HH:MM:SS]", "sin cambio" when the column is left as it
// was, or "error N".
std::string Lectura(const char* mascara, const char* valor, bool llave = false) {
  try {
    auto f = llave ? FechaDeLlave(valor, MascaraFecha::Desde(mascara))
                   : FechaYHoraDeMascara(valor, MascaraFecha::Desde(mascara));
    return f ? (f->TieneHora() ? FormatoISOHora(*f) : FormatoISO(*f)) : "sin cambio";
  } catch (const ErrorVarlo& e) {
    return "error " + std::to_string(e.Numero());
  }
}

// The usual dates, with and without their zeros, in each mask, are judged by
// PostgreSQL (below); here, what it cannot be asked about: values
// laid over the mask, and values without their zeros read between separators.
TEST(EscrituraValores, FechasEnLaMascaraYSinCerosEntreSeparadores) {
  const std::vector<std::tuple<const char*, const char*, const char*>> casos = {
      // fixed width: the mask is laid over the value as read, spaces included
      {"DD/MM/YYYY", " 5/03/2010  ", "2010-03-05"},
      {"DD/MM/YYYY", "25/12/2005 14:30:00", "2005-12-25 14:30:00"},
      {"DD/MM/YYYY", "25/12/2005 nota", "2005-12-25"},
      // a day that does not exist is refused: nothing carries over
      {"DD/MM/YYYY", "31/02/2006", "error 5"},
      {"DD/MM/YYYY", "01/13/2006", "error 5"},
      {"DD/MM/YYYY", "29/02/2007", "error 5"},
      {"YYYYMMDD", "19000229", "error 5"},
      // a month or day of 0 (or not a number) leaves the column as it was
      {"DD/MM/YYYY", "25/00/2005", "sin cambio"},
      {"DD/MM/YYYY", "00/12/2005", "sin cambio"},
      {"DD/MM/YYYY", "xx/12/2005", "sin cambio"},
      {"DD/MM/YYYY", "01/01/20x1", "error 13"},
      {"DD/MM", "25/12", "error 5"},  // no year in the mask
      // two-digit years: 00-29 in this century, 30-99 in the last
      {"YYMMDD", "291225", "2029-12-25"},
      {"YYMMDD", "301225", "1930-12-25"},
      // without zeros, between separators
      {"DD/MM/YYYY", "5/3/2010", "2010-03-05"},
      {"YYYY-M-D", "2010-1-15", "2010-01-15"},  // not the "1" at the mask's place
      {"DD/MM/YYYY", "  5/3/2010", "2010-03-05"},
      // the year as written, not two digits of it at the mask's place
      {"DD/MM/YY", "05/03/2010", "2010-03-05"},
      {"DD/MM/YYYY", "5/3/10", "2010-03-05"},
      {"DD/MM/YYYY", "5/3/45", "1945-03-05"},
      // a time after the date, as with the zeros
      {"DD/MM/YYYY", "5/3/2010 8:30", "2010-03-05 08:30:00"},
      {"DD/MM/YYYY", "5/3/2010 25:00", "error 13"},
      // the same rules as at the mask's places
      {"DD/MM/YYYY", "0/3/2010", "sin cambio"},
      {"DD/MM/YYYY", "31/2/2006", "error 5"},
      {"DD/MM/YYYY", "5/13/2010", "error 5"},
      {"DD/MM/YYYY", "5/3/20101", "error 5"},
      {"DD/MM/YYYY", "5/3/2010 nota", "2010-03-05"},
      // other separators than the mask's would be cut into nonsense, unless
      // the date has the mask's length: then at its places, as always
      {"DD/MM/YYYY", "5-3-2010", "error 13"},
      {"YYYY-MM-DD", "2006/08/01", "2006-08-01"},
      {"YYYY-MM-DD", "2006/08/01 14:30", "2006-08-01 14:30:00"},
  };
  for (const auto& [mascara, valor, esperada] : casos)
    EXPECT_EQ(Lectura(mascara, valor), esperada) << mascara << " " << valor;
}

// The shortcut for the usual date cuts every value it takes exactly as the
// general rules cut it: values generated around each mask's shape (digits at
// every place, a character swapped, short, long, trailing text).
TEST(EscrituraValores, AtajoDeLaMascaraCortaComoLaReglaGeneral) {
  std::vector<MascaraFecha> mascaras;
  for (const char* t : {"YYYYMMDD", "DD/MM/YYYY", "YYYY-MM-DD", "DD.MM.YY", "YYMMDD", "MM/DD/YYYY",
                        "D/M/YYYY", "dd-mm-yyyy", "YYYY-MM-DD hh:mm", "DDMMYYYY ", "Y/M/D",
                        "YYYYMMDDx", "MMYYYY", "DD/MM/YYYY a\xC3\xB1o"})
    mascaras.push_back(MascaraFecha::Desde(t));
  // places given apart from the text, as the absence planning gives them
  MascaraFecha aparte = MascaraFecha::Desde("DD/MM/YYYY");
  aparte.InicioAnio = 9;
  aparte.LargoAnio = 2;
  aparte.InicioDia = 2;
  mascaras.push_back(aparte);

  const char* colas[] = {"",  " ",       "  14:30", "T08:30:00", "1",          "9",  "x",
                         "/", " nota  ", "\x80",    "\xC3\xA9",  "/2010 8:30", "-1", "  "};
  std::uint32_t semilla = 12345;
  auto siguiente = [&semilla] {
    semilla = semilla * 1103515245u + 12345u;
    return (semilla >> 8) & 0xFFFFu;
  };
  long atajos = 0, generales = 0;
  for (const MascaraFecha& m : mascaras) {
    for (int vuelta = 0; vuelta < 3000; ++vuelta) {
      std::string valor;
      for (char c : m.Texto) {
        const bool letra = std::string_view("YyMmDd").find(c) != std::string_view::npos;
        const unsigned dado = siguiente() % 40;
        if (dado == 0)
          valor += "-/. x"[siguiente() % 5];  // another character at this place
        else
          valor += letra ? static_cast<char>('0' + siguiente() % 10) : c;
      }
      if (siguiente() % 8 == 0) valor.resize(siguiente() % (valor.size() + 1));
      if (siguiente() % 10 == 0) valor.insert(0, " ");
      valor += colas[siguiente() % std::size(colas)];

      std::optional<VistaFecha> general;
      try {
        general = CortaFechaGeneral(valor, m);
      } catch (const ErrorVarlo&) {
      }
      if (auto atajo = CortaFechaExacta(valor, m)) {
        ++atajos;
        ASSERT_TRUE(general) << m.Texto << " [" << valor << "]";
        EXPECT_TRUE(*atajo == *general) << m.Texto << " [" << valor << "]";
      } else {
        ++generales;
      }
    }
  }
  // both roads were taken, often
  EXPECT_GT(atajos, 10000);
  EXPECT_GT(generales, 10000);
  // the usual value takes the shortcut
  EXPECT_TRUE(CortaFechaExacta("20051225  ", MascaraFecha::Desde("YYYYMMDD")));
  EXPECT_TRUE(CortaFechaExacta("25/12/2005 14:30", MascaraFecha::Desde("DD/MM/YYYY")));
}

// The lookup of a record: key values typed by the key column's ADO type and
// rendered by every dialect.
TEST(LiteralesLlave, FechaYHoraDeLaLlave) {
  const std::vector<std::tuple<const char*, const char*, const char*>> casos = {
      // at the fixed places, whatever the mask
      {"DD/MM/YYYY", "25/12/2005", "2005-12-25"},
      {"YYYY-MM-DD", "25/12/2005", "2005-12-25"},
      {"DD/MM/YYYY", "25/12/2005 09:30:00 a.m.", "2005-12-25 09:30:00"},
      {"DD/MM/YYYY", "25/12/2005 09:30:00 p.m.", "2005-12-25 21:30:00"},
      // 12 p.m. is noon, 12 a.m. is midnight, a 24-hour time stays as it is
      {"DD/MM/YYYY", "25/12/2005 12:05:00 p.m.", "2005-12-25 12:05:00"},
      {"DD/MM/YYYY", "25/12/2005 12:05:00 a.m.", "2005-12-25 00:05:00"},
      {"DD/MM/YYYY", "25/12/2005 14:30:00", "2005-12-25 14:30:00"},
      {"DD/MM/YYYY", "31/02/2006", "error 5"},  // no such day: never carried over
      {"DD/MM/YYYY", "00/02/2006", "error 5"},
      {"DD/MM/YYYY", "25/12/2005 25:00:00", "error 13"},
      // elsewhere, a text of the mask's exact shape
      {"YYYY-MM-DD", "2005-12-25", "2005-12-25"},
      {"YYYY-MM-DD", "2005-12-25 14:30:00", "2005-12-25 14:30:00"},
      {"yyyy-mm-dd", "2005-12-25 02:30 p.m.", "2005-12-25 14:30:00"},
      {"YYYYMMDD", "20051225", "2005-12-25"},
      {"DD/MM/YY", "25/12/05", "2005-12-25"},
      {"DD/MM/YYYY", "2005-12-25", "error 13"},
      {"YYYY-MM-DD", "2005/12/25", "error 13"},
      {"YYYY-MM-DD", "2005-12-25x", "error 13"},
      {"YYYY-MM-DD", "2005-12-2", "error 13"},
      {"YYYY-MM-DD", "2005-02-30", "error 5"},
      {"YYYY-MM-DD", "2005-12-25 24:00", "error 13"},
      {"YYYY-MM", "2005-12", "error 13"},  // a mask without its day reads nothing
      // or written without its zeros: between the mask's separators, as the
      // column's own value is read
      {"DD/MM/YYYY", "5/3/2010", "2010-03-05"},
      {"YYYY-MM-DD", "2010-3-5", "2010-03-05"},
      {"YYYY-MM-DD", "2010-3-5 14:30", "2010-03-05 14:30:00"},
      {"YYYY-MM-DD", "2010-3-5T08:30:00", "2010-03-05 08:30:00"},
      {"DD/MM/YYYY", "5/3/2010x", "error 13"},
      {"DD/MM/YYYY", "0/3/2010", "error 5"},
      {"DD/MM/YYYY", "5/3/0010", "error 13"},  // a year in full is no two-digit year
  };
  for (const auto& [mascara, texto, esperada] : casos)
    EXPECT_EQ(Lectura(mascara, texto, true), esperada) << mascara << " " << texto;
}

TEST(LiteralesLlave, LiteralesEnCadaDialecto) {
  DefinicionTabla d;
  d.Tabla = "Empleado";
  d.Indices = {"ID_Empleado", "Fecha", "Clave", "Equipo"};
  d.PosicionIndice = {1, 2, 3, 4};
  // a GUID is compared as its text, not read as a number
  d.TipoIndice = {db::adInteger, db::adDBTimeStamp, db::adChar, db::adGUID};
  d.CamposSelect = {"Nombre"};
  ConsultaBusqueda b(d, db::Motor::SqlServer);
  const std::string guid = "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11";
  const db::Consulta& c = b.Para({"0012", "25/12/2005 02:30:00 p.m.", " O'Brien  ", guid});
  EXPECT_EQ(db::CreaDialecto(db::Motor::SqlServer)->Select(c).texto,
            "select [Nombre] from [Empleado] Where [ID_Empleado]=0012 and "
            "[Fecha]={ts '2005-12-25 14:30:00'} and [Clave]='O''Brien' and [Equipo]='" +
                guid + "'");
  // the other dialects bind every value, never paste it
  for (db::Motor m : {db::Motor::SQLite, db::Motor::PostgreSql}) {
    db::SentenciaSql s = db::CreaDialecto(m)->Select(c);
    EXPECT_EQ(s.texto.find("O'Brien"), std::string::npos) << s.texto;
    EXPECT_EQ(s.parametros,
              (std::vector<db::Valor>{db::Valor(std::int64_t{12}),
                                      db::Valor(FechaHora{2005, 12, 25, 14, 30, 0}),
                                      db::Valor(std::string("O'Brien")), db::Valor(guid)}));
  }
  // a column of the date type keeps no time: its key is the day alone, which
  // SQL Server would otherwise compare as midnight with the time given
  d.Indices = {"Dia"};
  d.PosicionIndice = {1};
  d.TipoIndice = {db::adDBDate};
  ConsultaBusqueda dia(d, db::Motor::SqlServer);
  EXPECT_EQ(db::CreaDialecto(db::Motor::SqlServer)->Select(dia.Para({"25/12/2005 14:30:00"})).texto,
            "select [Nombre] from [Empleado] Where [Dia]={d '2005-12-25'}");
}

// Dates as people write them, judged by PostgreSQL: the same values read by
// the table import and by PostgreSQL's own date input (DateStyle in the
// mask's order, through psql) give the same day, and every value PostgreSQL
// refuses is a rejected record here.
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
