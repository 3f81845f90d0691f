// "TextoNulo": a value equal to it writes NULL, on every write path (a new
// row and an existing one, one record per transaction and held batches).
#include <gtest/gtest.h>

#include <tuple>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

// The engine, and the records per transaction (0: the default batches).
using Caso = std::tuple<MotorPrueba, long>;

class TextoNuloEn : public ::testing::TestWithParam<Caso> {};

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
  e.Definiciones(ListaTablas({"Persona"}) +
                 e.Seccion("Persona", "ID", {"ID", "Nombre", "Edad", "Alta", "Activo", "Codigo"}) +
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
  Corrida::Opciones o = Lote(lote);

  EXPECT_EQ(e.Importa(o), 1);
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

// Without the key, a value that reads "NULL" is text like any other.
TEST(TextoNulo, ApagadoPorOmision) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"1,NULL"});
  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}, "<nulo>"), (Filas{{"1", "NULL"}}));
}

}  // namespace
}  // namespace varlo::prueba
