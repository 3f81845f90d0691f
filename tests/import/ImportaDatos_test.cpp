// The table import run in-process on a fresh SQLite database: rows added and
// updated, the log, the result files, the status texts and the three scopes.
#include <gtest/gtest.h>

#include <filesystem>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

using V = std::vector<std::string>;

// Empleado in fixed width: ID 6, Nombre 12, Edad 3, Activo 5, FechaAlta 10, Sueldo 8.
std::string SeccionEmpleado(const EntornoImportacion& e, const std::string& extra = "") {
  return "[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n"
         "[Empleado]\r\nOrigen=" +
         e.Archivo("Empleado.txt") +
         "\r\n"
         "Formato=1\r\nFormatoFecha=DD/MM/YYYY\r\nNombreIndice=ID_Empleado\r\n" +
         extra +
         "Columnas=6\r\n"
         "CampoColumna1=ID_Empleado\r\nLongitudColumna1=6\r\n"
         "CampoColumna2=Nombre\r\nLongitudColumna2=12\r\n"
         "CampoColumna3=Edad\r\nLongitudColumna3=3\r\n"
         "CampoColumna4=Activo\r\nLongitudColumna4=5\r\n"
         "CampoColumna5=FechaAlta\r\nLongitudColumna5=10\r\n"
         "CampoColumna6=Sueldo\r\nLongitudColumna6=8\r\n";
}

std::string Registro(const std::string& id, const std::string& nombre, const std::string& edad,
                     const std::string& activo, const std::string& fecha,
                     const std::string& sueldo) {
  return Ancho(id, 6) + Ancho(nombre, 12) + Ancho(edad, 3) + Ancho(activo, 5) + Ancho(fecha, 10) +
         Ancho(sueldo, 8);
}

class ImportaDatosEn : public ::testing::TestWithParam<MotorPrueba> {};

const V kColumnas = {"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"};

TEST_P(ImportaDatosEn, AgregaYActualizaConservandoLoQueNoTraeElRegistro) {
  EntornoImportacion e(GetParam());
  e.Definiciones(SeccionEmpleado(e));
  const V lineas = {Registro("0001", "Juan Perez", "30", "Si", "01/02/2003", "1500.5"),
                    Registro("O'Bri", "Ann", "41", "No", "31/02/2006", ""),
                    Registro("0001", "", "31", "", "", "")};
  e.Fuente("Empleado.txt", lineas);

  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Empleado", kColumnas),
            (Filas{{"0001", "Juan Perez", "31", "True", "2003-02-01", "1500.5"},
                   {"O'Bri", "Ann", "41", "False", "2006-03-03", "NULL"}}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), lineas);
  EXPECT_EQ(e.Resultado("Empleado_Er.txt"), V{});
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "Fin de importación"}));

  const V& estados = e.ventana->estados;
  auto tiene = [&](const std::string& s) {
    return std::find(estados.begin(), estados.end(), s) != estados.end();
  };
  EXPECT_TRUE(tiene("Obteniendo información del archivo de definiciones (" + e.Archivo("defs.ini") +
                    ")..."));
  EXPECT_TRUE(tiene("Abriendo archivo origen (" + e.Archivo("Empleado.txt") + ")..."));
  EXPECT_TRUE(tiene("Importando datos (Empleado)..."));
  EXPECT_TRUE(tiene("Importando datos (Empleado)... (1 de 3)"));
  EXPECT_TRUE(tiene("Importando datos (Empleado)... (3 de 3)"));
  EXPECT_EQ(estados.back(), "...Importación terminada!");
  EXPECT_EQ(e.ventana->Maximo(), 3);
  EXPECT_EQ(e.ventana->Valor(), 3);
  EXPECT_EQ(e.ventana->eventosProcesados, 3);
}

bool Empieza(const std::string& s, const std::string& inicio) {
  return s.rfind(inicio, 0) == 0;
}
bool Termina(const std::string& s, const std::string& fin) {
  return s.size() >= fin.size() && s.compare(s.size() - fin.size(), fin.size(), fin) == 0;
}

