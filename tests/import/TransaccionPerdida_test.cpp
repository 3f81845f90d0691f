// A transaction the server ended on its own (a deadlock victim, an error
// that aborts the whole transaction) is the batch's: the batch is done again
// from its first record, and every "_Ok.txt" line has its row.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "EntornoImportacion.h"
#include "support/ServidorQueDeshace.h"

namespace varlo::prueba {
namespace {

using Clase = ServidorQueDeshace::Clase;

std::size_t Repeticiones(const V& log) {
  return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const std::string& l) {
    return l.starts_with("La base de datos deshizo el lote");
  }));
}

// The Turno rows of "ID,Nombre" lines (one-digit IDs), in their order.
Filas FilasDe(const V& lineas) {
  Filas filas;
  for (const std::string& l : lineas) filas.push_back({l.substr(0, l.find(',')), l.substr(2)});
  return filas;
}

// Each scene: the server (reported as SQLite: rows of a batch written
// together; as another ODBC database: each record at once), the batch size,
// where the server ends the transaction (by insert number and rows it would
// hold) and what the run must end with: its status, the first rows of the
// file committed and reported, and the batch repetitions said in the log.
struct Escena {
  const char* que;
  db::Motor motor;
  long lote;
  std::size_t lineas;
  ServidorQueDeshace::Falla falla;
  int estado;
  std::size_t confirmadas, repeticiones;
};

TEST(TransaccionPerdida, ElLoteSeRepiteHastaQueLoReportadoTieneSuFila) {
  using enum db::Motor;
  // the inserts listed lose their transaction, or fail with the class given
  const auto en = [](std::map<int, Clase> inserts) {
    return [inserts](int n, std::size_t) -> std::optional<Clase> {
      if (auto i = inserts.find(n); i != inserts.end()) return i->second;
      return std::nullopt;
    };
  };
  constexpr Clase kPerdida = Clase::TransaccionPerdida;
  const auto desde = [](int n0) {
    return [n0](int n, std::size_t) -> std::optional<Clase> {
      if (n > n0) return Clase::TransaccionPerdida;
      return std::nullopt;
    };
  };
  const auto dosFilas = [](int, std::size_t filas) -> std::optional<Clase> {
    if (filas > 1) return Clase::TransaccionPerdida;
    return std::nullopt;
  };
  const Escena escenas[] = {
      // batches of 3: the second insert of the first batch is a deadlock
      // victim (its class says so); the second batch loses its transaction
      // to an error of a plain class, found by asking whether it is open
      {"repetido desde su primer registro", SQLite, 3, 5, en({{1, kPerdida}}), 0, 5, 1},
      {"repetido desde su primer registro", OtroOdbc, 3, 5, en({{2, kPerdida}, {6, Clase::Otro}}),
       0, 5, 2},
      // the first batch commits, every insert after it is a victim: three
      // repetitions end the table, nothing of the lost batch is kept
      {"tres repeticiones fallidas", SQLite, 2, 5, desde(1), 4, 2, 3},
      {"tres repeticiones fallidas", OtroOdbc, 2, 5, desde(2), 4, 2, 3},
      // the same cycle whenever the batch is done whole: done again one
      // record per transaction, once per batch (the first, then the rest)
      {"siempre choca entero", SQLite, 3, 5, dosFilas, 0, 5, 2},
      {"siempre choca entero", OtroOdbc, 3, 5, dosFilas, 0, 5, 2},
      // counted since the last commit: the batch loses at insert 2; done
      // again, record 1 commits (3), record 2 loses twice (4, 5) and commits
      // (6), record 3 loses once (7) and commits (8)
      {"contadas desde la última confirmación", OtroOdbc, 3, 3,
       en({{2, kPerdida}, {4, kPerdida}, {5, kPerdida}, {7, kPerdida}}), 0, 3, 4},
      // the held rows refused (insert 1, the server ending the transaction
      // with them), done again in parts: the second batch loses its
      // transaction once (insert 3) and is done again too
      {"también en la repetición por partes", SQLite, 3, 5, en({{1, Clase::Otro}, {3, kPerdida}}),
       0, 5, 1},
  };
  const V todas = {"1,Uno", "2,Dos", "3,Tres", "4,Cuatro", "5,Cinco"};
  for (const Escena& x : escenas) {
    SCOPED_TRACE(std::string(x.que) + (x.motor == SQLite ? " (anticipado)" : " (uno por uno)"));
    EntornoImportacion e;
    e.PreparaTurno();
    const V lineas(todas.begin(), todas.begin() + static_cast<long>(x.lineas));
    e.Fuente("Turno.txt", lineas);
    EXPECT_EQ(e.Importa(Lote(x.lote), {}, AbreServidorQueDeshace(e.Cadena(), x.motor, x.falla)),
              x.estado);
    const V ok(lineas.begin(), lineas.begin() + static_cast<long>(x.confirmadas));
    EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), FilasDe(ok));
    EXPECT_EQ(e.Resultado("Turno_Ok.txt"), ok);
    EXPECT_EQ(e.Resultado("Turno_Er.txt"), V{});
    const V log = e.Log();
    EXPECT_EQ(Repeticiones(log), x.repeticiones);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) {
                              return l.find("el lote se intentó 4 veces") != std::string::npos;
                            }),
              x.estado == 4 ? 1 : 0);
    if (x.estado == 0) {
      EXPECT_EQ(e.Resumenes(), (V{"Resumen Turno: " + std::to_string(x.lineas) + " leídas, " +
                                  std::to_string(x.lineas) +
                                  " agregadas, 0 actualizadas, 0 rechazadas, 0 sin procesar"}));
    }
  }
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

