// A transaction the server ended on its own (a deadlock victim, an error
// that aborts the whole transaction) is the batch's: the batch is done again
// from its first record, and every "_Ok.txt" line has its row.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "EntornoImportacion.h"
#include "support/ServidorQueDeshace.h"

namespace varlo::prueba {
namespace {

using Clase = ServidorQueDeshace::Clase;

// The database of the environment behind a server that ends transactions
// where the test says. Reported as SQLite, the lines of a batch are read
// ahead and their rows written together; reported as another ODBC database,
// each record is written at once.
std::unique_ptr<db::Conexion> Servidor(EntornoImportacion& e, db::Motor motor,
                                       ServidorQueDeshace::Falla falla) {
  return AbreServidorQueDeshace(e.Cadena(), motor, std::move(falla));
}

std::size_t Repeticiones(const V& log) {
  return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const std::string& l) {
    return l.starts_with("La base de datos deshizo el lote");
  }));
}

class TransaccionPerdidaEn : public ::testing::TestWithParam<db::Motor> {};

TEST_P(TransaccionPerdidaEn, ElLoteSeRepiteDesdeSuPrimerRegistro) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Dos", "3,Tres", "4,Cuatro", "5,Cinco"};
  e.Fuente("Turno.txt", lineas);
  // batches of 3: the second insert of the first batch is a deadlock victim
  // (its class says so); the second batch loses its transaction to an error
  // of a plain class, found by asking whether the transaction is still open
  const int victima = GetParam() == db::Motor::SQLite ? 1 : 2;
  auto falla = [&](int n, std::size_t) -> std::optional<Clase> {
    if (n == victima) return Clase::TransaccionPerdida;
    if (GetParam() != db::Motor::SQLite && n == 6) return Clase::Otro;
    return std::nullopt;
  };
  EXPECT_EQ(e.Importa(Lote(3), {}, Servidor(e, GetParam(), falla)), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}),
            (Filas{{"1", "Uno"}, {"2", "Dos"}, {"3", "Tres"}, {"4", "Cuatro"}, {"5", "Cinco"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), lineas);
  EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
  EXPECT_EQ(Repeticiones(e.Log()), GetParam() == db::Motor::SQLite ? 1u : 2u);
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: 5 leídas, 5 agregadas, 0 actualizadas, 0 "
                              "rechazadas, 0 sin procesar"}));
}

TEST_P(TransaccionPerdidaEn, TresRepeticionesFallidasTerminanLaTabla) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"1,Uno", "2,Dos", "3,Tres", "4,Cuatro", "5,Cinco"});
  // the first batch commits (its rows written together, or one by one);
  // every insert after it is a victim
  const int primerLote = GetParam() == db::Motor::SQLite ? 1 : 2;
  auto falla = [&](int n, std::size_t) -> std::optional<Clase> {
    if (n > primerLote) return Clase::TransaccionPerdida;
    return std::nullopt;
  };
  EXPECT_EQ(e.Importa(Lote(2), {}, Servidor(e, GetParam(), falla)), 4);
  // what was reported is what committed, and nothing of the lost batch
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"2"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), (V{"1,Uno", "2,Dos"}));
  const V log = e.Log();
  EXPECT_EQ(Repeticiones(log), 3u);
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& l) {
                            return l.find("el lote se intentó 4 veces") != std::string::npos;
                          }),
            1);
}

// A batch that meets the same cycle whenever it is done whole (here: any
// transaction holding two rows is a victim) is done again one record per
// transaction, and every record commits.
TEST_P(TransaccionPerdidaEn, UnLoteQueSiempreChocaSeRehaceRegistroARegistro) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Dos", "3,Tres", "4,Cuatro", "5,Cinco"};
  e.Fuente("Turno.txt", lineas);
  auto falla = [](int, std::size_t filas) -> std::optional<Clase> {
    if (filas > 1) return Clase::TransaccionPerdida;
    return std::nullopt;
  };
  EXPECT_EQ(e.Importa(Lote(3), {}, Servidor(e, GetParam(), falla)), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), lineas);
  EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
  // once per batch: the first batch, then the rest of the file
  EXPECT_EQ(Repeticiones(e.Log()), 2u);
}

INSTANTIATE_TEST_SUITE_P(Motores, TransaccionPerdidaEn,
                         ::testing::Values(db::Motor::SQLite, db::Motor::OtroOdbc),
                         [](const ::testing::TestParamInfo<db::Motor>& i) {
                           return std::string(i.param == db::Motor::SQLite ? "Anticipado"
                                                                           : "UnoPorUno");
                         });

// The repetitions are counted since the last commit: records of a lost batch
// that commit one by one make progress, so losses spread over its records
// do not add up to the limit.
TEST(TransaccionPerdida, LasRepeticionesSeCuentanDesdeLaUltimaConfirmacion) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Dos", "3,Tres"};
  e.Fuente("Turno.txt", lineas);
  // each record written at once: the batch loses at record 2 (insert 2);
  // done again, record 1 commits (3), record 2 loses twice (4, 5) and
  // commits (6), record 3 loses once (7) and commits (8)
  auto falla = [](int n, std::size_t) -> std::optional<Clase> {
    if (n == 2 || n == 4 || n == 5 || n == 7) return Clase::TransaccionPerdida;
    return std::nullopt;
  };
  EXPECT_EQ(e.Importa(Lote(3), {}, Servidor(e, db::Motor::OtroOdbc, falla)), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"2"}, {"3"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), lineas);
  EXPECT_EQ(Repeticiones(e.Log()), 4u);
}