TEST_P(ImportaDatosEn, RegistrosRechazadosNoDetienenLaImportacion) {
  EntornoImportacion e(GetParam());
  e.Definiciones(SeccionEmpleado(e));
  const V lineas = {Registro("0001", "Edad mala", "abc", "", "", ""),  // first record rejected
                    Registro("0002", "Bien", "20", "", "", ""),
                    Registro("", "Sin llave", "20", "", "", ""),
                    Registro("0003", "Fecha mala", "20", "", "01/01/20x1", ""),
                    Registro("0004", "Bien", "21", "", "", "")};
  e.Fuente("Empleado.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Edad"}), (Filas{{"0002", "20"}, {"0004", "21"}}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{lineas[1], lineas[4]}));
  V er = e.Resultado("Empleado_Er.txt");
  ASSERT_EQ(er.size(), 3u);
  EXPECT_TRUE(Empieza(er[0], lineas[0] + "(") && Termina(er[0], ", Columna:3)")) << er[0];
  EXPECT_EQ(er[1], lineas[2] + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)");
  EXPECT_EQ(er[2], lineas[3] + "(No coinciden los tipos, Columna:5)");
  // what one record does wrong stays out of the log
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "Fin de importación"}));
  EXPECT_EQ(e.ventana->estados.back(), "...Importación terminada!");
}

TEST_P(ImportaDatosEn, BusquedaFallidaRechazaSoloEseRegistro) {
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20))");
  e.Definiciones("[Tablas]\r\nTotal=1\r\nTabla1=Turno\r\n[Turno]\r\nOrigen=" + e.Archivo("t.txt") +
                 "\r\nFormato=3\r\nNombreIndice=ID\r\nColumnas=2\r\nCampoColumna1=ID\r\n"
                 "CampoColumna2=Nombre\r\n");
  const V lineas = {"abc,Primero", "1,Uno", "2',Dos", "0002,Dos", "2,Dos bis"};
  e.Fuente("t.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Uno"}, {"2", "Dos bis"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{lineas[1], lineas[3], lineas[4]}));
  V er = e.Resultado("Turno_Er.txt");
  ASSERT_EQ(er.size(), 2u);
  EXPECT_TRUE(Empieza(er[0], "abc,Primero(No coinciden los tipos") &&
              Termina(er[0], ", Columna:0)"))
      << er[0];
  EXPECT_TRUE(Empieza(er[1], "2',Dos(No coinciden los tipos") && Termina(er[1], ", Columna:0)"))
      << er[1];
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "Fin de importación"}));
}

TEST_P(ImportaDatosEn, LlavesConApostrofoYLlaveCompuestaConFecha) {
  EntornoImportacion e(GetParam());
  e.Definiciones(
      "[Formatos Archivo Fuente]\r\nOtro=|\r\n[Tablas]\r\nTotal=1\r\nTabla1=Kardex\r\n"
      "[Kardex]\r\nOrigen=" +
      e.Archivo("k.txt") +
      "\r\nFormato=4\r\nFormatoFecha=DD/MM/YYYY\r\nNombreIndice=Id_Empleado,Fecha\r\n"
      "Columnas=3\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha\r\n"
      "CampoColumna3=ID_Tipo\r\n");
  const V lineas = {"O'Neil|25/12/2005|VAC", "O'Neil|26/12/2005|VAC", "O'Neil|25/12/2005|INC",
                    "O'Neil||INC", "Ana|25/12/2005|FAL"};
  e.Fuente("k.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Kardex", {"Id_Empleado", "Fecha", "ID_Tipo"}),
            (Filas{{"Ana", "2005-12-25", "FAL"},
                   {"O'Neil", "2005-12-25", "INC"},
                   {"O'Neil", "2005-12-26", "VAC"}}));
  EXPECT_EQ(e.Resultado("Kardex_Ok.txt"), (V{lineas[0], lineas[1], lineas[2], lineas[4]}));
  EXPECT_EQ(e.Resultado("Kardex_Er.txt"),
            (V{"O'Neil||INC(Valor vacío en la columna índice (Fecha), Columna:0)"}));
}

TEST_P(ImportaDatosEn, LlaveDeFechaYHoraConservaLaHoraAlEscribirse) {
  // The row is written with the time its lookup used, so the same file
  // imported again updates it instead of adding a second row.
  EntornoImportacion e(GetParam());
  e.Definiciones(
      "[Tablas]\r\nTotal=1\r\nTabla1=Kardex\r\n[Kardex]\r\nOrigen=" + e.Archivo("k.txt") +
      "\r\nFormato=3\r\nFormatoFecha=DD/MM/YYYY\r\nNombreIndice=Id_Empleado,Fecha\r\n"
      "Columnas=3\r\nCampoColumna1=Id_Empleado\r\nCampoColumna2=Fecha\r\nCampoColumna3=ID_Tipo\r\n");
  e.Fuente("k.txt", {"7,25/12/2005 09:30:00 p.m.,VAC"});
  EXPECT_EQ(e.Importa(), 0);
  e.Fuente("k.txt", {"7,25/12/2005 09:30:00 p.m.,INC"});
  EXPECT_EQ(e.Importa(), 0);
  Filas filas = e.Lee("Kardex", {"Id_Empleado", "ID_Tipo"});
  EXPECT_EQ(filas, (Filas{{"7", "INC"}}));
}

