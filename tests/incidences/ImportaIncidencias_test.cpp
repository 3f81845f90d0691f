// Whole absence-planning runs on SQLite: ranges, updates of stored days, the
// sign rule of refused values, rejected dates, encodings, quoted values and
// definitions that cannot work.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "incidences/EscenarioIncidencias.h"
#include "support/IconvComando.h"
#include "support/ServidorQueDeshace.h"

namespace varlo {
namespace {

using prueba::EscenarioIncidencias, prueba::kComas;
using V = std::vector<std::string>;

const std::string kBom = "\xEF\xBB\xBF";
const V kInicioFin{">Inicio de importación de Incidencias", "Fin de importación de Incidencias"};

// Ranges add days and update stored ones; an end before the start, a date
// that is none or a day the calendar lacks (never carried into March)
// rejects only its line, with the column of that date. Dates without their
// zeros read between the mask's separators.
TEST(IncidencesRun, RangesAddAndUpdateAndUnreadableDatesRejectOnlyTheirLine) {
  EscenarioIncidencias e;
  e.Sql(
      "insert into Kardex (Id_Empleado, Fecha, ID_Tipo, Dato1_FAL, Referencia) values "
      "('7', '2006-08-03 00:00:00', 'V', 'guardado', 'vieja')");
  e.Definiciones(kComas);
  const V lineas{"7,2006-08-02,2006-08-04,F,x,,", "Ñu,2006-08-31,2006-09-01,P,,,Año",
                 "9,2006-08-05,2006-08-04,P,,,",  "1,2006-08-01,2006-08-01,F,,,",
                 "2,2006-O8-01,2006-08-01,F,,,",  "3,2006-08-01,,F,,,",
                 "4,2006-08-02,2006-08-02,F,,,",  "5,2006-02-27,2006-02-29,F,,,",
                 "6,2006-2-30,2006-03-01,F,,,",   "8,2006-8-3,2006-8-4,F,,,"};
  e.Origen(lineas);
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Kardex(), (V{"1|2006-08-01|F|||", "4|2006-08-02|F|||", "7|2006-08-02|F|x||",
                           "7|2006-08-03|F|x|guardado|vieja",  // empty values keep what was stored
                           "7|2006-08-04|F|x||", "8|2006-08-03|F|||", "8|2006-08-04|F|||",
                           "Ñu|2006-08-31|P|||Año", "Ñu|2006-09-01|P|||Año"}));
  // one Ok line per day written
  EXPECT_EQ(e.Ok(), (V{lineas[0], lineas[0], lineas[0], lineas[1], lineas[1], lineas[3], lineas[6],
                       lineas[9], lineas[9]}));
  EXPECT_EQ(e.Er(),
            (V{lineas[2] + "(La fecha final es anterior a la fecha inicial,3)",
               lineas[4] + "(No coinciden los tipos,2)", lineas[5] + "(No coinciden los tipos,3)",
               lineas[7] + "(Fecha inexistente (2006-02-29),3)",
               lineas[8] + "(Fecha inexistente (2006-2-30),2)"}));
  EXPECT_EQ(e.Log(), kInicioFin);
}

// A refused value with a positive number abandons the record's remaining days;
// a database refusal (negative) ends only that day, with no Ok line.
TEST(IncidencesRun, SignOfTheRefusalDecidesWhetherTheRecordGoesOn) {
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  const std::string larga = "7,2006-08-01,2006-08-03,F,este texto no cabe en quince,,r";
  const std::string sinEmpleado = ",2006-08-01,2006-08-02,F,,,";  // breaks the NOT NULL key
  e.Origen({larga, sinEmpleado, "8,2006-08-01,2006-08-01,F,,,"});
  EXPECT_EQ(e.Ejecuta(), 1);
  V er = e.Er();
  ASSERT_EQ(er.size(), 3u) << Une(er, "\n");
  // the layer's reason, then the column, its value and what it expected
  EXPECT_EQ(er[0].rfind(larga + "(", 0), 0u);
  EXPECT_NE(er[0].find(": Dato0_FAL='este texto no cabe en quince' pasa de los 15 caracteres de "
                       "la columna,5)"),
            std::string::npos)
      << er[0];
  for (int i : {1, 2}) {
    EXPECT_EQ(er[i].rfind(sinEmpleado + "(", 0), 0u) << er[i];
    EXPECT_EQ(er[i].substr(er[i].size() - 3), ",0)") << er[i];
  }
  EXPECT_EQ(e.Ok(), V{"8,2006-08-01,2006-08-01,F,,,"});
  EXPECT_EQ(e.Kardex(), V{"8|2006-08-01|F|||"});
  EXPECT_EQ(e.Log(), kInicioFin);  // record failures never reach the log
}

// A day the database refuses by rolling the whole transaction back (a
// trigger's RAISE(ROLLBACK)) rejects its line at once, and none of the
// line's days stays, not even those after it, which would have been written
// without a transaction; the batch's other lines import.
TEST(IncidencesRun, ADayThatEndsItsTransactionRejectsItsWholeLine) {
  for (const long lote : {1L, 2L, 0L}) {
    SCOPED_TRACE(lote);
    EscenarioIncidencias e;
    e.Sql(
        "create trigger NoEl3 before insert on Kardex when new.Fecha like '2006-08-03%' begin "
        "select raise(rollback, 'el tres no'); end");
    e.Definiciones(kComas);
    e.lote = lote;
    const V lineas{"8,2006-08-01,2006-08-01,F,,,", "7,2006-08-02,2006-08-04,F,,,",
                   "9,2006-08-05,2006-08-06,V,,,"};
    e.Origen(lineas);
    EXPECT_EQ(e.Ejecuta(), 1);
    EXPECT_EQ(e.Kardex(), (V{"8|2006-08-01|F|||", "9|2006-08-05|V|||", "9|2006-08-06|V|||"}));
    EXPECT_EQ(e.Ok(), (V{lineas[0], lineas[2], lineas[2]}));
    const V er = e.Er();
    ASSERT_EQ(er.size(), 1u) << Une(er, "\n");
    EXPECT_TRUE(er[0].starts_with(lineas[1] + "(")) << er[0];
    EXPECT_NE(er[0].find("el tres no"), std::string::npos) << er[0];
  }
}

// The server ends the batch's transaction: the batch is done again. At the
// second day of a record, what the lost attempt wrote is not reported; after
// a line was rejected, that line counts once toward --max-rechazos.
TEST(IncidencesRun, ALostTransactionReportsEachDayAndRejectionOnce) {
  using Clase = prueba::ServidorQueDeshace::Clase;
  for (const int perdida : {2, 1}) {
    SCOPED_TRACE(perdida);
    EscenarioIncidencias e;
    e.Definiciones(kComas);
    e.maxRechazos = 2;
    const V lineas{"7,2006-08-02,2006-08-04,F,,,", "8,2006-08-01,2006-08-01,F,,,",
                   perdida == 1 ? "9,2006-08-02,fecha,F,,," : "9,2006-08-01,2006-08-01,F,,,"};
    e.Origen(perdida == 1 ? V{lineas[2], lineas[0], lineas[1]} : lineas);
    auto falla = [perdida](int n, std::size_t) -> std::optional<Clase> {
      if (n == perdida) return Clase::TransaccionPerdida;
      return std::nullopt;
    };
    EXPECT_EQ(e.Ejecuta(prueba::AbreServidorQueDeshace(e.Cadena(), db::Motor::SQLite, falla)),
              perdida == 1 ? 1 : 0);
    V kardex = {"7|2006-08-02|F|||", "7|2006-08-03|F|||", "7|2006-08-04|F|||", "8|2006-08-01|F|||"};
    if (perdida == 2) kardex.push_back("9|2006-08-01|F|||");
    EXPECT_EQ(e.Kardex(), kardex);
    V ok = {lineas[0], lineas[0], lineas[0], lineas[1]};
    if (perdida == 2) ok.push_back(lineas[2]);
    EXPECT_EQ(e.Ok(), ok);
    EXPECT_EQ(e.Er().size(), perdida == 1 ? 1u : 0u);
    const V log = e.Log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) {
                              return l.starts_with("La base de datos deshizo el lote");
                            }),
              1);
    for (const std::string& l : log) EXPECT_EQ(l.find("se detuvo"), std::string::npos) << l;
  }
}

