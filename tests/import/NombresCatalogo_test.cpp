// Names as the database knows them: a configured name is matched to the
// catalog's (letter case and brackets ignored) and always written quoted, so
// reserved words and mixed-case names import like any other.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

class NombresEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(NombresEn, ColumnasConPalabrasReservadasSeInsertanYSeActualizan) {
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
}

TEST_P(NombresEn, BorrarAntesDeImportarVaciaLaTablaConNombreReservado) {
  EntornoImportacion e(GetParam());
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

INSTANTIATE_TEST_SUITE_P(Motores, NombresEn,
                         ::testing::Values(MotorPrueba::SQLite, MotorPrueba::PostgreSql),
                         NombreMotor);

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

}  // namespace
}  // namespace varlo::prueba
