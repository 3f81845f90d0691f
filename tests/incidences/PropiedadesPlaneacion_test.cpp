// The absence planning on every engine: one record at a time, two, or the
// default batch (where a server looks the days of many lines up together
// and writes their rows together), the same random file gives the same
// Kardex rows, result files, summary and exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include "incidences/EscenarioIncidencias.h"

namespace varlo::prueba {
namespace {

using V = std::vector<std::string>;

struct Desenlace {
  int salida = -1;
  V kardex, ok, er, resumen, log;
};

Desenlace Corre(MotorPrueba motor, const V& lineas, long lote, long maxRechazos = 0,
                bool simular = false) {
  EscenarioIncidencias e(motor);
  e.Sql(
      "insert into Kardex (Id_Empleado, Fecha, ID_Tipo, Dato1_FAL, Referencia) values "
      "('3', '2006-08-05 00:00:00', 'V', 'guardado', 'vieja')");
  e.Definiciones(kComas);
  e.Origen(lineas);
  e.lote = lote;
  e.maxRechazos = maxRechazos;
  e.simular = simular;
  // a braced list is evaluated in order: the run first
  return {e.Ejecuta(), e.Kardex(), e.Ok(), e.Er(), e.Resumenes(), e.Log()};
}

class PlaneacionEn : public ::testing::TestWithParam<MotorPrueba> {};

TEST_P(PlaneacionEn, ElTamanoDelLoteNoCambiaElDesenlace) {
  for (const auto& [semilla, n] : {std::pair{3u, 120}, {99u, 1500}}) {
    SCOPED_TRACE("semilla " + std::to_string(semilla) + ", " + std::to_string(n) + " líneas");
    const V lineas = PlaneacionAlAzar(semilla, n);
    const Desenlace uno = Corre(GetParam(), lineas, 1);
    // every kind of verdict is reached
    ASSERT_EQ(uno.salida, 1);
    ASSERT_GT(uno.ok.size(), lineas.size());
    ASSERT_GT(uno.er.size(), 10u);
    ASSERT_EQ(uno.resumen.size(), 1u);
    for (long lote : {2L, 0L}) {
      SCOPED_TRACE("lote " + std::to_string(lote));
      const Desenlace otro = Corre(GetParam(), lineas, lote);
      EXPECT_EQ(otro.salida, uno.salida);
      EXPECT_EQ(otro.kardex, uno.kardex);
      EXPECT_EQ(otro.ok, uno.ok);
      EXPECT_EQ(otro.er, uno.er);
      EXPECT_EQ(otro.resumen, uno.resumen);
    }
    // A dry run gives the same verdicts, in its own files, and leaves Kardex
    // as it found it.
    Desenlace simulado = Corre(GetParam(), lineas, 0, 0, true);
    for (std::string& r : simulado.resumen)
      for (const std::string_view marca : {" (simulación)", "_Simulado"})
        if (const auto p = r.find(marca); p != r.npos) r.erase(p, marca.size());
    EXPECT_EQ(simulado.salida, uno.salida);
    EXPECT_EQ(simulado.kardex, V{"3|2006-08-05|V||guardado|vieja"});
    EXPECT_EQ(simulado.ok, uno.ok);
    EXPECT_EQ(simulado.er, uno.er);
    EXPECT_EQ(simulado.resumen, uno.resumen);
  }
}

// The maximum of rejections reached inside the lines looked up together:
// the same lines processed, the stop said once, exit status 4.
TEST_P(PlaneacionEn, ElMaximoDeRechazosDetieneEnElMismoRegistro) {
  const V lineas = PlaneacionAlAzar(3, 120);
  const Desenlace uno = Corre(GetParam(), lineas, 1, 5);
  ASSERT_EQ(uno.salida, 4);
  ASSERT_GE(uno.er.size(), 5u);  // a line may have a rejection per day
  const Desenlace lote = Corre(GetParam(), lineas, 0, 5);
  EXPECT_EQ(lote.salida, uno.salida);
  EXPECT_EQ(lote.kardex, uno.kardex);
  EXPECT_EQ(lote.ok, uno.ok);
  EXPECT_EQ(lote.er, uno.er);
  EXPECT_EQ(lote.resumen, uno.resumen);
  EXPECT_EQ(lote.log, uno.log);
  EXPECT_EQ(std::count_if(lote.log.begin(), lote.log.end(),
                          [](const std::string& l) { return l.find("se detuvo") != l.npos; }),
            1);
}

INSTANTIATE_TEST_SUITE_P(Motores, PlaneacionEn, TodosLosMotores(), NombreMotor);

// A day a later line of the batch writes again is served the row the earlier
// line left, and its change is held too: nothing held is written to ask the
// database first. Natively and through psqlODBC, the statements on Kardex.
TEST(PlaneacionPostgreSql, UnDiaEscritoDeNuevoEnElLoteNoEscribeLoRetenido) {
  for (MotorPrueba motor : {MotorPrueba::PostgreSql, MotorPrueba::PostgreSqlOdbc}) {
    SCOPED_TRACE(NombreDeMotor(motor));
    EscenarioIncidencias e(motor);
    e.Sql("create table conteo (n serial primary key, clase text, filas int)");
    e.Sql(
        "create function cuenta() returns trigger language plpgsql as $$ begin insert into "
        "conteo (clase, filas) select TG_OP, count(*) from nuevas; return null; end $$");
    for (const char* clase : {"insert", "update"})
      e.Sql(std::string("create trigger cuenta_") + clase + " after " + clase +
            " on Kardex referencing new table as nuevas for each statement execute function "
            "cuenta()");
    e.Definiciones(kComas);
    e.Origen({"1,2006-08-01,2006-08-02,T1,a,,", "2,2006-08-01,2006-08-02,T1,b,,",
              "1,2006-08-01,2006-08-02,T2,c,,", "2,2006-08-02,2006-08-02,T2,d,,"});
    EXPECT_EQ(e.Ejecuta(), 0);
    EXPECT_EQ(Filas(e.Cadena(), "conteo", {"n", "clase", "filas"}),
              (V{"1|INSERT|4", "2|UPDATE|3"}));
    EXPECT_EQ(e.Kardex(), (V{"1|2006-08-01|T2|c||", "1|2006-08-02|T2|c||", "2|2006-08-01|T1|b||",
                             "2|2006-08-02|T2|d||"}));
  }
}

}  // namespace
}  // namespace varlo::prueba