// Rows held for the batch are refused once, while a later line changes a
// day an earlier one added (its change reads the row first): the batch is
// done again and every day imports. What that line met while the refusal
// was being handled is no rejection: the run ends without one.
TEST(IncidencesRun, ARefusalTheRetryClearsLeavesNoRejection) {
  using Clase = prueba::ServidorQueDeshace::Clase;
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  const V lineas{"7,2006-08-01,2006-08-02,F,,,", "7,2006-08-02,2006-08-03,V,,,"};
  e.Origen(lineas);
  auto falla = [](int n, std::size_t) -> std::optional<Clase> {
    if (n == 1) return Clase::Otro;
    return std::nullopt;
  };
  EXPECT_EQ(e.Ejecuta(prueba::AbreServidorQueDeshace(e.Cadena(), db::Motor::SQLite, falla)), 0);
  EXPECT_EQ(e.Kardex(), (V{"7|2006-08-01|F|||", "7|2006-08-02|V|||", "7|2006-08-03|V|||"}));
  EXPECT_EQ(e.Ok(), (V{lineas[0], lineas[0], lineas[1], lineas[1]}));
  EXPECT_TRUE(e.Er().empty()) << Une(e.Er(), "\n");
}

// The counts and --max-rechazos do not depend on the result files: with
// either one off the summary counts the same days and lines, and the run
// stops at the same rejection.
TEST(IncidencesRun, CountsDoNotDependOnTheResultFiles) {
  const V lineas{"7,2006-08-02,2006-08-04,F,,,", "8,fecha,2006-08-01,F,,,",
                 "9,2006-08-01,2006-08-01,F,,,", "5,2006-08-01,nada,F,,,",
                 "6,2006-08-01,2006-08-01,F,,,"};
  // the summary's counts, without the names of the files it lists
  auto corre = [&](bool ok, bool er, long maximo) {
    EscenarioIncidencias e;
    e.Sql(
        "insert into Kardex (Id_Empleado, Fecha, ID_Tipo) values ('7', '2006-08-03 00:00:00', "
        "'V')");
    e.Definiciones(kComas);
    e.Origen(lineas);
    e.reporteOk = ok;
    e.reporteEr = er;
    e.maxRechazos = maximo;
    const int salida = e.Ejecuta();
    V resumenes = e.Resumenes();
    static const std::regex archivo(R"( \(Log/[^)]*\))");
    for (std::string& r : resumenes) r = std::regex_replace(r, archivo, "");
    return std::tuple{salida, resumenes, e.Kardex()};
  };
  for (const long maximo : {0L, 2L}) {
    SCOPED_TRACE(maximo);
    const auto conAmbos = corre(true, true, maximo);
    ASSERT_FALSE(std::get<1>(conAmbos).empty());
    EXPECT_EQ(corre(false, true, maximo), conAmbos);
    EXPECT_EQ(corre(true, false, maximo), conAmbos);
    EXPECT_EQ(corre(false, false, maximo), conAmbos);
  }
}

