// A value reaches its column the same whatever the path that wrote it (one
// record at a time, or rows written together), and a key is looked up with
// exactly the value it is written with; the text that stands for NULL.
#include <gtest/gtest.h>

#include <tuple>

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
  e.Tabla("Medida", "ID", {"ID", "Valor"});
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
  e.PreparaTurno();
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

// The engine, and the records per transaction (0: the default batches).
using Caso = std::tuple<MotorPrueba, long>;

class TextoNuloEn : public ::testing::TestWithParam<Caso> {};

// "TextoNulo": a value equal to it writes NULL, on every write path (a new
// row and an existing one, one record per transaction and held batches).
TEST_P(TextoNuloEn, EscribeNuloNuncaEnLaLlaveYVacioNoBorra) {
  const auto [motor, lote] = GetParam();
  EntornoImportacion e(motor);
  e.Base().Execute(
      "CREATE TABLE Persona (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20), Edad INT, "
      "Alta TIMESTAMP, Activo BOOLEAN, Codigo VARCHAR(5) NOT NULL DEFAULT 'x')");
  for (const char* fila : {"(1, 'Ana', 30, '2010-03-05 00:00:00', TRUE, 'a')",
                           "(2, 'Beto', 40, '2011-04-06 00:00:00', TRUE, 'b')",
                           "(7, 'Gil', 50, '2012-05-07 00:00:00', FALSE, 'g')"})
    e.Base().Execute(std::string("INSERT INTO Persona VALUES ") + fila);
  e.Tabla("Persona", "ID", {"ID", "Nombre", "Edad", "Alta", "Activo", "Codigo"},
          "TextoNulo=NULL\r\n");
  const V lineas = {
      "1,NULL,NULL,NULL,NULL,",  // a row that had values: each one cleared
      "2,,,,,",                  // empty never clears
      "3,NULL,25,NULL,1,",       // a new row
      "NULL,Zed,1,,,",           // a key cannot be NULL
      "4, NULL ,7,5/3/2010,0,",  // compared once trimmed
      "5,null,8,,,",             // only the text as written
      "6,Eva,9,,,NULL",          // the column refuses NULL: this record only
      "7,Gil,NULL,NULL,NULL,",   // an existing row after a refused one
  };
  e.Fuente("Persona.txt", lineas);

  EXPECT_EQ(e.Importa(Lote(lote)), 1);
  // NULL as "<nulo>", never to be taken for a text "NULL"
  const std::string n = "<nulo>";
  EXPECT_EQ(e.Lee("Persona", {"ID", "Nombre", "Edad", "Alta", "Activo", "Codigo"}, n),
            (Filas{{"1", n, n, n, n, "a"},
                   {"2", "Beto", "40", "2011-04-06", "True", "b"},
                   {"3", n, "25", n, "True", "x"},
                   {"4", n, "7", "2010-03-05", "False", "x"},
                   {"5", "null", "8", n, n, "x"},
                   {"7", "Gil", n, n, n, "g"}}));
  EXPECT_EQ(e.Resultado("Persona_Ok.txt"),
            (V{lineas[0], lineas[1], lineas[2], lineas[4], lineas[5], lineas[7]}));
  const V er = e.Resultado("Persona_Er.txt");
  ASSERT_EQ(er.size(), 2u);
  EXPECT_EQ(er[0], lineas[3] + "(Valor nulo (TextoNulo) en la columna índice (ID), Columna:0)");
  // the database's own reason, on the row's write
  EXPECT_TRUE(er[1].starts_with(lineas[6] + "(")) << er[1];
  EXPECT_TRUE(er[1].ends_with(", Columna:0)")) << er[1];
}

INSTANTIATE_TEST_SUITE_P(MotoresYLotes, TextoNuloEn,
                         ::testing::Combine(TodosLosMotores(), ::testing::Values(1L, 0L)),
                         [](const ::testing::TestParamInfo<Caso>& i) {
                           return NombreDeMotor(std::get<0>(i.param)) +
                                  (std::get<1>(i.param) == 1 ? "_UnoPorUno" : "_EnLotes");
                         });

}  // namespace
}  // namespace varlo::prueba
