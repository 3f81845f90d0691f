// Whole absence-planning runs on SQLite: ranges, updates of stored days,
// rejected values and dates, definitions that cannot work, and what the
// window, the log and the result files show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "incidences/AyudaIncidencias.h"
#include "incidences/EscenarioIncidencias.h"

namespace varlo {
namespace {

using prueba::EscenarioIncidencias;
using prueba::LineaFija;
using V = std::vector<std::string>;

const V kInicioFin{">Inicio de importación de Incidencias", "Fin de importación de Incidencias"};

// Comma layout: employee, start, end, type, Dato0, Dato1, Referencia.
const std::string kComas =
    "Formato=3\r\nColumnas=7\r\nCampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\n"
    "CampoColumna3=Fecha2\r\nCampoColumna4=ID_Tipo\r\nCampoColumna5=Dato0_FAL\r\n"
    "CampoColumna6=Dato1_FAL\r\nCampoColumna7=Referencia\r\n";

TEST(IncidencesRun, RangesAddAndUpdateKeepingStoredValues) {
  EscenarioIncidencias e;
  e.Sql("insert into Kardex (Id_Empleado, Fecha, ID_Tipo, Dato1_FAL, Referencia) values "
        "('7', '2006-08-03 00:00:00', 'V', 'guardado', 'vieja')");
  e.Definiciones(std::string(prueba::kSeccionGenerada).substr(21));  // without its header
  const std::string l1 = LineaFija("7", "2006-08-02", "2006-08-04", "F", "x", "");
  const std::string l2 = LineaFija("8", "2006-08-31", "2006-09-01", "P", "", "Ref 8");
  const std::string l3 = LineaFija("9", "2006-08-05", "2006-08-04", "P");
  e.Origen({l1, l2, l3});

  EXPECT_EQ(e.Ejecuta(), 0);
  EXPECT_EQ(e.Kardex(), (V{"7|2006-08-02|F|x||",
                           "7|2006-08-03|F|x|guardado|vieja",  // empty values keep what was stored
                           "7|2006-08-04|F|x||",
                           "8|2006-08-31|P|||Ref 8",
                           "8|2006-09-01|P|||Ref 8"}));
  EXPECT_EQ(e.Ok(), (V{l1, l1, l1, l2, l2}));  // one line per day written, the end-before-start line none
  EXPECT_EQ(e.Er(), V{});
  EXPECT_EQ(e.Log(), kInicioFin);

  const V& estados = e.ventana.estados;
  auto esta = [&](const std::string& s) {
    return std::find(estados.begin(), estados.end(), s) != estados.end();
  };
  EXPECT_TRUE(esta("Obteniendo información del archivo de definiciones (" +
                   e.ArchivoDefiniciones() + ")..."));
  EXPECT_TRUE(esta("Abriendo archivo origen (" + e.Fuente() + ")..."));
  EXPECT_TRUE(esta("Importando datos (Incidencias)..."));
  EXPECT_TRUE(esta("Importando datos (Incidencias)... (1 de 3)"));
  EXPECT_TRUE(esta("Importando datos (Incidencias)... (3 de 3)"));
  EXPECT_FALSE(esta("Importando datos (Incidencias)... (4 de 3)"));
  EXPECT_EQ(estados.back(), "...Importación de Incidencias terminada!");
  EXPECT_EQ(e.ventana.Maximo(), 3);
  EXPECT_EQ(e.ventana.Valor(), 3);
  EXPECT_EQ(e.ventana.eventosProcesados, 3);
}

TEST(IncidencesRun, RefusedValueAbandonsTheRemainingDays) {
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  const std::string larga = "7,2006-08-01,2006-08-03,F,este texto no cabe en quince,,r";
  e.Origen({larga, "8,2006-08-01,2006-08-02,F,,,"});
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Kardex(), (V{"8|2006-08-01|F|||", "8|2006-08-02|F|||"}));
  V er = e.Er();
  ASSERT_EQ(er.size(), 1u);  // one line: the later days were not tried
  EXPECT_EQ(er[0].rfind(larga + "(", 0), 0u);
  EXPECT_EQ(er[0].substr(er[0].size() - 3), ",5)");
  EXPECT_EQ(e.Ok(), (V{"8,2006-08-01,2006-08-02,F,,,", "8,2006-08-01,2006-08-02,F,,,"}));
  EXPECT_EQ(e.Log(), kInicioFin);  // record failures never reach the log
}

TEST(IncidencesRun, UpdateRefusedByTheDatabaseGoesOnWithTheNextDays) {
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  // No employee: every insert breaks the NOT NULL key; each day is tried.
  e.Origen({",2006-08-01,2006-08-02,F,,,", "8,2006-08-01,2006-08-01,F,,,"});
  EXPECT_EQ(e.Ejecuta(), 1);
  V er = e.Er();
  ASSERT_EQ(er.size(), 2u);
  for (const std::string& l : er) {
    EXPECT_EQ(l.rfind(",2006-08-01,2006-08-02,F,,,(", 0), 0u);
    EXPECT_EQ(l.substr(l.size() - 3), ",0)");
  }
  EXPECT_EQ(e.Ok(), V{"8,2006-08-01,2006-08-01,F,,,"});
  EXPECT_EQ(e.Kardex(), V{"8|2006-08-01|F|||"});
}

TEST(IncidencesRun, UnreadableDatesRejectOnlyTheirLine) {
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  e.Origen({"1,2006-08-01,2006-08-01,F,,,", "", "2,2006-O8-01,2006-08-01,F,,,",
            "3,2006-08-01,,F,,,", "4,2006-08-02,2006-08-02,F,,,"});
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Er(), (V{"(No coinciden los tipos,2)", "2,2006-O8-01,2006-08-01,F,,,(No coinciden los tipos,2)",
                       "3,2006-08-01,,F,,,(No coinciden los tipos,3)"}));
  EXPECT_EQ(e.Kardex(), (V{"1|2006-08-01|F|||", "4|2006-08-02|F|||"}));
  EXPECT_EQ(e.Log(), kInicioFin);
  EXPECT_EQ(e.ventana.Valor(), 5);
}