// A UTF-8 source (byte-order mark) with lines ended by CR alone: the line
// that is not UTF-8 is rejected as it was read, with column 0, and the
// result files are UTF-8 with the mark it had ("Ω" has no Windows-1252 byte).
TEST(IncidencesRun, ALineNotValidInItsEncodingIsRejected) {
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  e.OrigenBytes(kBom +
                "Ñu,2006-08-01,2006-08-01,F,,,Ω\r7,2006-08-01,2006-08-01,F,\xC3(,,\r"
                "Ω,2006-08-0x,2006-08-01,P,,,\r8,2006-08-01,2006-08-01,F,,,");
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Kardex(), (V{"8|2006-08-01|F|||", "Ñu|2006-08-01|F|||Ω"}));
  EXPECT_EQ(e.Bytes("Er"),
            kBom +
                "7,2006-08-01,2006-08-01,F,\xC3(,,(La línea no es texto UTF-8 válido,0)\r\n"
                "Ω,2006-08-0x,2006-08-01,P,,,(No coinciden los tipos,2)\r\n");
  EXPECT_EQ(e.Bytes("Ok"),
            kBom + "Ñu,2006-08-01,2006-08-01,F,,,Ω\r\n8,2006-08-01,2006-08-01,F,,,\r\n");
}

