// The table import run in-process: rows added and updated, the result
// files, and what one record, one table or the whole run is refused for.
#include <gtest/gtest.h>

#include <filesystem>

#include "EntornoImportacion.h"
#include "support/ProgramaCopiado.h"

namespace varlo::prueba {
namespace {

class ImportaDatosEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(ImportaDatosEn, EscribePorTipoYRechazaSoloElRegistro) {
  EntornoImportacion e(GetParam());
  e.Tabla("Empleado", "ID_Empleado",
          {"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"});
  const V lineas = {"0001,Juan Perez,30,Si,01/02/2003,1500.5", "O'Bri,Ann,41,F,31/02/2006,",
                    "0002,Eva,22,N,01/13/2006,", ",Sin llave,20,,,",
                    "0003,Fecha mala,20,,01/01/20x1,",
                    // empty values leave the row's columns as they were
                    "0001,,31,,,",
                    // a time after the date is kept, a note after it is no time
                    "1,,,,25/12/2005 14:30:00,", "2,,,,25/12/2005 02:30:00 p.m.,",
                    "3,,,,25/12/2005 aprox.,", "4,,,,25/12/2005 25:00:00,"};
  e.Fuente("Empleado.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  // a day that does not exist is refused, never carried into the next month
  const std::string n = "NULL";
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"}),
            (Filas{{"0001", "Juan Perez", "31", "True", "2003-02-01", "1500.5"},
                   {"1", n, n, n, "2005-12-25 14:30:00", n},
                   {"2", n, n, n, "2005-12-25 14:30:00", n},
                   {"3", n, n, n, "2005-12-25", n}}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"),
            (V{lineas[0], lineas[5], lineas[6], lineas[7], lineas[8]}));
  EXPECT_EQ(e.Resultado("Empleado_Er.txt"),
            (V{lineas[1] + "(Fecha inexistente: FechaAlta='31/02/2006' con la máscara DD/MM/YYYY, "
                           "Columna:5)",
               lineas[2] + "(Fecha inexistente: FechaAlta='01/13/2006' con la máscara DD/MM/YYYY, "
                           "Columna:5)",
               lineas[3] + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)",
               lineas[4] + "(No coinciden los tipos: FechaAlta='01/01/20x1' no es una fecha "
                           "DD/MM/YYYY, Columna:5)",
               // a time that cannot be read is refused, never dropped
               lineas[9] + "(No coinciden los tipos: FechaAlta='25/12/2005 25:00:00' no es una "
                           "fecha DD/MM/YYYY, Columna:5)"}));
  // what one record does wrong stays out of the log
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "Fin de importación"}));
}

// A date key written without its zeros finds the row that the same day with
// zeros made, and the reverse: the key is stored as its lookup read it. A
// key with a time (a 12-hour one too) is written with the time its lookup
// used, and an ISO key under the default mask as that mask reads it: the same
// key imported again updates its row instead of adding a second one.
TEST_P(ImportaDatosEn, LlaveDeFechaEncuentraLaFilaQueEscribio) {
  EntornoImportacion e(GetParam());
  const std::string seccion =
      e.Seccion("Kardex", "Id_Empleado,Fecha", {"Id_Empleado", "Fecha", "ID_Tipo"});
  e.Definiciones(ListaTablas({"Kardex"}) + seccion);
  const V lineas = {"7,5/3/2010,A", "7,05/03/2010,B", "8,05/03/2010 14:30:00,C",
                    "8,5/3/2010 14:30,D", "9,31/2/2010,E"};
  e.Fuente("Kardex.txt", lineas);
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Resultado("Kardex_Ok.txt"), (V{lineas[0], lineas[1], lineas[2], lineas[3]}));
  EXPECT_EQ(e.Resultado("Kardex_Er.txt"), (V{lineas[4] + "(Fecha inexistente, Columna:0)"}));
  for (const std::string tipo : {"VAC", "INC"}) {
    e.Fuente("Kardex.txt", {"6,25/12/2005 09:30:00 p.m.," + tipo});
    EXPECT_EQ(e.Importa(), 0);
  }
  std::string iso = seccion;
  iso.replace(iso.find("FormatoFecha=DD/MM/YYYY\r\n"), 25, "");
  e.Definiciones(ListaTablas({"Kardex"}) + iso);
  for (const std::string tipo : {"VAC", "INC"}) {
    e.Fuente("Kardex.txt", {"5,2005-12-25," + tipo, "4,2005-12-25 14:30:00," + tipo});
    EXPECT_EQ(e.Importa(), 0);
  }
  EXPECT_EQ(e.Lee("Kardex", {"Id_Empleado", "Fecha", "ID_Tipo"}),
            (Filas{{"4", "2005-12-25 14:30:00", "INC"},
                   {"5", "2005-12-25", "INC"},
                   {"6", "2005-12-25 21:30:00", "INC"},
                   {"7", "2010-03-05", "B"},
                   {"8", "2010-03-05 14:30:00", "D"}}));
}

