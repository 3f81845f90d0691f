// The table import run in-process: rows added and updated, the result
// files, and what one record, one table or the whole run is refused for.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

class ImportaDatosEn : public ::testing::TestWithParam<MotorPrueba> {};

// A table section of comma-separated lines from `origen`, keyed by `llave`.
std::string Seccion(const EntornoImportacion& e, const std::string& tabla, const std::string& llave,
                    const V& columnas) {
  std::string s = "[" + tabla + "]\r\nOrigen=" + e.Archivo(tabla + ".txt") +
                  "\r\nFormato=3\r\nFormatoFecha=DD/MM/YYYY\r\nNombreIndice=" + llave +
                  "\r\nColumnas=" + std::to_string(columnas.size()) + "\r\n";
  for (std::size_t i = 0; i < columnas.size(); ++i)
    s += "CampoColumna" + std::to_string(i + 1) + "=" + columnas[i] + "\r\n";
  return s;
}

TEST_P(ImportaDatosEn, EscribePorTipoYRechazaSoloElRegistro) {
  EntornoImportacion e(GetParam());
  e.Definiciones("[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n" +
                 Seccion(e, "Empleado", "ID_Empleado",
                         {"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"}));
  const V lineas = {"0001,Juan Perez,30,Si,01/02/2003,1500.5", "O'Bri,Ann,41,F,31/02/2006,",
                    "0002,Eva,22,N,01/13/2006,", ",Sin llave,20,,,",
                    "0003,Fecha mala,20,,01/01/20x1,",
                    // empty values leave the row's columns as they were
                    "0001,,31,,,"};
  e.Fuente("Empleado.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Empleado", {"ID_Empleado", "Nombre", "Edad", "Activo", "FechaAlta", "Sueldo"}),
            (Filas{{"0001", "Juan Perez", "31", "True", "2003-02-01", "1500.5"},
                   {"0002", "Eva", "22", "False", "2007-01-01", "NULL"},
                   {"O'Bri", "Ann", "41", "False", "2006-03-03", "NULL"}}));
  EXPECT_EQ(e.Resultado("Empleado_Ok.txt"), (V{lineas[0], lineas[1], lineas[2], lineas[5]}));
  EXPECT_EQ(e.Resultado("Empleado_Er.txt"),
            (V{lineas[3] + "(Valor vacío en la columna índice (ID_Empleado), Columna:0)",
               lineas[4] + "(No coinciden los tipos, Columna:5)"}));
  // what one record does wrong stays out of the log
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "Fin de importación"}));
}

TEST_P(ImportaDatosEn, BusquedaFallidaRechazaSoloEseRegistro) {
  EntornoImportacion e(GetParam());
  e.Base().Execute("CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20))");
  e.Definiciones("[Tablas]\r\nTotal=1\r\nTabla1=Turno\r\n" +
                 Seccion(e, "Turno", "ID", {"ID", "Nombre"}));
  const V lineas = {"abc,Primero", "1,Uno", "2',Dos", ",Vacio", "0002,Dos", "2,Dos bis"};
  e.Fuente("Turno.txt", lineas);

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Uno"}, {"2", "Dos bis"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{lineas[1], lineas[4], lineas[5]}));
  V er = e.Resultado("Turno_Er.txt");
  ASSERT_EQ(er.size(), 3u);
  for (int i : {0, 1}) {
    const std::string inicio = lineas[i * 2] + "(No coinciden los tipos", fin = ", Columna:0)";
    EXPECT_EQ(er[i].substr(0, inicio.size()), inicio) << er[i];
    EXPECT_EQ(er[i].substr(er[i].size() - std::min(er[i].size(), fin.size())), fin) << er[i];
  }
  // the empty key is refused before any lookup is made
  EXPECT_EQ(er[2], ",Vacio(Valor vacío en la columna índice (ID), Columna:0)");
}