TEST_P(ImportaDatosEn, SeparadosPorTabuladorEnElOrdenListado) {
  EntornoImportacion e(GetParam());
  e.Definiciones(
      "[Tablas]\r\nTotal=2\r\nTabla1=Jerarquias\r\nTabla2=Empleado\r\n"
      "[Jerarquias]\r\nOrigen=" +
      e.Archivo("j.txt") +
      "\r\nFormato=2\r\nNombreIndice=[Key]\r\nColumnas=2\r\nCampoColumna1=[Key]\r\n"
      "CampoColumna2=[Parent]\r\n"
      "[Empleado]\r\nOrigen=" +
      e.Archivo("e.txt") +
      "\r\nFormato=2\r\nColumnas=4\r\nCampoColumna1=ID_Empleado\r\n"
      "CampoColumna3=Nombre\r\nCampoColumna4=NumeroTarjeta\r\n");
  e.Fuente("j.txt", {"_10001\t_0A", "_0A\t"});
  e.Fuente("e.txt", {"7\tignorado\tSiete\t 700 \textra", "8"});

  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Jerarquias", {"[Key]", "[Parent]"}),
            (Filas{{"_0A", "NULL"}, {"_10001", "_0A"}}));
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "NumeroTarjeta"}),
            (Filas{{"7", "Siete", "700"}, {"8", "NULL", "NULL"}}));
  const V& estados = e.ventana->estados;
  auto posicion = [&](const std::string& s) {
    return std::find(estados.begin(), estados.end(), s) - estados.begin();
  };
  EXPECT_LT(posicion("Importando datos (Jerarquias)..."),
            posicion("Importando datos (Empleado)..."));
  EXPECT_LT(posicion("Importando datos (Empleado)..."), static_cast<long>(estados.size()));
}

TEST_P(ImportaDatosEn, BorrarAntesDeImportar) {
  for (const char* valor : {"1", "01", "1.0"}) {
    EntornoImportacion e(GetParam());
    e.Base().Execute("INSERT INTO Empleado (ID_Empleado, Nombre) VALUES ('9', 'Viejo')");
    e.Definiciones(SeccionEmpleado(e, std::string("Borrar antes de importar=") + valor + "\r\n"));
    e.Fuente("Empleado.txt", {Registro("1", "Nuevo", "", "", "", "")});
    EXPECT_EQ(e.Importa(), 0);
    Filas esperadas = {{"1", "Nuevo"}};
    if (std::string(valor) != "1") esperadas = {{"1", "Nuevo"}, {"9", "Viejo"}};
    EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre"}), esperadas) << valor;
  }
}

TEST_P(ImportaDatosEn, TablaInexistenteYArchivoFaltanteSeSaltan) {
  EntornoImportacion e(GetParam());
  e.Base().Execute("INSERT INTO Empleado (ID_Empleado, Nombre) VALUES ('9', 'Viejo')");
  std::filesystem::create_directory(e.Archivo("Log"));
  EscribeBytes(e.Archivo("Log/Nada_Ok.txt"), "anterior\r\n");
  EscribeBytes(e.Archivo("Log/Empleado_Ok.txt"), "anterior\r\n");
  e.Definiciones(
      "[Tablas]\r\nTotal=3\r\nTabla1=Nada\r\nTabla2=Empleado\r\nTabla3=Jerarquias\r\n"
      "[Nada]\r\nColumnas=1\r\nCampoColumna1=X\r\n"
      "[Empleado]\r\nBorrar antes de importar=1\r\nOrigen=" +
      e.Archivo("no.txt") +
      "\r\nColumnas=1\r\nCampoColumna1=ID_Empleado\r\n"
      "[Jerarquias]\r\nOrigen=" +
      e.Archivo("j.txt") +
      "\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=2\r\nCampoColumna1=Key\r\n"
      "CampoColumna2=Parent\r\n");
  e.Fuente("j.txt", {"_0A,"});

  EXPECT_EQ(e.Importa(), 1);
  V log = e.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], ">Inicio de importación");
  EXPECT_TRUE(Empieza(log[1], "[") && log[1].find("] Error: -") != std::string::npos &&
              log[1].find("Nada") != std::string::npos)
      << log[1];
  EXPECT_EQ(log[2], "Archivo origen no existe (" + e.Archivo("no.txt") + ")");
  EXPECT_EQ(log[3], "Fin de importación");
  // the failed probe leaves the table's result files alone; a missing
  // source still empties them and deletes nothing
  EXPECT_EQ(e.Resultado("Nada_Ok.txt"), V{"anterior"});
  EXPECT_FALSE(e.ExisteResultado("Nada_Er.txt"));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), V{});
  EXPECT_TRUE(e.ExisteResultado("Empleado_Er.txt"));
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado"}), Filas{{"9"}});
  EXPECT_EQ(e.Lee("Jerarquias", {"Key"}), Filas{{"_0A"}});
  EXPECT_EQ(e.ventana->estados.back(), "...Importación terminada!");
}