// A batch whose held rows were refused is done again one record per
// transaction; a record there whose transaction the server ends is done
// again too, not the table given up.
TEST(TransaccionPerdida, EnLaRepeticionPorRegistroTambienSeRepite) {
  EntornoImportacion e;
  e.Base().Execute(kCreaTurno);
  e.Definiciones(e.Turnos());
  const V lineas = {"1,Uno", "2,Dos", "3,Tres", "4,Cuatro", "5,Cinco"};
  e.Fuente("Turno.txt", lineas);
  // the first batch's rows written together are refused (insert 1); done
  // one by one, record 2 loses its transaction once (insert 3)
  auto falla = [](int n, std::size_t) -> std::optional<Clase> {
    if (n == 1) return Clase::LoteDiferido;
    if (n == 3) return Clase::TransaccionPerdida;
    return std::nullopt;
  };
  EXPECT_EQ(e.Importa(Lote(3), {}, Servidor(e, db::Motor::SQLite, falla)), 0);
  EXPECT_EQ(e.Lee("Turno", {"ID"}), (Filas{{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}));
  EXPECT_EQ(e.Resultado("Turno_Ok.txt"), lineas);
  EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
  EXPECT_EQ(Repeticiones(e.Log()), 1u);
}

// A real deadlock between the import and another connection: the import
// holds the new row 10 and waits for row 2, which the other holds while it
// waits to insert 10. PostgreSQL looks for a deadlock once, a second after a
// backend started waiting: when the other was already waiting by then, the
// import's own check finds the cycle and ends its transaction (40P01), and
// the batch is done again once the other committed. On a loaded machine
// the other may start waiting too late and be the one that gives way; that
// attempt proves nothing and the scene is set again, a few times at most.
struct Interbloqueo {
  bool importacionVictima = false;  // the other connection committed
  int salida = 0;
  Filas filas;
  V ok;
  std::size_t repeticiones = 0;
};

Interbloqueo EscenaDeInterbloqueo() {
  Interbloqueo r;
  EntornoImportacion e(MotorPrueba::PostgreSql);
  e.Base().Execute(kCreaTurno);
  e.Base().Execute("INSERT INTO Turno VALUES (2, 'Dos')");
  e.Definiciones(e.Turnos());
  e.Fuente("Turno.txt", {"10,Diez", "2,Dos bis"});

  auto otra = db::Conexion::Abre(e.Cadena());
  auto vigia = db::Conexion::Abre(e.Cadena());
  // Only a backend that waits for this test's other connection counts:
  // other tests share the cluster, and their lock waits are not this one.
  otra->Execute(
      "DO $$ BEGIN EXECUTE format('CREATE VIEW espera AS SELECT pid FROM pg_stat_activity "
      "WHERE %s = ANY(pg_blocking_pids(pid))', pg_backend_pid()); END $$");
  otra->BeginTrans();
  otra->Execute("UPDATE Turno SET Nombre = 'Dos de la otra' WHERE ID = 2");
  bool seBloqueo = false;
  std::thread hilo([&] {
    try {
      // once the import waits for row 2, the other asks for the import's row 10
      db::Consulta espera;
      espera.tabla = "espera";
      for (int i = 0; i < 600 && !seBloqueo; ++i) {
        seBloqueo = !vigia->AbreConsulta(espera, 1)->EOF_();
        if (!seBloqueo) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      if (seBloqueo) otra->Execute("INSERT INTO Turno VALUES (10, 'Diez de la otra')");
      otra->CommitTrans();
      r.importacionVictima = seBloqueo;
    } catch (...) {
      otra->RollbackTrans();
    }
  });
  r.salida = e.Importa(Lote(10));
  hilo.join();
  r.filas = e.Lee("Turno", {"ID", "Nombre"});
  r.ok = e.Resultado("Turno_Ok.txt");
  r.repeticiones = Repeticiones(e.Log());
  return r;
}

TEST(TransaccionPerdidaPostgreSql, VictimaDeUnInterbloqueoRepiteSuLote) {
  Interbloqueo r;
  for (int intento = 0; intento < 8 && !r.importacionVictima; ++intento) {
    r = EscenaDeInterbloqueo();
    // whoever gave way, nothing is lost and every line reported has its row
    EXPECT_EQ(r.salida, 0);
    EXPECT_EQ(r.ok, (V{"10,Diez", "2,Dos bis"}));
  }
  ASSERT_TRUE(r.importacionVictima) << "the import was never the deadlock's victim";
  // the import's batch, done again after the other committed, has the last word
  EXPECT_EQ(r.filas, (Filas{{"10", "Diez"}, {"2", "Dos bis"}}));
  EXPECT_EQ(r.repeticiones, 1u);
}

}  // namespace
}  // namespace varlo::prueba
