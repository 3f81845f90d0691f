// Source files people actually have: a UTF-8 export without a byte-order
// mark and a CSV header line, named by "Codificacion" and "LineasEncabezado".
#include <gtest/gtest.h>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

TEST(OpcionesFuente, Utf8SinMarcaYEncabezadoSaltado) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos("Codificacion=utf-8\r\nLineasEncabezado=1\r\n"));
  // UTF-8 bytes as exported, no byte-order mark; the header would be a row of text keys
  EscribeBytes(e.Archivo("Turno.txt"), "ID,Nombre\r\n1,Peña\r\nx,Mal\r\n");

  EXPECT_EQ(e.Importa(), 1);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"1", "Peña"}}));
  // result files in the source's encoding
  EXPECT_EQ(LeeBytes(e.Archivo("Log/Turno_Ok.txt")), "1,Peña\r\n");
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 3 leídas, 1 omitidas, 1 agregadas, 0 actualizadas, "
                              "1 rechazadas (Log/Turno_Er.txt), 0 sin procesar"}));
}

TEST(OpcionesFuente, CodificacionDesconocidaNoLeeLaFuente) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos("Codificacion=EBCDIC\r\n"));
  e.Fuente("Turno.txt", {"1,Uno"});
  EXPECT_EQ(e.Importa(), 4);
  // a name iconv does not know either
  EXPECT_EQ(e.Log()[1],
            "Codificación no soportada (EBCDIC): use UTF-8, Windows-1252 u otro nombre que "
            "conozca iconv (ISO-8859-1, CP850, UTF-16...)");
  EXPECT_EQ(e.Lee("Turno", {"ID"}), Filas{});
}

}  // namespace
}  // namespace varlo::prueba