TEST_P(ImportaDatosEn, LineasDelLogPorDefinicionesIncompletas) {
  struct Caso {
    std::string tablas;
    V log;
    bool terminada;
  };
  const std::vector<Caso> casos = {
      {"[Tablas]\r\nTotal=abc\r\n",
       {">Inicio de importación", "[VarloDI] Error: 13 No coinciden los tipos",
        "Fin de importación"},
       false},
      {"[Tablas]\r\nTotal=0\r\n",
       {">Inicio de importación", "Con 0 tablas definidas", "Fin de importación"},
       false},
      {"[Tablas]\r\nTotal=1\r\nTabla1=\r\n",
       {">Inicio de importación", "No tiene nombre definido para la tabla 1", "Fin de importación"},
       true},
      // no "Tablas" section: table "Empleado", whose section is missing too
      {"", {">Inicio de importación", "Con 0 columnas definidas", "Fin de importación"}, true},
      {"[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nColumnas=2\r\nCampoColumna1="
       "Nombre\r\n",
       {">Inicio de importación", "No tiene definida la columna índice (ID_Empleado)",
        "Fin de importación"},
       true},
      {"[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nNombreIndice=\r\nColumnas=1\r\n"
       "CampoColumna1=Nombre\r\n",
       {">Inicio de importación", "No tiene definida la columna índice ()", "Fin de importación"},
       true},
      // no column named: the run ends, the second table is not imported
      {"[Tablas]\r\nTotal=2\r\nTabla1=Empleado\r\nTabla2=Kardex\r\n[Empleado]\r\nColumnas=2\r\n"
       "[Kardex]\r\nColumnas=0\r\n",
       {">Inicio de importación", "No tiene definida ni una sola columna", "Fin de importación"},
       false},
  };
  for (const Caso& c : casos) {
    EntornoImportacion e(GetParam());
    e.Definiciones(c.tablas);
    e.Importa();
    EXPECT_EQ(e.Log(), c.log) << c.tablas;
    bool terminada = e.ventana->estados.back() == "...Importación terminada!";
    EXPECT_EQ(terminada, c.terminada) << c.tablas;
  }
}

TEST_P(ImportaDatosEn, SinArchivoDeDefinicionesNiConexion) {
  EntornoImportacion e(GetParam());
  auto corre = [&](const std::string& definiciones) {
    e.ventana = std::make_unique<VentanaFalsa>();
    frmMain f(*e.ventana, "");
    f.ArchivoDefiniciones = definiciones;
    f.ReporteLog = 1;
    ImportaDatos(f);
    return f.EstadoSalida();
  };
  corre("   ");
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "No se especificó archivo de definiciones",
                        "Fin de importación"}));
  EscribeBytes(e.Archivo("otra.ini"), "[Base de Datos]\r\nConexion=Provider=SQLite;Data Source=" +
                                          e.Archivo("no/existe.db") + "\r\n");
  EXPECT_EQ(corre(e.Archivo("otra.ini")), 1);
  V log = e.Log();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[3], ">Inicio de importación");
  EXPECT_TRUE(Empieza(log[4], "[") && log[4].find("] Error: ") != std::string::npos) << log[4];
  EXPECT_EQ(log[5], "Fin de importación");
}