// A first table that cannot be imported as defined: a key without its
// column, an empty "TablaN" and a name that is no identifier skip only that
// table; no column named at all ends the import, the tables after it are
// not imported and the import is not shown as finished. Each is logged and
// noted in the exit status. The name never runs as SQL, not even with a
// table "Tres" to probe and "Borrar antes de importar" set.
TEST_P(ImportaDatosEn, TablaMalDefinidaSeDiceYSaltaOTermina) {
  const std::string nombre = "Tres; DROP TABLE Empleado";
  for (int caso = 0; caso < 4; ++caso) {
    EntornoImportacion e(GetParam());
    e.Base().Execute("CREATE TABLE Tres (ID INT)");
    e.Base().Execute("INSERT INTO Empleado (ID_Empleado) VALUES ('E1')");
    const std::pair<std::string, std::string> casos[] = {
        {"Empleado\r\n" + e.Seccion("Empleado", "ID_Empleado", {"Nombre"}),
         "No tiene definida la columna índice (ID_Empleado)"},
        {"Empleado\r\n" + e.Seccion("Empleado", "ID_Empleado", {"", ""}),
         "No tiene definida ni una sola columna"},
        {"\r\n", "No tiene nombre definido para la tabla 1"},
        {nombre + "\r\n" + e.Seccion(nombre, "ID", {"ID"}) + "Borrar antes de importar=1\r\n",
         "[VarloDI.BD] Error: 5 Nombre no válido: " + nombre}};
    const auto& [primera, linea] = casos[caso];
    SCOPED_TRACE(linea);
    e.Definiciones("[Tablas]\r\nTotal=2\r\nTabla2=Jerarquias\r\nTabla1=" + primera +
                   e.Seccion("Jerarquias", "Key", {"Key", "Parent"}));
    e.Fuente("Empleado.txt", {"1,Uno"});
    e.Fuente(nombre + ".txt", {"1"});
    e.Fuente("Jerarquias.txt", {"_0A,"});
    EXPECT_EQ(e.Importa(), 4);  // a table configured but not imported is not a clean run
    EXPECT_EQ(e.Log(), (V{">Inicio de importación", linea, "Fin de importación"}));
    EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre"}), (Filas{{"E1", "NULL"}}));
    EXPECT_EQ(e.Lee("Tres", {"ID"}), Filas{});
    const bool sigue = caso != 1;
    EXPECT_EQ(e.Lee("Jerarquias", {"Key", "Parent"}), (sigue ? Filas{{"_0A", "NULL"}} : Filas{}));
    EXPECT_EQ(std::count(e.ventana->estados.begin(), e.ventana->estados.end(),
                         "...Importación terminada!"),
              0);
  }
}

