// A comma file saved by a spreadsheet, imported with "Comillas": a value
// holding the separator or a line break stays one value, each record is one
// result line and one count, and a record whose quotes are wrong is
// rejected without taking its neighbours along.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

TEST(Comillas, SpreadsheetCsvImportsRecordByRecord) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos("Codificacion=UTF-8\r\nLineasEncabezado=1\r\nComillas=\"\r\n"));
  // the header's title spans two lines and is still one record
  EscribeBytes(e.Archivo("Turno.txt"),
               "\"ID\",\"Nombre\r\ncompleto\"\r\n"
               "1,\"Pérez, Ana\"\r\n"
               "2,\"Luis \"\"Lucho\"\"\nOrtega\"\r\n"
               "5,\"Ana\"x\r\n"
               "3,\"sin cerrar\r\n"
               "4,Eva\r\n"
               "6,\"\"");
  // small batches: a record's defect travels with it while the reader goes on
  Corrida::Opciones opciones = Lote(2);
  EXPECT_EQ(e.Importa(opciones), 1);
  EXPECT_EQ(
      e.Lee("Turno", {"ID", "Nombre"}),
      (Filas{{"1", "Pérez, Ana"}, {"2", "Luis \"Lucho\"\nOrtega"}, {"4", "Eva"}, {"6", "NULL"}}));
  // each record as read, its inner line end as it was in the file
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Ok.txt")),
            "1,\"Pérez, Ana\"\r\n2,\"Luis \"\"Lucho\"\"\nOrtega\"\r\n4,Eva\r\n6,\"\"\r\n");
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Er.txt")),
            "5,\"Ana\"x(Texto después de las comillas de cierre en la columna 2, Columna:0)\r\n"
            "3,\"sin cerrar(Las comillas abiertas en la línea 7 no se cierran, Columna:0)\r\n");
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 7 leídas, 1 omitidas, 4 agregadas, 0 actualizadas, "
                              "2 rechazadas (Log/Turno_Er.txt), 0 sin procesar"}));
  EXPECT_EQ(e.ventana->Maximo(), 7);  // the progress counts records too
}

// Without the key a file reads exactly as before: quotes are data.
TEST(Comillas, WithoutTheKeyQuotesAreData) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"1,\"Ana\"", "2,\"Pérez, Ana\""});
  EXPECT_EQ(e.Importa(), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "\"Ana\""}, {"2", "\"Pérez"}}));
}

TEST(Comillas, AQuoteThatCannotWorkStopsTheTableBeforeAnyRecord) {
  for (const auto& [clave, linea] : std::vector<std::pair<std::string, std::string>>{
           {"Comillas=ab\r\n", "Comillas debe ser un solo carácter (ab)"},
           {"Comillas=,\r\n",
            "[VarloDI] Error: 5 Las comillas (,) no pueden ser parte del separador (,)"}}) {
    EntornoImportacion e;
    e.Base().Execute(kCreaTurno);
    e.Definiciones(e.Turnos(clave));
    e.Fuente("Turno.txt", {"1,Uno"});
    EXPECT_EQ(e.Importa(), 4) << clave;
    EXPECT_EQ(e.Log(), (V{">Inicio de importación", linea, "Fin de importación"}));
    EXPECT_EQ(e.Lee("Turno", {"ID"}), Filas{});
  }
}

}  // namespace
}  // namespace varlo::prueba
