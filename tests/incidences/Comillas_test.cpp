// The absence planning read with "Comillas": a quoted value keeps its commas
// and line breaks, and a quote that never closes rejects only its own line.
#include <gtest/gtest.h>

#include "EscenarioIncidencias.h"

namespace varlo {
namespace {

using prueba::EscenarioIncidencias;
using V = std::vector<std::string>;

TEST(IncidencesQuoted, QuotedValuesImportAndAnUnclosedQuoteRejectsItsLine) {
  EscenarioIncidencias e;
  e.Definiciones(
      "Formato=3\r\nComillas=\"\r\nLineasEncabezado=1\r\nColumnas=7\r\n"
      "CampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\nCampoColumna3=Fecha2\r\n"
      "CampoColumna4=ID_Tipo\r\nCampoColumna5=Dato0_FAL\r\nCampoColumna6=Dato1_FAL\r\n"
      "CampoColumna7=Referencia\r\n");
  const std::string dosDias = "2,2006-08-02,2006-08-03,P,,,\"nota\r\nlarga\"";
  e.OrigenBytes(
      "\"Empleado\",\"Desde\",\"Hasta\",\"Tipo\",,,\"Referencia,\r\ntexto\"\r\n"
      "1,2006-08-01,2006-08-01,F,,,\"Vacaciones, verano\"\r\n" +
      dosDias +
      "\r\n"
      "3,2006-08-04,2006-08-04,F,,,\"abierta\r\n"
      "4,2006-08-05,2006-08-05,F,,,\r\n");
  EXPECT_EQ(e.Ejecuta(), 1);
  EXPECT_EQ(e.Kardex(), (V{"1|2006-08-01|F|||Vacaciones, verano", "2|2006-08-02|P|||nota\r\nlarga",
                           "2|2006-08-03|P|||nota\r\nlarga", "4|2006-08-05|F|||"}));
  EXPECT_EQ(e.Bytes("Ok"), "1,2006-08-01,2006-08-01,F,,,\"Vacaciones, verano\"\r\n" + dosDias +
                               "\r\n" + dosDias + "\r\n4,2006-08-05,2006-08-05,F,,,\r\n");
  // a source without a mark and with no letter beyond ASCII is Windows-1252, so are its results
  EXPECT_EQ(e.Bytes("Er"),
            Utf8AAnsi("3,2006-08-04,2006-08-04,F,,,\"abierta(Las comillas abiertas en la línea 6 "
                      "no se cierran,0)\r\n"));
  EXPECT_EQ(e.ventana.Maximo(), 5);  // records, the heading included
}

}  // namespace
}  // namespace varlo