// Each record shows its counter against the table's own total, the first
// after the header lines skipped; a table with a different total after
// another shows its own.
TEST_P(ImportaDatosEn, CadaRegistroMuestraSuContadorContraElTotalDeSuTabla) {
  EntornoImportacion e(GetParam());
  e.Definiciones("[Tablas]\r\nTotal=2\r\nTabla1=Empleado\r\nTabla2=Jerarquias\r\n" +
                 e.Seccion("Empleado", "ID_Empleado", {"ID_Empleado", "Nombre"}) +
                 e.Seccion("Jerarquias", "Key", {"Key", "Parent"}) + "LineasEncabezado=1\r\n");
  e.Fuente("Empleado.txt", {"1,Uno", "2,Dos", "3,Tres"});
  std::vector<std::string> jerarquias = {"Key,Parent"};
  for (int i = 0; i < 11; ++i) jerarquias.push_back("_" + std::to_string(i) + ",");
  e.Fuente("Jerarquias.txt", jerarquias);
  EXPECT_EQ(e.Importa(), 0);
  V esperados = {"Importando datos (Empleado)...", "Importando datos (Empleado)... (1 de 3)",
                 "Importando datos (Empleado)... (2 de 3)",
                 "Importando datos (Empleado)... (3 de 3)", "Importando datos (Jerarquias)..."};
  for (int n = 2; n <= 12; ++n)
    esperados.push_back("Importando datos (Jerarquias)... (" + std::to_string(n) + " de 12)");
  V vistos;
  for (const std::string& estado : e.ventana->estados)
    if (estado.starts_with("Importando datos")) vistos.push_back(estado);
  EXPECT_EQ(vistos, esperados);
}

// A source that begins with a UTF-8 byte-order mark is read as UTF-8 and its
// result files are UTF-8; any other source, and its results, are Windows-1252.
TEST_P(ImportaDatosEn, ResultadosEnLaCodificacionDelOrigen) {
  struct Caso {
    bool bom;
    std::string nombre;  // "Ω" has no Windows-1252 byte, "€" has one
  };
  for (const Caso& c : {Caso{true, "Ñandú Ω"}, Caso{false, "Ñandú €"}}) {
    SCOPED_TRACE(c.nombre);
    EntornoImportacion e(GetParam());
    e.Tabla("Empleado", "ID_Empleado", {"ID_Empleado", "Nombre"});
    auto enArchivo = [&c](const std::string& texto) { return c.bom ? texto : Utf8AAnsi(texto); };
    const std::string importada = "0001," + c.nombre, rechazada = "," + c.nombre;
    EscribeBytes(e.Archivo("Empleado.txt"), (c.bom ? "\xEF\xBB\xBF" : "") +
                                                enArchivo(importada + "\r\n" + rechazada + "\r\n"));
    EXPECT_EQ(e.Importa(), 1);
    EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre"}), (Filas{{"0001", c.nombre}}));
    auto resultado = [&](const std::string& archivo) {
      std::string bytes = LeeBytes(e.Archivo("Log/" + archivo));
      if (c.bom && bytes.starts_with("\xEF\xBB\xBF"))
        bytes.erase(0, 3);  // a mark of its own is fine
      return bytes;
    };
    EXPECT_EQ(resultado("Empleado_Ok.txt"), enArchivo(importada + "\r\n"));
    EXPECT_EQ(
        resultado("Empleado_Er.txt"),
        enArchivo(rechazada + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)\r\n"));
  }
}

TEST_P(ImportaDatosEn, TablaOFuenteQueFaltanYBorrarAntesDeImportar) {
  // A table the database lacks and a missing source file skip only their
  // table; "Borrar antes de importar" deletes first only when it is "1".
  EntornoImportacion e(GetParam());
  e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('_0X', NULL)");
  e.Definiciones(
      "[Tablas]\r\nTotal=3\r\nTabla1=NoExiste\r\nTabla2=Empleado\r\nTabla3=Jerarquias\r\n" +
      e.Seccion("NoExiste", "ID", {"ID"}) + e.Seccion("Empleado", "ID_Empleado", {"ID_Empleado"}) +
      e.Seccion("Jerarquias", "Key", {"Key", "Parent"}) + "Borrar antes de importar=1\r\n");
  e.Fuente("NoExiste.txt", {"1"});
  e.Fuente("Jerarquias.txt", {"_0A,"});
  EXPECT_EQ(e.Importa(), 4);  // a configured table was not imported
  EXPECT_EQ(e.ventana->Estado(), "...Importación terminada con errores");
  V log = e.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].find("] Error: -"), log[1].find(']')) << log[1];
  // the Spanish gloss first, the database's own text after it
  EXPECT_NE(log[1].find("Error: -2147217900 no existe la tabla: "), std::string::npos) << log[1];
  EXPECT_EQ(log[2], "Archivo origen no existe (" + e.Archivo("Empleado.txt") + ")");
  EXPECT_EQ(e.Lee("Jerarquias", {"Key", "Parent"}), (Filas{{"_0A", "NULL"}}));
  // Each table not imported has its own summary line with the reason, and
  // the reasons reach the person, not only the log.
  const std::string sinOrigen = "Resumen Empleado: no importada — Archivo origen no existe (" +
                                e.Archivo("Empleado.txt") + ")";
  V resumenes = e.Resumenes();
  ASSERT_EQ(resumenes.size(), 3u);
  EXPECT_EQ(resumenes[0].rfind("Resumen NoExiste: no importada — Error -2147217900: ", 0), 0u)
      << resumenes[0];
  EXPECT_EQ(resumenes[1], sinOrigen);
  EXPECT_EQ(resumenes[2].rfind("Resumen Jerarquias: 1 leídas, 1 agregadas", 0), 0u) << resumenes[2];
  ASSERT_EQ(e.avisos.size(), 1u);
  EXPECT_EQ(e.avisos[0], log[1]);
  const V mostrados = e.ventana->resumenes;
  EXPECT_EQ(std::count(mostrados.begin(), mostrados.end(), sinOrigen), 1);
  ASSERT_EQ(e.importaciones.size(), 3u);
  EXPECT_EQ(e.importaciones[1].estado, EstadoImportacion::NoImportada);
  EXPECT_EQ(e.importaciones[2].estado, EstadoImportacion::Importada);
}

