// The summary line's time and rate.
#include "common/Resumen.h"

#include <gtest/gtest.h>

namespace varlo {
namespace {

TEST(Resumen, UnRitmoLentoConservaSuDecimal) {
  ResumenImportacion tabla;
  tabla.leidas = tabla.agregadas = 1000;
  tabla.segundos = 2;
  EXPECT_TRUE(TextoResumen("Empleado", tabla).ends_with(", 2,0 s, 500 por s"));
  tabla.leidas = tabla.agregadas = 3;
  tabla.segundos = 4;
  EXPECT_TRUE(TextoResumen("Empleado", tabla).ends_with(", 4,0 s, 0,8 por s"));
  // two planning lines of thousands of days each
  ResumenImportacion planeacion;
  planeacion.porDias = true;
  planeacion.leidas = 2;
  planeacion.agregadas = 10000;
  planeacion.segundos = 5;
  EXPECT_TRUE(TextoResumen("Planeacion Faltas", planeacion).ends_with(", 5,0 s, 0,4 líneas por s"))
      << TextoResumen("Planeacion Faltas", planeacion);
  planeacion.segundos = 0;
  EXPECT_TRUE(TextoResumen("Planeacion Faltas", planeacion).ends_with(" días actualizados, 0,0 s"));
}

}  // namespace
}  // namespace varlo