// A planning that is configured but cannot be read is reported once, before
// any line is read, and the run is not clean. Only a regular file is read: a
// pipe nobody writes to is reported like a missing file, never waited on.
TEST(IncidencesRun, UnreadablePlanningStopsBeforeTheFirstLine) {
  enum Origen { kLineas, kNinguno, kTuberia };
  struct Caso {
    std::string seccion;
    Origen origen;
    std::string mensajes;
  };
  for (const Caso& c : std::vector<Caso>{
           {"Formato=3\r\nColumnas=2\r\nCampoColumna1=Empleado\r\nCampoColumna2=Fecha1\r\n",
            kLineas, "No tiene definida la columna Id_Empleado"},
           {"FormatoFecha=aaaa-mm-dd\r\nFormato=3\r\nColumnas=1\r\nCampoColumna1=Fecha1\r\n",
            kLineas,
            "El FormatoFecha \"aaaa-mm-dd\" no indica el año (Y)\n"
            "No tiene definida la columna Id_Empleado"},
           // Trailing blank columns do not count: Fecha1 is still the last one.
           {"Formato=3\r\nColumnas=4\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha2\r\n"
            "CampoColumna3=Fecha1\r\n",
            kLineas,
            "Tiene definida la columna Fecha2, pero Fecha1 es la última columna y no hay "
            "columna de la que leer la fecha final"},
           {"Formato=3\r\nColumnas=2\r\n", kLineas, "No tiene definida ni una sola columna"},
           // a width is a 16-bit number
           {"Columnas=2\r\nCampoColumna1=Id_Empleado\r\nLongitudColumna1=32768\r\n"
            "CampoColumna2=Fecha1\r\nLongitudColumna2=10\r\n",
            kLineas, "[VarloDI] Error: 6 Desbordamiento"},
           {"Formato=3\r\nColumnas=2\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha1\r\n",
            kNinguno, "Archivo origen no existe"},
           {kComas, kTuberia, "Archivo origen no existe"},
       }) {
    EscenarioIncidencias e;
    e.Definiciones(c.seccion);
    if (c.origen == kLineas) e.Origen({"7,2006-08-01,2006-08-01", "8,2006-08-01,2006-08-01"});
    if (c.origen == kTuberia) {
      ASSERT_EQ(mkfifo(e.Archivo("Planfal.txt").c_str(), 0600), 0);
    }
    EXPECT_EQ(e.Ejecuta(), 4) << c.seccion;  // the absence planning was not imported
    EXPECT_EQ(Une(e.Log(), "\n"), kInicioFin[0] + "\n" + c.mensajes + "\n" + kInicioFin[1]);
    EXPECT_EQ(e.Kardex(), V{});
    EXPECT_EQ(e.Er(), V{});
    EXPECT_EQ(e.ventana.eventosProcesados, 0);  // no line was read
  }
}