// The program itself, copied into a private folder (so that "Log" is beside
// it), run on definitions and source files made here.
TEST_P(ImportaDatosEn, ElProgramaImportaTablasConJerarquiaFotosYRechazos) {
  EntornoImportacion e(GetParam());
  std::filesystem::create_directories(e.Archivo("datos/Empleado_Foto"));
  const std::string foto =
      std::string("\xFF\xD8\xFF\xE0", 4) + "foto de Ana" + std::string("\0\xFF\xD9", 3);
  EscribeBytes(e.Archivo("datos/Empleado_Foto/1.jpg"), foto);
  // a new row with its picture, held with the others and written together
  const std::string otra = std::string("\x01\x2F\x9C\x5C\x0D\x0A\x00", 7) + "Bob";
  EscribeBytes(e.Archivo("datos/Empleado_Foto/O'B.jpg"), otra);
  e.Definiciones(
      "[Tablas]\r\nTotal=2\r\nTabla1=Jerarquias\r\nTabla2=Empleado\r\n"
      "[Jerarquias]\r\nFormato=3\r\nNombreIndice=Key\r\nColumnas=2\r\nCampoColumna1=Key\r\n"
      "CampoColumna2=Parent\r\nOrigen=" +
      e.Archivo("datos/j.txt") + "\r\n[Empleado]\r\nOrigen=" + e.Archivo("datos/Empleado.txt") +
      "\r\nFormato=1\r\nFormatoFecha=YYYYMMDD\r\nNombreIndice=ID_Empleado\r\n"
      "Jerarquia unica en columna=3\r\nColumnas=6\r\n"
      "CampoColumna1=ID_Empleado\r\nLongitudColumna1=6\r\n"
      "CampoColumna2=Nombre\r\nLongitudColumna2=12\r\n"
      "CampoColumna3=ID_Nivel2\r\nLongitudColumna3=5\r\n"
      "CampoColumna4=Activo\r\nLongitudColumna4=3\r\n"
      "CampoColumna5=FechaAlta\r\nLongitudColumna5=8\r\n"
      "CampoColumna6=Foto\r\nLongitudColumna6=0\r\n");
  e.Fuente("datos/j.txt", {"_0DIR,", "_1VEN,_0DIR", "_2NTE,_1VEN"});
  const V lineas = {"1     Ana         NTE  Si 20050102", "O'B   Bob         NTE  no 20060302",
                    "      Nadie       NTE  Si 20050102", "1     Ana Maria        N  "};
  e.Fuente("datos/Empleado.txt", lineas);

  CopiaPrograma(e.Archivo(""));
  EXPECT_EQ(CorreCopia(e.Archivo(""), e.Archivo("defs.ini")), 1);  // one record rejected

  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "ID_Nivel2", "ID_Nivel1", "ID_Nivel0",
                               "Activo", "FechaAlta", "Foto"}),
            (Filas{{"1", "Ana Maria", "NTE", "VEN", "DIR", "False", "2005-01-02", foto},
                   {"O'B", "Bob", "NTE", "VEN", "DIR", "False", "2006-03-02", otra}}))
      << LeeBytes(e.Archivo("errores.txt"));
  EXPECT_EQ(e.Resultado("Jerarquias_Ok.txt"), (V{"_0DIR,", "_1VEN,_0DIR", "_2NTE,_1VEN"}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{lineas[0], lineas[1], lineas[3]}));
  EXPECT_EQ(e.Resultado("Empleado_Er.txt"),
            (V{lineas[2] + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)"}));
  // the table import's own lines come first, free of the rejected record
  V log = e.Log();
  log.resize(std::min<std::size_t>(log.size(), 2));
  EXPECT_EQ(log, (V{">Inicio de importación", "Fin de importación"}));
}

// A UTF-8 source (byte-order mark) with lines ended by CR alone: a line that
// is not UTF-8 and one longer than 1 MiB are rejected with column 0, the
// lines around them import.
TEST(ImportaDatos, LineaQueNoSePuedeLeerSeRechazaYSigue) {
  EntornoImportacion e;
  e.Tabla("Jerarquias", "Key", {"Key", "Parent"});
  EscribeBytes(e.Archivo("Jerarquias.txt"), "\xEF\xBB\xBF_0A\xC3\xB1o,\r_0Mal\xC3(,\r_0L," +
                                                std::string(1 << 20, 'x') + "\r_0Fin,");
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Jerarquias", {"Key", "Parent"}), (Filas{{"_0Año", "NULL"}, {"_0Fin", "NULL"}}));
  // the result files of a UTF-8 source are UTF-8, with the mark it had
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Jerarquias_Ok.txt")),
            "\xEF\xBB\xBF_0A\xC3\xB1o,\r\n_0Fin,\r\n");
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Jerarquias_Er.txt")),
            "\xEF\xBB\xBF_0Mal\xC3(,(La línea no es texto UTF-8 válido, Columna:0)\r\n_0L," +
                std::string(96, 'x') +
                "...(La línea 3 pasa del largo máximo de 1048576 bytes, Columna:0)\r\n");
}