// The second line for the same day updates the row again; empty values keep it.
TEST(IncidencesRun, EmployeeWithAnApostrophe) {
  EscenarioIncidencias e;
  e.Definiciones(kComas);
  e.Origen({"O'Brien,2006-08-01,2006-08-02,F,,,", "O'Brien,2006-08-02,2006-08-02,,z,,"});
  EXPECT_EQ(e.Ejecuta(), 0);
  EXPECT_EQ(e.Kardex(), (V{"O'Brien|2006-08-01|F|||", "O'Brien|2006-08-02|F|z||"}));
  EXPECT_EQ(e.Log(), kInicioFin);
}

TEST(IncidencesRun, DefinitionMistakesStopBeforeTheFirstLine) {
  struct Caso {
    std::string seccion;
    std::string mensaje;
  };
  const std::vector<Caso> casos{
      {"Formato=3\r\nColumnas=2\r\nCampoColumna1=Empleado\r\nCampoColumna2=Fecha1\r\n",
       "No tiene definida la columna Id_Empleado"},
      {"Formato=3\r\nFormatoFecha=YYYY-MM\r\nColumnas=2\r\nCampoColumna1=Id_Empleado\r\n"
       "CampoColumna2=Fecha1\r\n",
       "El FormatoFecha \"YYYY-MM\" no indica el día (D)"},
  };
  for (const Caso& c : casos) {
    EscenarioIncidencias e;
    e.Definiciones(c.seccion);
    e.Origen({"7,2006-08-01,2006-08-01", "8,2006-08-01,2006-08-01"});
    EXPECT_EQ(e.Ejecuta(), 1) << c.mensaje;
    EXPECT_EQ(e.Log(), (V{kInicioFin[0], c.mensaje, kInicioFin[1]}));
    EXPECT_EQ(e.Kardex(), V{});
    EXPECT_EQ(e.Er(), V{});
    EXPECT_TRUE(std::filesystem::exists(e.ArchivoEr()));
    EXPECT_EQ(e.ventana.eventosProcesados, 0);  // no line was read
  }
}

