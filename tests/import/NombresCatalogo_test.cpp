// Names as the database knows them: a configured name is matched to the
// catalog's (letter case and brackets ignored) and always written quoted, so
// reserved words and mixed-case names import like any other.
#include <gtest/gtest.h>

#include <random>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

class NombresEn : public ::testing::TestWithParam<MotorPrueba> {};

// Reserved words as column names are inserted and updated; a table named by
// one is emptied by "Borrar antes de importar".
TEST_P(NombresEn, PalabrasReservadasSeInsertanActualizanYBorran) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(
      "CREATE TABLE \"Reservadas\" (\"Key\" VARCHAR(10) NOT NULL PRIMARY KEY, \"Order\" INT, "
      "\"User\" VARCHAR(20), \"Date\" DATE, \"Group\" VARCHAR(5), \"Select\" INT)");
  // the same names in several spellings: bracketed, plain, another case
  e.Definiciones(ListaTablas({"reservadas"}) +
                 SeccionComas("reservadas", e.Archivo("Reservadas.txt"), "[Key]",
                              {"[Key]", "order", "[USER]", "Date", "[Group]", "select"}));
  e.Fuente("Reservadas.txt", {"A,1,ana,03/08/2006,g1,7", "B,2,beto,04/08/2006,g2,8"});
  ASSERT_EQ(e.Importa(), 0) << e.Resultado("reservadas_Er.txt").front();
  // a second run finds each row by its reserved key and changes it
  e.Fuente("Reservadas.txt", {"A,10,ana2,05/08/2006,g3,9"});
  ASSERT_EQ(e.Importa(), 0) << e.Resultado("reservadas_Er.txt").front();

  const V columnas = {"[Key]", "[Order]", "[User]", "[Group]", "[Select]"};
  EXPECT_EQ(e.Lee("Reservadas", columnas),
            (Filas{{"A", "10", "ana2", "g3", "9"}, {"B", "2", "beto", "g2", "8"}}));
  EXPECT_EQ(e.Resumenes(), (V{"Resumen reservadas: 2 leídas, 2 agregadas, 0 actualizadas, 0 "
                              "rechazadas, 0 sin procesar",
                              "Resumen reservadas: 1 leídas, 0 agregadas, 1 actualizadas, 0 "
                              "rechazadas, 0 sin procesar"}));

  e.Base().Execute(
      "CREATE TABLE \"Order\" (\"Key\" INT NOT NULL PRIMARY KEY, \"Desc\" VARCHAR(9))");
  e.Base().Execute("INSERT INTO \"Order\" VALUES (9, 'vieja')");
  e.Definiciones(ListaTablas({"[order]"}) +
                 SeccionComas("[order]", e.Archivo("Order.txt"), "Key", {"Key", "desc"}) +
                 "Borrar antes de importar=1\r\n");
  e.Fuente("Order.txt", {"1,uno"});
  ASSERT_EQ(e.Importa(), 0) << e.Log().back();
  EXPECT_EQ(e.Lee("[Order]", {"[Key]", "[Desc]"}), (Filas{{"1", "uno"}}));
}

INSTANTIATE_TEST_SUITE_P(Motores, NombresEn, TodosLosMotores(), NombreMotor);

// PostgreSQL keeps the case of a name created quoted and folds an unquoted
// one: both are found from the definitions' spelling, whatever its case.
TEST(NombresPostgreSql, ColumnasCreadasEntreComillasConMayusculas) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  e.Base().Execute(
      "CREATE TABLE \"Altas\" (\"ID_Empleado\" VARCHAR(6) PRIMARY KEY, \"FechaAlta\" DATE, "
      "nombre VARCHAR(20))");
  e.Definiciones(ListaTablas({"Altas"}) + SeccionComas("Altas", e.Archivo("Altas.txt"),
                                                       "ID_Empleado",
                                                       {"ID_Empleado", "[FechaAlta]", "Nombre"}));
  e.Fuente("Altas.txt", {"000101,03/08/2006,Ana", "000102,15/01/2010,Luis"});
  ASSERT_EQ(e.Importa(), 0) << e.Resultado("Altas_Er.txt").front();
  e.Fuente("Altas.txt", {"000101,04/08/2006,Ana María"});
  ASSERT_EQ(e.Importa(), 0) << e.Resultado("Altas_Er.txt").front();
  EXPECT_EQ(e.Lee("altas", {"id_empleado", "fechaalta", "NOMBRE"}),
            (Filas{{"000101", "2006-08-04", "Ana María"}, {"000102", "2010-01-15", "Luis"}}));
}

// A schema of its own beside the test's, dropped at the end (test programs
// run side by side on one server).
class EsquemaAparte {
 public:
  explicit EsquemaAparte(db::Conexion& cn)
      : cn_(cn), nombre_("Rh" + std::to_string(std::random_device{}() % 1000000000)) {
    cn_.Execute("CREATE SCHEMA \"" + nombre_ + "\"");
  }
  ~EsquemaAparte() {
    try {
      cn_.Execute("DROP SCHEMA \"" + nombre_ + "\" CASCADE");
    } catch (...) {
    }
  }
  const std::string& Nombre() const { return nombre_; }

 private:
  db::Conexion& cn_;
  std::string nombre_;
};

// "schema.table", each part plain or bracketed: the same table name in two
// schemas are two tables, each with its own result files.
TEST(NombresPostgreSql, TablasDeDosPartesEnEsquemasDistintos) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  EsquemaAparte otro(e.Base());
  const std::string rh = otro.Nombre();
  e.Base().Execute(kCreaTurno);
  e.Base().Execute("CREATE TABLE \"" + rh +
                   "\".\"Turno\" (\"ID\" INT NOT NULL PRIMARY KEY, \"Nombre\" VARCHAR(20))");
  // the other schema's name in another case, the table bracketed
  const std::string deOtro = rh + ".[turno]", sinEsquema = rh + "x.Turno";
  e.Definiciones(ListaTablas({"Turno", deOtro, sinEsquema}) +
                 SeccionComas("Turno", e.Archivo("Turno.txt"), "ID", {"ID", "Nombre"}) +
                 SeccionComas(deOtro, e.Archivo("Otro.txt"), "id", {"id", "nombre"}) +
                 "Borrar antes de importar=1\r\n" +
                 SeccionComas(sinEsquema, e.Archivo("Turno.txt"), "ID", {"ID", "Nombre"}));
  e.Fuente("Turno.txt", {"1,Uno"});
  e.Fuente("Otro.txt", {"1,Otro uno", "2,Otro dos"});
  // a schema that does not exist: that table alone is not imported
  EXPECT_EQ(e.Importa(), 4);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Uno"}}));
  EXPECT_EQ(e.Lee("[" + rh + "].[Turno]", {"ID", "Nombre"}),
            (Filas{{"1", "Otro uno"}, {"2", "Otro dos"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{"1,Uno"}));
  EXPECT_EQ(e.Resultado("turno." + rh + "_Ok.txt"), (V{"1,Otro uno", "2,Otro dos"}));
  // a second run empties only the other schema's table before importing
  e.Fuente("Otro.txt", {"3,Otro tres"});
  EXPECT_EQ(e.Importa(), 4);
  EXPECT_EQ(e.Lee("[" + rh + "].[Turno]", {"ID"}), (Filas{{"3"}}));
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}}));
}

}  // namespace
}  // namespace varlo::prueba