// A photograph's file is named after the row's key inside its folder: a key
// that would lead out of the folder refuses its record at the key's column.
// A decimal text goes into a whole-number column rounded, halves to even;
// past the column's range it is still an overflow.
TEST(ImportaDatos, LlaveFueraDeLaCarpetaDeFotosYDecimalEnColumnaEntera) {
  EntornoImportacion e;
  std::filesystem::create_directory(e.Archivo("Empleado_Foto"));
  EscribeBytes(e.Archivo("Empleado_Foto/1.jpg"), "foto de Ana");
  EscribeBytes(e.Archivo("secreto.jpg"), "fuera de la carpeta");
  e.Tabla("Empleado", "ID_Empleado", {"ID_Empleado", "Nombre", "Foto", "Edad", "NumeroTarjeta"});
  e.Fuente("Empleado.txt", {"1,Ana,,30.00,1500.00", "../secreto,Bob,,,", "..,Eva,,,", "2,,,2.5,3.5",
                            "3,,,-0.5,7.51", "4,,,32767.5,1", "5,,,1e3,1"});
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(
      e.Lee("Empleado", {"ID_Empleado", "Foto", "Edad", "NumeroTarjeta"}),
      (Filas{
          {"1", "foto de Ana", "30", "1500"}, {"2", "NULL", "2", "4"}, {"3", "NULL", "0", "8"}}));
  const std::string motivo =
      "\" saldría de su carpeta: no puede llevar \"/\" ni \"..\", Columna:1)";
  const V er = e.Resultado("Empleado_Er.txt");
  ASSERT_EQ(er.size(), 4u);
  EXPECT_EQ(er[0], "../secreto,Bob,,,(El nombre de fotografía \"../secreto" + motivo);
  EXPECT_EQ(er[1], "..,Eva,,,(El nombre de fotografía \".." + motivo);
  EXPECT_EQ(er[2].rfind("4,,,32767.5,1(Desbordamiento", 0), 0u) << er[2];
  EXPECT_EQ(er[3].rfind("5,,,1e3,1(No coinciden los tipos", 0), 0u) << er[3];
}

INSTANTIATE_TEST_SUITE_P(Motores, ImportaDatosEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