// A line the database refuses by rolling the whole transaction back (a
// trigger's RAISE(ROLLBACK), a constraint declared ON CONFLICT ROLLBACK)
// would end its own transaction every time it is done again: it is rejected
// with the database's reason, and the rest of the table is imported.
TEST(TransaccionPerdida, UnaLineaQueDeshaceSuTransaccionSeRechaza) {
  const V lineas = {"1,Uno", "2,Dos", "3,Tres", "4,Cuatro", "5,Uno"};
  const struct {
    std::vector<const char*> esquema;
    std::size_t rechazada;
    const char* razon;
  } casos[] = {
      {{kCreaTurno,
        "CREATE TRIGGER NoTres BEFORE INSERT ON Turno WHEN NEW.ID = 3 BEGIN SELECT "
        "RAISE(ROLLBACK, 'el tres no'); END"},
       2,
       "el tres no"},
      {{"CREATE TABLE Turno (ID INT NOT NULL PRIMARY KEY, Nombre VARCHAR(20) UNIQUE ON CONFLICT "
        "ROLLBACK)"},
       4,
       "UNIQUE"},
  };
  for (const auto& c : casos) {
    for (long lote : {1L, 2L, 0L}) {
      SCOPED_TRACE(std::string(c.esquema.back()) + ", lote " + std::to_string(lote));
      EntornoImportacion e;
      for (const char* sentencia : c.esquema) e.Base().Execute(sentencia);
      e.Definiciones(e.Turnos());
      e.Fuente("Turno.txt", lineas);
      EXPECT_EQ(e.Importa(Lote(lote)), 1);
      V ok = lineas;
      ok.erase(ok.begin() + static_cast<long>(c.rechazada));
      EXPECT_EQ(e.Resultado("Turno_Ok.txt"), ok);
      const V er = e.Resultado("Turno_Er.txt");
      ASSERT_EQ(er.size(), 1u);
      EXPECT_TRUE(er[0].starts_with(lineas[c.rechazada] + "(")) << er[0];
      EXPECT_NE(er[0].find(c.razon), std::string::npos) << er[0];
      EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), FilasDe(ok));
    }
  }
  // A reload ("Borrar antes de importar") is one transaction: it ends,
  // the old rows kept, and the error says which line ended it.
  EntornoImportacion e;
  for (const char* sentencia : casos[0].esquema) e.Base().Execute(sentencia);
  e.Base().Execute("INSERT INTO Turno VALUES (9, 'Viejo')");
  e.Definiciones(e.Turnos("Borrar antes de importar=1\r\n"));
  e.Fuente("Turno.txt", lineas);
  EXPECT_EQ(e.Importa(), 4);
  EXPECT_EQ(e.Lee("Turno", {"ID", "Nombre"}), (Filas{{"9", "Viejo"}}));
  const V log = e.Log();
  EXPECT_EQ(
      std::count_if(log.begin(), log.end(),
                    [](const std::string& l) {
                      return l.find("deshizo la transacción en curso al rechazar la línea 3") !=
                             std::string::npos;
                    }),
      1)
      << Une(log, "\n");
}

}  // namespace
}  // namespace varlo::prueba
