// A value reaches its column the same whatever the path that wrote it (one
// record at a time, or rows written together), and a key is looked up with
// exactly the value it is written with.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

// Decimal texts as an operator's file has them, long ones included.
const V kDecimales = {"0.1", "2.675", "123456789.123456789012", "-0.000000000000000000001", "-42"};

// The records per transaction: one, and the default batches (rows held and
// written together).
class DecimalesEn : public ::testing::TestWithParam<long> {};

// PostgreSQL's own reading of each source text is the judge: the stored
// value must be what `cast(text as numeric)` makes of it, new row or update.
TEST_P(DecimalesEn, NumericConservaElTextoDecimal) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  e.Base().Execute("CREATE TABLE Medida (ID INT NOT NULL PRIMARY KEY, Valor NUMERIC)");
  e.Base().Execute("CREATE TABLE Esperado (ID INT NOT NULL PRIMARY KEY, Texto TEXT)");
  e.Definiciones(ListaTablas({"Medida"}) + e.Seccion("Medida", "ID", {"ID", "Valor"}));
  Corrida::Opciones o = Lote(GetParam());
  for (int pasada = 0; pasada < 2; ++pasada) {
    SCOPED_TRACE(pasada == 0 ? "filas nuevas" : "filas actualizadas");
    V lineas;
    e.Base().Execute("DELETE FROM Esperado");
    for (std::size_t i = 0; i < kDecimales.size(); ++i) {
      // the second pass writes other values over the same rows
      const std::string texto = pasada == 0 ? kDecimales[i] : kDecimales[i] + "1";
      lineas.push_back(std::to_string(i + 1) + "," + texto);
      e.Base().Execute("INSERT INTO Esperado VALUES (" + std::to_string(i + 1) + ", '" + texto +
                       "')");
    }
    e.Fuente("Medida.txt", lineas);
    ASSERT_EQ(e.Importa(o), 0) << Une(e.Resultado("Medida_Er.txt"), "\n");
    e.Base().Execute("DROP TABLE IF EXISTS Distinto");
    e.Base().Execute(
        "CREATE TABLE Distinto AS SELECT m.ID, m.Valor::text AS Guardado, x.Texto FROM Medida m "
        "JOIN Esperado x ON x.ID = m.ID WHERE m.Valor::text <> cast(x.Texto AS numeric)::text");
    EXPECT_EQ(e.Lee("Distinto", {"ID", "Guardado", "Texto"}), Filas{});
    EXPECT_EQ(e.Lee("Medida", {"ID"}).size(), kDecimales.size());
  }
}

class LlaveEnteraEn : public ::testing::TestWithParam<MotorPrueba> {};

INSTANTIATE_TEST_SUITE_P(Lotes, DecimalesEn, ::testing::Values(1L, 0L),
                         [](const ::testing::TestParamInfo<long>& i) {
                           return i.param == 1 ? std::string("UnoPorUno") : std::string("EnLotes");
                         });

// A decimal written into a whole-number key: the row could only be found
// again with the rounded number, so the record is refused with its reason; a
// zero fraction is the whole number, and finds its row the next time.
TEST_P(LlaveEnteraEn, DecimalEnLlaveEnteraSeRechazaYCeroDecimalEncuentraSuFila) {
  EntornoImportacion e(GetParam());
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"2.5,Medio", "3.0,Tres", "4,Cuatro"});
  for (int corrida = 0; corrida < 2; ++corrida) {
    SCOPED_TRACE(corrida);
    EXPECT_EQ(e.Importa(), 1);
    const V er = e.Resultado("Turno_Er.txt");
    ASSERT_EQ(er.size(), 1u);
    EXPECT_NE(er[0].find("2.5,Medio(La columna índice (ID) es de números enteros"),
              std::string::npos)
        << er[0];
    EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{"3.0,Tres", "4,Cuatro"}));
    EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"3", "Tres"}, {"4", "Cuatro"}}));
    ASSERT_EQ(e.importaciones.size(), 1u);
    EXPECT_EQ(e.importaciones[0].cuentas.actualizadas, corrida == 0 ? 0 : 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Motores, LlaveEnteraEn, TodosLosMotores(), NombreMotor);

}  // namespace
}  // namespace varlo::prueba