TEST_P(ImportaDatosEn, ColumnasDeEmpleadoQueNuncaSeEscriben) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "INSERT INTO Empleado (ID_Empleado, ID_Calendario, FIAplicacion) VALUES ('1', 'CAL', "
      "'2001-01-01 00:00:00')");
  e.Definiciones(
      "[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n[Empleado]\r\nOrigen=" + e.Archivo("e.txt") +
      "\r\nFormato=3\r\nColumnas=4\r\nCampoColumna1=ID_Empleado\r\n"
      "CampoColumna2=Nombre\r\nCampoColumna3=ID_Calendario\r\nCampoColumna4=FIAplicacion\r\n");
  e.Fuente("e.txt", {"1,Uno,NUEVO,2009-09-09", "2,Dos,NUEVO,2009-09-09"});
  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "ID_Calendario", "FIAplicacion"}),
            (Filas{{"1", "Uno", "CAL", "2001-01-01"}, {"2", "Dos", "NULL", "NULL"}}));
}

TEST_P(ImportaDatosEn, FallaDelUpdateRechazaConColumnaCero) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "CREATE TABLE Puesto (ID VARCHAR(5) NOT NULL PRIMARY KEY, Nombre VARCHAR(10) NOT NULL)");
  e.Base().Execute("INSERT INTO Puesto VALUES ('A', 'Alfa')");
  e.Definiciones(
      "[Tablas]\r\nTotal=1\r\nTabla1=Puesto\r\n[Puesto]\r\nOrigen=" + e.Archivo("p.txt") +
      "\r\nFormato=3\r\nNombreIndice=ID\r\nColumnas=2\r\nCampoColumna1=ID\r\n"
      "CampoColumna2=Nombre\r\n");
  e.Fuente("p.txt", {"A,", "B,", "C,Ce", "D,Demasiado largo"});
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Puesto", {"ID", "Nombre"}), (Filas{{"A", "Alfa"}, {"C", "Ce"}}));
  EXPECT_EQ(e.Resultado("Puesto_Ok.txt"), (V{"A,", "C,Ce"}));
  V er = e.Resultado("Puesto_Er.txt");
  ASSERT_EQ(er.size(), 2u);
  EXPECT_TRUE(Empieza(er[0], "B,(") && Termina(er[0], ", Columna:0)")) << er[0];
  EXPECT_TRUE(Empieza(er[1], "D,Demasiado largo(") && Termina(er[1], ", Columna:2)")) << er[1];
}

TEST_P(ImportaDatosEn, SinReportesNoSeTocanLosArchivosDeResultado) {
  EntornoImportacion e(GetParam());
  e.Definiciones(SeccionEmpleado(e));
  e.Fuente("Empleado.txt",
           {Registro("1", "Uno", "", "", "", ""), Registro("", "", "", "", "", "")});
  EXPECT_EQ(e.Importa(0, 0), 1);
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado"}), Filas{{"1"}});
  EXPECT_FALSE(e.ExisteResultado("Empleado_Ok.txt"));
  EXPECT_FALSE(e.ExisteResultado("Empleado_Er.txt"));
}

TEST_P(ImportaDatosEn, CodificacionDeLosArchivosDeResultado) {
  EntornoImportacion e(GetParam());
  e.Definiciones(SeccionEmpleado(e));
  // Windows-1252 source: the row holds UTF-8, the result line the same bytes as read
  e.Fuente("Empleado.txt", {"1     Peña"});
  e.Importa();
  EXPECT_EQ(e.Lee("Empleado", {"Nombre"}), Filas{{"Peña"}});
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Empleado_Ok.txt")),
            "1     Pe\xF1"
            "a\r\n");

  // a UTF-8 source with its byte-order mark gets UTF-8 result files
  EscribeBytes(e.Archivo("Empleado.txt"),
               "\xEF\xBB\xBF"
               "2     Muñoz\r\n      Núñez\r\n");
  e.Importa();
  EXPECT_EQ(e.Lee("Empleado", {"Nombre"}), (Filas{{"Muñoz"}, {"Peña"}}));
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Empleado_Ok.txt")), "2     Muñoz\r\n");
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Empleado_Er.txt")),
            "      Núñez(Valor vacío en la columna índice (ID_Empleado), Columna:0)\r\n");
}

INSTANTIATE_TEST_SUITE_P(Motores, ImportaDatosEn,
                         ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql),
                         [](const auto& info) {
                           return info.param == MotorPrueba::SQLite ? "SQLite" : "PostgreSql";
                         });

}  // namespace
}  // namespace varlo::prueba
