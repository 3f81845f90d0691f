// A database that goes away or stays locked in the middle of a table: one
// error line, exit status 3, the lines not reached neither imported nor
// rejected, and every reported line has its row.
#include <gtest/gtest.h>

#include "EntornoImportacion.h"

namespace varlo::prueba {
namespace {

V Lineas(int n) {
  V r;
  for (int i = 1; i <= n; ++i) r.push_back(std::to_string(i) + ",T");
  return r;
}

// Two tables, Turno with `lineas` records and then Jerarquias with one.
void Prepara(EntornoImportacion& e, int lineas) {
  e.Base().Execute(kCreaTurno);
  e.Definiciones(ListaTablas({"Turno", "Jerarquias"}) + e.Seccion("Turno", "ID", {"ID", "Nombre"}) +
                 e.Seccion("Jerarquias", "Key", {"Key", "Parent"}));
  e.Fuente("Turno.txt", Lineas(lineas));
  e.Fuente("Jerarquias.txt", {"_0A,"});
}

TEST(FallasBaseDatos, ConexionPerdidaTerminaLaCorridaConUnaSolaLinea) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  Prepara(e, 40);
  auto corrida = db::Conexion::Abre(e.Cadena());
  corrida->Execute("CREATE TABLE SesionCorrida AS SELECT pg_backend_pid() AS pid");

  // The server ends the run's session after 25 records (batches of 10).
  int consultas = 0;
  Corrida::Opciones o = Lote(10);
  const int estado = e.Importa(
      o,
      [&] {
        if (++consultas == 26)
          e.Base().Execute("SELECT pg_terminate_backend(pid) FROM SesionCorrida");
        return false;
      },
      std::move(corrida));

  EXPECT_EQ(estado, 3);
  V log = e.Log();
  ASSERT_EQ(log.size(), 3u) << Une(log, "\n");
  EXPECT_NE(log[1].find("] Error: -"), std::string::npos) << log[1];
  // the next table was not tried; the committed batches are reported, nothing else
  EXPECT_EQ(e.Lee("Jerarquias", {"Key"}), Filas{});
  const V ok = e.Resultado("Turno_Ok.txt");
  EXPECT_EQ(ok, V(Lineas(20)));
  EXPECT_EQ(e.Lee("Turno", {"ID"}).size(), ok.size());
  EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 40 leídas, 20 agregadas, 0 actualizadas, "
                              "0 rechazadas, 20 sin procesar"}));
}

// Each table meets the lock once: one error line per table, not per record.
TEST(FallasBaseDatos, BloqueoQueNoCedeTerminaLaTablaNoCadaRegistro) {
  EntornoImportacion e(MotorPrueba::SQLite);
  Prepara(e, 5);
  db::Esperas corta;
  corta.bloqueo = std::chrono::milliseconds(50);
  auto corrida = db::Conexion::Abre(e.Cadena(), corta);

  // Another program holds the database past the wait allowed: the table ends
  // with one error line instead of a rejection per record.
  auto otra = db::Conexion::Abre(e.Cadena());
  otra->Execute("BEGIN EXCLUSIVE");
  const int estado = e.Importa({}, {}, std::move(corrida));
  otra->Execute("ROLLBACK");

  EXPECT_EQ(estado, 3);
  V log = e.Log();
  ASSERT_EQ(log.size(), 4u) << Une(log, "\n");
  for (int i : {1, 2}) EXPECT_NE(log[i].find("database is locked"), std::string::npos) << log[i];
  EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
  EXPECT_EQ(e.Lee("Turno", {"ID"}), Filas{});
  EXPECT_EQ(e.Resumenes()[0],
            "Resumen Turno: 5 leídas, 0 agregadas, 0 actualizadas, 0 rechazadas, 5 sin procesar");
}

// A server that stops answering (here: a statement that waits on a lock
// nobody releases) is bounded by the statement wait, never waited on for ever.
TEST(FallasBaseDatos, SentenciaSinRespuestaSeCortaAlAgotarSuEspera) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  Prepara(e, 3);
  db::Esperas corta;
  corta.sentencia = std::chrono::seconds(1);
  auto corrida = db::Conexion::Abre(e.Cadena(), corta);
  auto otra = db::Conexion::Abre(e.Cadena());
  otra->BeginTrans();
  otra->Execute("LOCK TABLE Turno IN ACCESS EXCLUSIVE MODE");

  const int estado = e.Importa({}, {}, std::move(corrida));
  otra->RollbackTrans();

  EXPECT_EQ(estado, 3);
  V log = e.Log();
  ASSERT_GE(log.size(), 3u) << Une(log, "\n");
  EXPECT_NE(log[1].find("] Error: -"), std::string::npos) << log[1];
  EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
}

}  // namespace
}  // namespace varlo::prueba