TEST_P(ImportaDatosEn, LlaveSinColumnaSaltaSoloEsaTabla) {
  EntornoImportacion e(GetParam());
  e.Definiciones("[Tablas]\r\nTotal=2\r\nTabla1=Empleado\r\nTabla2=Jerarquias\r\n" +
                 Seccion(e, "Empleado", "ID_Empleado", {"Nombre"}) +
                 Seccion(e, "Jerarquias", "Key", {"Key", "Parent"}));
  e.Fuente("Empleado.txt", {"Uno"});
  e.Fuente("Jerarquias.txt", {"_0A,"});
  EXPECT_EQ(e.Importa(), 1);  // a table configured but not imported is not a clean run
  EXPECT_EQ(e.Log(),
            (V{">Inicio de importación", "No tiene definida la columna índice (ID_Empleado)",
               "Fin de importación"}));
  EXPECT_EQ(e.Lee("Empleado", {"Nombre"}), Filas{});
  EXPECT_EQ(e.Lee("Jerarquias", {"Key", "Parent"}), (Filas{{"_0A", "NULL"}}));
}

TEST_P(ImportaDatosEn, SinColumnaNombradaTerminaLaImportacion) {
  EntornoImportacion e(GetParam());
  e.Definiciones("[Tablas]\r\nTotal=2\r\nTabla1=Empleado\r\nTabla2=Jerarquias\r\n" +
                 Seccion(e, "Empleado", "ID_Empleado", {"", ""}) +
                 Seccion(e, "Jerarquias", "Key", {"Key", "Parent"}));
  e.Fuente("Empleado.txt", {"1,Uno"});
  e.Fuente("Jerarquias.txt", {"_0A,"});
  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Log(), (V{">Inicio de importación", "No tiene definida ni una sola columna",
                        "Fin de importación"}));
  // the tables after it are not imported, and the import is not shown as finished
  EXPECT_EQ(e.Lee("Jerarquias", {"Key"}), Filas{});
  EXPECT_EQ(
      std::count(e.ventana->estados.begin(), e.ventana->estados.end(), "...Importación terminada!"),
      0);
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
    e.Definiciones("[Tablas]\r\nTotal=1\r\nTabla1=Empleado\r\n" +
                   Seccion(e, "Empleado", "ID_Empleado", {"ID_Empleado", "Nombre"}));
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

TEST_P(ImportaDatosEn, LlaveDeFechaYHoraConservaLaHoraAlEscribirse) {
  // The row is written with the time its lookup used, so the same key
  // imported again updates it instead of adding a second row.
  EntornoImportacion e(GetParam());
  e.Definiciones("[Tablas]\r\nTotal=1\r\nTabla1=Kardex\r\n" +
                 Seccion(e, "Kardex", "Id_Empleado,Fecha", {"Id_Empleado", "Fecha", "ID_Tipo"}));
  for (const char* tipo : {"VAC", "INC"}) {
    e.Fuente("Kardex.txt", {std::string("7,25/12/2005 09:30:00 p.m.,") + tipo});
    EXPECT_EQ(e.Importa(), 0);
  }
  EXPECT_EQ(e.Lee("Kardex", {"Id_Empleado", "ID_Tipo"}), (Filas{{"7", "INC"}}));
}

TEST_P(ImportaDatosEn, TablaOFuenteQueFaltanYBorrarAntesDeImportar) {
  // A table the database lacks and a missing source file skip only their
  // table; "Borrar antes de importar" deletes first only when it is "1".
  EntornoImportacion e(GetParam());
  e.Base().Execute("INSERT INTO Jerarquias (Key, Parent) VALUES ('_0X', NULL)");
  e.Definiciones(
      "[Tablas]\r\nTotal=3\r\nTabla1=NoExiste\r\nTabla2=Empleado\r\nTabla3=Jerarquias\r\n" +
      Seccion(e, "NoExiste", "ID", {"ID"}) +
      Seccion(e, "Empleado", "ID_Empleado", {"ID_Empleado"}) +
      Seccion(e, "Jerarquias", "Key", {"Key", "Parent"}) + "Borrar antes de importar=1\r\n");
  e.Fuente("NoExiste.txt", {"1"});
  e.Fuente("Jerarquias.txt", {"_0A,"});
  EXPECT_EQ(e.Importa(), 1);
  V log = e.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].find("] Error: -"), log[1].find(']')) << log[1];
  EXPECT_EQ(log[2], "Archivo origen no existe (" + e.Archivo("Empleado.txt") + ")");
  EXPECT_EQ(e.Lee("Jerarquias", {"Key", "Parent"}), (Filas{{"_0A", "NULL"}}));
}

INSTANTIATE_TEST_SUITE_P(Motores, ImportaDatosEn,
                         ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql),
                         NombreMotor);

}  // namespace
}  // namespace varlo::prueba