// A UTF-16 planning: the key or the mark makes it text, its lines are counted
// as text and its result files are UTF-16 with a mark; without either it is
// refused before any row is written.
TEST(IncidencesRun, Utf16PlanningImportsByKeyOrMarkAndIsRefusedWithoutThem) {
  const std::string ok = "Ñu,2006-08-01,2006-08-02,P,,,Ω", er = "Ω,2006-08-0x,2006-08-01,P,,,";
  const std::string texto = ok + "\r\n" + er + "\r\n";
  for (const char* clave : {"Codificacion=UTF-16LE\r\n", ""}) {
    SCOPED_TRACE(clave);
    EscenarioIncidencias e;
    e.Definiciones(kComas + clave);
    e.OrigenBytes(prueba::ConIconv((*clave ? "" : kBom) + texto, "UTF-16LE"));
    EXPECT_EQ(e.Ejecuta(), 1);
    EXPECT_EQ(e.Kardex(), (V{"Ñu|2006-08-01|P|||Ω", "Ñu|2006-08-02|P|||Ω"}));
    ASSERT_FALSE(e.ventana.maximos.empty());
    EXPECT_EQ(e.ventana.maximos.back(), 2);  // lines of the text
    EXPECT_EQ(e.Bytes("Ok"), prueba::ConIconv(kBom + ok + "\r\n" + ok + "\r\n", "UTF-16LE"));
    EXPECT_EQ(e.Bytes("Er"),
              prueba::ConIconv(kBom + er + "(No coinciden los tipos,2)\r\n", "UTF-16LE"));
  }
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  e.OrigenBytes(prueba::ConIconv(texto, "UTF-16BE"));
  EXPECT_EQ(e.Ejecuta(), 4);
  EXPECT_EQ(e.Kardex(), V{});
  EXPECT_EQ(e.Log()[1],
            "[VarloDI] Error: 13 El archivo origen tiene bytes NUL: parece UTF-16BE sin marca de "
            "orden de bytes; indique Codificacion=UTF-16BE en su sección (" +
                e.Archivo("Planfal.txt") + ")");
}

// Read with "Comillas", a quoted value keeps its commas and line breaks, and
// a quote that never closes rejects only its own line.
TEST(IncidencesQuoted, QuotedValuesImportAndAnUnclosedQuoteRejectsItsLine) {
  EscenarioIncidencias e;
  e.Definiciones("Comillas=\"\r\nLineasEncabezado=1\r\n" + kComas);
  const std::string dosDias = "2,2006-08-02,2006-08-03,P,,,\"nota\r\nlarga\"";
  e.OrigenBytes(
      "\"Empleado\",\"Desde\",\"Hasta\",\"Tipo\",,,\"Referencia,\r\ntexto\"\r\n"
      "1,2006-08-01,2006-08-01,F,,,\"Vacaciones, verano\"\r\n" +
      dosDias +
      "\r\n"
      "3,2006-08-04,2006-08-04,F,,,\"abierta\r\n"
      "4,2006-08-05,2006-08-05,F,,,\r\n");
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Kardex(), (V{"1|2006-08-01|F|||Vacaciones, verano", "2|2006-08-02|P|||nota\r\nlarga",
                           "2|2006-08-03|P|||nota\r\nlarga", "4|2006-08-05|F|||"}));
  EXPECT_EQ(e.Bytes("Ok"), "1,2006-08-01,2006-08-01,F,,,\"Vacaciones, verano\"\r\n" + dosDias +
                               "\r\n" + dosDias + "\r\n4,2006-08-05,2006-08-05,F,,,\r\n");
  // a source without a mark and with no letter beyond ASCII is Windows-1252, so are its results
  EXPECT_EQ(e.Bytes("Er"),
            Utf8AAnsi("3,2006-08-04,2006-08-04,F,,,\"abierta(Las comillas abiertas en la línea 6 "
                      "no se cierran,0)\r\n"));
  EXPECT_EQ(e.ventana.Maximo(), 5);  // records, the heading included
}

}  // namespace
}  // namespace varlo