TEST(IncidencesRun, NothingToImport) {
  {
    // No section at all: the result files are still emptied.
    EscenarioIncidencias e;
    prueba::EscribeBytes(e.ArchivoDefiniciones(), "[Opciones]\r\n");
    std::filesystem::create_directory(e.Carpeta().Archivo("Log"));
    prueba::EscribeBytes(e.ArchivoOk(), "antes\r\n");
    EXPECT_EQ(e.Ejecuta(), 0);
    EXPECT_EQ(e.Log(), (V{kInicioFin[0], "Con 0 columnas definidas", kInicioFin[1]}));
    EXPECT_EQ(prueba::LeeBytes(e.ArchivoOk()), "");
  }
  {
    EscenarioIncidencias e;
    e.Definiciones("Columnas=2\r\nCampoColumna2= \r\n");
    EXPECT_EQ(e.Ejecuta(), 1);  // configured but unusable
    EXPECT_EQ(e.Log(), (V{kInicioFin[0], "No tiene definida ni una sola columna", kInicioFin[1]}));
  }
  {
    EscenarioIncidencias e;
    e.Definiciones(kComas);
    EXPECT_EQ(e.Ejecuta(), 1);  // configured, but nothing to read
    EXPECT_EQ(e.Log(), (V{kInicioFin[0], "Archivo origen no existe", kInicioFin[1]}));
  }
  {
    EscenarioIncidencias e;
    e.Definiciones(kComas);
    e.Origen({});
    EXPECT_EQ(e.Ejecuta(), 0);
    EXPECT_EQ(e.Log(), kInicioFin);
    EXPECT_EQ(e.ventana.estados.back(), "...Importación de Incidencias terminada!");
    EXPECT_EQ(e.ventana.Maximo(), 100);  // an empty file sets no maximum
    EXPECT_EQ(e.ventana.eventosProcesados, 0);
  }
}

TEST(IncidencesRun, RunLevelFailuresEndTheImportWithTheErrorLine) {
  {
    // A column Kardex does not have: the lookup itself fails.
    EscenarioIncidencias e;
    std::string ocho = kComas;
    ocho.replace(ocho.find("Columnas=7"), 10, "Columnas=8");
    e.Definiciones(ocho + "CampoColumna8=NoExiste\r\n");
    e.Origen({"7,2006-08-01,2006-08-02,F,,,,v"});
    EXPECT_EQ(e.Ejecuta(), 1);
    V log = e.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], kInicioFin[0]);
    EXPECT_NE(log[1].find("] Error: -"), std::string::npos) << log[1];
    EXPECT_EQ(log[2], kInicioFin[1]);
    EXPECT_EQ(e.Kardex(), V{});
  }
  {
    EscenarioIncidencias e("Provider=SQLite;Data Source=/no/existe/carpeta/varlo.db");
    e.Definiciones(kComas);
    e.Origen({"7,2006-08-01,2006-08-02,F,,,"});
    EXPECT_EQ(e.Ejecuta(), 1);
    V log = e.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), kInicioFin[0]);
    EXPECT_EQ(log.back(), kInicioFin[1]);
    EXPECT_EQ(e.Ok(), V{});
  }
}

TEST(IncidencesRun, ResultFilesFollowTheOptionsAndTheSourceEncoding) {
  {
    EscenarioIncidencias e;
    e.Definiciones(kComas);
    e.Origen({"Ñu,2006-08-01,2006-08-01,F,,,Año", "x,2006-13-45,mal,F,,,"});
    EXPECT_EQ(e.Ejecuta(0, 0), 1);
    EXPECT_FALSE(std::filesystem::exists(e.ArchivoOk()));
    EXPECT_FALSE(std::filesystem::exists(e.ArchivoEr()));
    EXPECT_EQ(e.Kardex(), V{"Ñu|2006-08-01|F|||Año"});
  }
  {
    EscenarioIncidencias e;
    e.Definiciones(kComas);
    e.Origen({"Ñu,2006-08-01,2006-08-01,F,,,Año"});
    EXPECT_EQ(e.Ejecuta(), 0);
    EXPECT_EQ(prueba::LeeBytes(e.ArchivoOk()), "\xD1u,2006-08-01,2006-08-01,F,,,A\xF1o\r\n");
  }
  {
    EscenarioIncidencias e;
    e.Definiciones(kComas);
    e.Origen({"Ñu,2006-08-01,2006-08-01,F,,,Año €"}, true);
    EXPECT_EQ(e.Ejecuta(), 0);
    EXPECT_EQ(prueba::LeeBytes(e.ArchivoOk()), "Ñu,2006-08-01,2006-08-01,F,,,Año €\r\n");
    EXPECT_EQ(e.Kardex(), V{"Ñu|2006-08-01|F|||Año €"});
  }
}

}  // namespace
}  // namespace varlo
