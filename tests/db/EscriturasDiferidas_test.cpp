// Rows held for a batch: written together, in order, before any other
// statement; dropped by a rollback; and a failure while writing them is
// kept as the batch's refusal, told to no call, unless the connection
// itself is gone.
#include "db/EscriturasDiferidas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>
#include <utility>

#include "db/ErrorBaseDatos.h"
#include "db/ErrorEsperado.h"
#include "db/ErroresBD.h"
#include "db/TiposAdo.h"
#include "support/BackendFalso.h"

namespace varlo::db {
namespace {

// Records the texts it is given, with their count of values, and every
// value (a copy's too); Ejecuta runs `falla` first when set and answers the rows it was
// given (each "(?" opens one), or `cambiadas` when set. With `arreglos` it
// binds each column of a change as an array; its catalog knows columns A
// (integer, with a default), B (text) and F (bytea), and any other query
// answers one row (that of a JSON change) but what sees the order of the
// writes, which is `observadores`.
class BackendQueAnota final : public prueba::BackendFalso {
 public:
  std::vector<std::string>* textos = nullptr;
  std::vector<Valor> valores;
  std::function<void()> falla;
  bool copia = false;  // writes new rows its own way
  long cambiadas = -1;
  bool arreglos = false;
  bool sinEsperar = false;          // writes without waiting: EsperaEscrituras reads the verdict
  std::vector<Valor> observadores;  // its unique indexes' columns, as ObservadoresOrden answers
  Motor motor = Motor::SQLite;

  Motor MotorBD() const override { return motor; }
  std::optional<bool> TieneLocalizador(const std::string&) override {
    return motor != Motor::SqlServer;
  }
  ResultadoConsulta Consulta(const SentenciaSql& s, long) override {
    textos->push_back(s.texto);
    ResultadoConsulta r;
    r.filas = {{std::int64_t{0}}};
    if (s.texto.find("pg_index") != std::string::npos) {
      r.filas.clear();
      for (const Valor& u : observadores) r.filas.push_back({u});
      return r;
    }
    if (s.texto.find("pg_attribute") != std::string::npos)
      r.filas = {{std::string("A"), std::string("integer"), std::int64_t{0}, std::int64_t{0}},
                 {std::string("B"), std::string("text"), std::int64_t{0}, std::int64_t{1}},
                 {std::string("F"), std::string("bytea"), std::int64_t{0}, std::int64_t{1}}};
    return r;
  }
  bool ArreglosAdmitidos() const override { return arreglos; }
  bool EscribeSinEsperar() const override { return sinEsperar; }
  void EsperaEscrituras() override { textos->push_back("VEREDICTO"); }
  long EjecutaArreglos(const std::string& texto,
                       const std::vector<std::vector<Valor>>& columnas) override {
    textos->push_back(texto + " [" + std::to_string(columnas.size()) + "x" +
                      std::to_string(columnas.at(0).size()) + "]");
    return cambiadas < 0 ? static_cast<long>(columnas.at(0).size()) : cambiadas;
  }
  long Ejecuta(const SentenciaSql& s) override {
    if (falla) falla();
    textos->push_back(s.texto + " [" + std::to_string(s.parametros.size()) + "]");
    valores.insert(valores.end(), s.parametros.begin(), s.parametros.end());
    long filas = 0;
    for (std::size_t p = s.texto.find("(?"); p != std::string::npos; p = s.texto.find("(?", p + 1))
      ++filas;
    return cambiadas < 0 ? filas : cambiadas;
  }
  std::function<void()> fallaInicio;
  void IniciaTransaccion() override {
    if (fallaInicio) fallaInicio();
    textos->push_back("BEGIN");
  }
  void ConfirmaTransaccion() override { textos->push_back("COMMIT"); }
  void DeshaceTransaccion() noexcept override { textos->push_back("ROLLBACK"); }
  bool CopiaFilasAdmitida() const override { return copia; }
  void CopiaFilas(const std::string& tabla, const std::vector<std::string>& columnas,
                  const std::vector<std::vector<Valor>>& filas) override {
    if (falla) falla();
    std::string t = "copy " + tabla;
    for (const std::string& c : columnas) t += " " + c;
    textos->push_back(t + " [" + std::to_string(filas.size()) + "]");
    for (const auto& f : filas) valores.insert(valores.end(), f.begin(), f.end());
  }
};

struct Entorno {
  std::vector<std::string> textos;
  BackendQueAnota* backend = nullptr;
  std::unique_ptr<EscriturasDiferidas> diferidas;

  explicit Entorno(Motor motor = Motor::SQLite, bool activa = true) {
    auto b = std::make_unique<BackendQueAnota>();
    b->textos = &textos;
    b->motor = motor;
    backend = b.get();
    diferidas = std::make_unique<EscriturasDiferidas>(
        std::move(b), std::shared_ptr<const Dialecto>(CreaDialecto(motor)));
    diferidas->IniciaTransaccion();
    textos.clear();
    diferidas->Activa(activa);
  }
  bool Fila(const std::string& tabla, std::vector<std::pair<std::string, Valor>> v) {
    return diferidas->Difiere(tabla, v);
  }
};

TEST(EscriturasDiferidas, LasFilasSeEscribenJuntasYEnOrdenAntesDeOtraSentencia) {
  Entorno e(Motor::SQLite, false);
  EXPECT_FALSE(e.Fila("T", {{"A", std::int64_t{1}}}));  // not active: written at once
  e.diferidas->Activa(true);
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}, {"B", std::string("x")}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}, {"B", std::string("y")}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{3}}}));  // other columns: a statement of its own
  EXPECT_TRUE(e.textos.empty());
  e.diferidas->Consulta({"select 1", {}}, 0);
  EXPECT_EQ(e.textos, (std::vector<std::string>{
                          "insert into \"T\" (\"A\", \"B\") values (?, ?), (?, ?) [4]",
                          "insert into \"T\" (\"A\") values (?) [1]",
                          "select 1",
                      }));

  // a rollback drops what is held; a commit writes it first
  e.textos.clear();
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{4}}}));
  e.diferidas->DeshaceTransaccion();
  // outside a transaction nothing is held
  EXPECT_FALSE(e.Fila("T", {{"A", std::int64_t{5}}}));
  e.diferidas->IniciaTransaccion();
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{6}}}));
  e.diferidas->ConfirmaTransaccion();
  EXPECT_EQ(e.textos,
            (std::vector<std::string>{"ROLLBACK", "BEGIN",
                                      "insert into \"T\" (\"A\") values (?) [1]", "COMMIT"}));
}

// Pictures are held with the other rows while what they weigh stays small
// (a batch of them would fill memory), where the batch carries them as they
// are: SQLite's statements, PostgreSQL's copy of new rows. Once the held
// rows are written, pictures are held again.
TEST(EscriturasDiferidas, LasFotosSeRetienenMientrasPesanPoco) {
  Entorno e;
  const Bytes foto(std::size_t{1} << 20, 'j');
  std::size_t retenidas = 0;
  while (retenidas < 64 && e.Fila("T", {{"A", std::int64_t{1}}, {"F", foto}})) ++retenidas;
  EXPECT_GT(retenidas, 0u);
  EXPECT_LT(retenidas, 64u);                           // a bound well below a batch's thousand rows
  EXPECT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}}));  // rows without one still are
  e.diferidas->Consulta({"select 1", {}}, 0);
  EXPECT_TRUE(e.Fila("T", {{"A", std::int64_t{3}}, {"F", foto}}));
  e.diferidas->DeshaceTransaccion();

  // On PostgreSQL the batch statements carry no bytes, the native copy of new rows does
  Entorno pg(Motor::PostgreSql);
  EXPECT_FALSE(pg.Fila("T", {{"A", std::int64_t{4}}, {"F", Bytes{'j'}}}));
  pg.backend->copia = true;
  EXPECT_TRUE(pg.Fila("T", {{"A", std::int64_t{4}}, {"F", Bytes{'j'}}}));
  ActualizacionDiferible cambio{
      "T", {{"F", Bytes{'j'}}}, {adLongVarBinary}, {}, {std::string("(0,1)")}};
  cambio.condiciones.push_back({"A", ClaseLiteral::Numero, "4", "="});
  EXPECT_FALSE(pg.diferidas->DifiereActualizacion(cambio));
}

// A backend with a copy of its own gets every consecutive row of one shape
// at once, past the markers a statement could carry.
TEST(EscriturasDiferidas, UnaCopiaLlevaTodasLasFilasDeUnaForma) {
  Entorno e;
  e.backend->copia = true;
  for (std::int64_t i = 0; i < 1500; ++i) ASSERT_TRUE(e.Fila("T", {{"A", i}, {"B", i}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}, {"B", std::int64_t{2}}}));
  e.diferidas->Ejecuta({"select 1", {}});
  EXPECT_EQ(e.textos,
            (std::vector<std::string>{"copy \"T\" \"A\" \"B\" [1500]", "copy \"T\" \"A\" [1]",
                                      "copy \"T\" \"A\" \"B\" [1]", "select 1 [0]"}));
}

// On PostgreSQL the copy also takes rows that leave out columns stored as
// NULL when left out (a picture some rows have): they go as NULL. A column
// with a default, or one the catalog does not list, starts another copy.
TEST(EscriturasDiferidas, UnaCopiaUneFormasCuyasColumnasFaltantesSonNulas) {
  Entorno e(Motor::PostgreSql);
  e.backend->copia = true;
  const Bytes foto{'j'};
  for (auto fila : std::vector<std::vector<std::pair<std::string, Valor>>>{
           {{"A", std::int64_t{1}}, {"B", std::string("x")}},
           {{"A", std::int64_t{2}}, {"B", std::string("y")}, {"F", foto}},
           {{"A", std::int64_t{3}}},
           {{"F", foto}, {"A", std::int64_t{4}}},
           {{"A", std::int64_t{5}}, {"C", std::string("z")}},
           {{"B", std::string("w")}}})
    ASSERT_TRUE(e.diferidas->Difiere("T", fila));
  e.diferidas->Ejecuta({"select 1", {}});
  EXPECT_EQ(e.textos, (std::vector<std::string>{e.textos.at(0), "copy \"T\" \"A\" \"B\" \"F\" [4]",
                                                "copy \"T\" \"A\" \"C\" [1]",
                                                "copy \"T\" \"B\" [1]", "select 1 [0]"}));
  EXPECT_NE(e.textos.at(0).find("pg_attribute"), std::string::npos);
  const Valor n{};
  EXPECT_EQ(e.backend->valores,
            (std::vector<Valor>{std::int64_t{1}, std::string("x"), n, std::int64_t{2},
                                std::string("y"), foto, std::int64_t{3}, n, n, std::int64_t{4}, n,
                                foto, std::int64_t{5}, std::string("z"), std::string("w")}));
}

// The statement that needed the held rows still runs, in the transaction
// begun again without them; only the commit fails, until the rollback.
TEST(EscriturasDiferidas, UnFalloAlEscribirlasQuedaComoRechazoSalvoLaConexionPerdida) {
  const std::pair<std::function<void()>, std::string> rechazos[] = {
      {[] { throw ErrorVarlo(-1, "SQLite", "UNIQUE constraint failed"); },
       "UNIQUE constraint failed"},
      {[] { throw std::runtime_error("sin memoria"); }, "sin memoria"},
  };
  for (const bool copia : {false, true}) {
    SCOPED_TRACE(copia ? "copia" : "insert");
    for (const auto& [falla, razon] : rechazos) {
      Entorno e;
      e.backend->copia = copia;  // a refused copy is the batch's as a refused statement is
      ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
      e.backend->falla = falla;
      EXPECT_NO_THROW(e.diferidas->Consulta({"select 1", {}}, 0));
      ASSERT_TRUE(e.diferidas->Rechazadas());
      EXPECT_NE(e.diferidas->Rechazo()->Descripcion().find(razon), std::string::npos);
      e.backend->falla = nullptr;
      EXPECT_NE(
          prueba::ErrorDe([&] { e.diferidas->ConfirmaTransaccion(); }).Descripcion().find(razon),
          std::string::npos);
      // the statement ran in the transaction begun again
      EXPECT_EQ(e.textos, (std::vector<std::string>{"ROLLBACK", "BEGIN", "select 1"}));
      e.diferidas->DeshaceTransaccion();
      EXPECT_FALSE(e.diferidas->Rechazadas());
      e.diferidas->ConfirmaTransaccion();
      EXPECT_EQ(e.textos.back(), "COMMIT");
    }
    Entorno e;
    e.backend->copia = copia;
    ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
    e.backend->falla = [] {
      throw ErrorBaseDatos(-1, "SQLite", "disk I/O error", ErrorBaseDatos::Clase::ConexionPerdida);
    };
    EXPECT_EQ(prueba::ErrorDe([&] {
                e.diferidas->Consulta({"select 1", {}}, 0);
              }).ClaseError(),
              ErrorBaseDatos::Clase::ConexionPerdida);
    EXPECT_FALSE(e.diferidas->Rechazadas());
    EXPECT_TRUE(e.textos.empty());
  }
  // A transaction that cannot be begun again: the statement must not run
  // outside one, and the batch is lost.
  Entorno e;
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
  e.backend->falla = [] { throw ErrorVarlo(-1, "SQLite", "UNIQUE constraint failed"); };
  e.backend->fallaInicio = [] { throw ErrorVarlo(-1, "SQLite", "cannot start a transaction"); };
  EXPECT_EQ(prueba::ErrorDe([&] {
              e.diferidas->Consulta({"select 1", {}}, 0);
            }).ClaseError(),
            ErrorBaseDatos::Clase::TransaccionPerdida);
  EXPECT_EQ(e.textos, (std::vector<std::string>{"ROLLBACK"}));
}

// SQL Server takes at most a thousand rows and 2 100 markers a statement;
// 2 000 leave room for the driver's own parameters of the call. Every value
// goes once, in file order.
// Where the backend writes without waiting (libpq's copy), the verdict is
// read once, before the next call that its session runs; the types of a
// table already read need none, so the copy may take the next rows.
TEST(EscriturasDiferidas, ElVeredictoSinEsperarSeLeeAntesDeUsarLaSesion) {
  Entorno e(Motor::PostgreSql);
  e.backend->copia = true;
  e.backend->sinEsperar = true;
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
  e.diferidas->Escribe();
  ASSERT_NE(e.diferidas->Tipos("T"), nullptr);
  ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}}));
  e.diferidas->Escribe();
  e.diferidas->Tipos("U");
  e.diferidas->Consulta({"select 1", {}}, 0);
  ASSERT_EQ(e.textos.size(), 6u) << ::testing::PrintToString(e.textos);
  EXPECT_NE(e.textos[0].find("pg_attribute"), std::string::npos);
  EXPECT_EQ(e.textos[1], "copy \"T\" \"A\" [1]");
  EXPECT_EQ(e.textos[2], "copy \"T\" \"A\" [1]");
  EXPECT_EQ(e.textos[3], "VEREDICTO");
  EXPECT_NE(e.textos[4].find("pg_attribute"), std::string::npos);
  EXPECT_EQ(e.textos[5], "select 1");
}

TEST(EscriturasDiferidas, UnaSentenciaDeSqlServerLlevaHastaMilFilasY2000Marcas) {
  struct Caso {
    std::size_t filas, columnas;
    std::vector<std::string> textos;
  };
  const std::string mil = "[1000]";
  const Caso casos[] = {{1000, 1, {mil}},
                        {2500, 1, {mil, mil, "[500]"}},
                        {1000, 3, {"[1998]", "[1002]"}},
                        {5, 2500, {"[2500]", "[2500]", "[2500]", "[2500]", "[2500]"}}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::to_string(c.filas) + "x" + std::to_string(c.columnas));
    Entorno e(Motor::SqlServer);
    std::vector<Valor> esperados;
    for (std::size_t f = 0; f < c.filas; ++f) {
      std::vector<std::pair<std::string, Valor>> fila;
      for (std::size_t k = 0; k < c.columnas; ++k) {
        fila.emplace_back("C" + std::to_string(k), static_cast<std::int64_t>(f * 10000 + k));
        esperados.push_back(fila.back().second);
      }
      ASSERT_TRUE(e.Fila("T", fila));
    }
    e.diferidas->ConfirmaTransaccion();
    ASSERT_EQ(e.textos.back(), "COMMIT");
    e.textos.pop_back();
    std::vector<std::string> marcas;  // each statement's, which are its rows' times the columns
    for (const std::string& t : e.textos) {
      std::size_t filas = 0;
      for (std::size_t p = t.find("(?"); p != std::string::npos; p = t.find("(?", p + 1)) ++filas;
      marcas.push_back(t.substr(t.rfind(" [") + 1));
      EXPECT_EQ(marcas.back(), "[" + std::to_string(filas * c.columnas) + "]");
    }
    EXPECT_EQ(marcas, c.textos);
    EXPECT_EQ(e.backend->valores, esperados);
  }
}

// Each held change must confirm its row: a statement that changes other
// than one row a change refuses the batch, to be done again. (SQL Server,
// whose catalog is not asked what sees the order of the writes: a statement
// per change.)
TEST(EscriturasDiferidas, CadaCambioRetenidoConfirmaSuFilaOElLoteSeRehace) {
  for (long cambiadas : {1L, 0L, 2L}) {
    Entorno e(Motor::SqlServer);
    e.backend->cambiadas = cambiadas;
    for (int i = 0; i < 3; ++i) {
      ActualizacionDiferible x{"Empleado",
                               {{"Nombre", std::string("N")}},
                               {adVarChar},
                               {{"ID_Empleado", ClaseLiteral::Texto, "E" + std::to_string(i)}},
                               {}};
      ASSERT_TRUE(e.diferidas->DifiereActualizacion(x));
    }
    if (cambiadas == 1) {
      EXPECT_NO_THROW(e.diferidas->ConfirmaTransaccion());
      EXPECT_EQ(std::count_if(e.textos.begin(), e.textos.end(),
                              [](const std::string& t) { return t.starts_with("update"); }),
                3);
      continue;
    }
    EXPECT_THROW(e.diferidas->ConfirmaTransaccion(), ErrorVarlo);
    ASSERT_TRUE(e.diferidas->Rechazadas()) << cambiadas << " rows changed for a held change";
    EXPECT_EQ(e.diferidas->Rechazo()->Numero(), errores_bd::FilaNoEncontrada);
  }
}

// Written in the background (SQLite): Escribe returns while the write is
// still blocked in the backend, rows held meanwhile wait for the next write,
// and the next call waits for it: its statements come after, and its refusal
// is kept, the rows held meanwhile dropped with the transaction.
TEST(EscriturasDiferidas, EnSegundoPlanoLaSiguienteLlamadaEsperaYGuardaSuRechazo) {
  for (const bool rechazada : {false, true}) {
    SCOPED_TRACE(rechazada ? "rechazada" : "escrita");
    bool rechaza = rechazada;
    Entorno e;
    e.diferidas->EnSegundoPlano(true);
    std::promise<void> puerta;
    std::shared_future<void> abierta = puerta.get_future().share();
    e.backend->falla = [&, abierta] {
      // (bounded only so that a write that blocks Escribe fails instead of hanging)
      if (abierta.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
        throw std::runtime_error("Escribe esperó a que se escribiera");
      // the first write only: the one in the background
      if (std::exchange(rechaza, false)) throw ErrorVarlo(-1, "SQLite", "UNIQUE constraint failed");
    };
    ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}}));
    e.diferidas->Escribe();
    EXPECT_TRUE(e.diferidas->EnTransaccion());
    ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}}));
    puerta.set_value();
    e.diferidas->Consulta({"select 1", {}}, 0);
    EXPECT_EQ(e.diferidas->Rechazadas(), rechazada);
    if (rechazada)
      EXPECT_EQ(e.textos, (std::vector<std::string>{"ROLLBACK", "BEGIN", "select 1"}));
    else
      EXPECT_EQ(e.textos,
                (std::vector<std::string>{"insert into \"T\" (\"A\") values (?) [1]",
                                          "insert into \"T\" (\"A\") values (?) [1]", "select 1"}));
  }
}

ActualizacionDiferible Cambio(const std::string& columna, std::int64_t llave) {
  ActualizacionDiferible a;
  a.tabla = "T";
  a.valores = {{columna, llave}};
  a.tipos = {3};
  a.condiciones.push_back({"K", ClaseLiteral::Numero, std::to_string(llave), "="});
  a.localizador = {std::int64_t{16384}, std::string("(0," + std::to_string(llave) + ")")};
  return a;
}

// Changes go as one array per column, each read with its column's type from
// the catalog (asked once per table); a column the catalog does not type
// goes as JSON; a change that misses its row refuses the batch.
TEST(EscriturasDiferidas, LosCambiosVanComoArreglosConLosTiposDelCatalogo) {
  Entorno e(Motor::PostgreSql);
  e.backend->arreglos = true;
  EscriturasDiferidas& diferidas = *e.diferidas;
  for (std::int64_t i = 1; i <= 3; ++i) {
    ActualizacionDiferible a = Cambio("A", i);
    ASSERT_TRUE(diferidas.DifiereActualizacion(a));
  }
  ActualizacionDiferible sinTipo = Cambio("C", 4);
  ASSERT_TRUE(diferidas.DifiereActualizacion(sinTipo));
  diferidas.Escribe();
  ActualizacionDiferible otra = Cambio("B", 5);
  ASSERT_TRUE(diferidas.DifiereActualizacion(otra));
  diferidas.Escribe();
  // what sees the order of the writes, asked once (nothing here)
  ASSERT_FALSE(e.textos.empty());
  EXPECT_NE(e.textos[0].find("pg_index"), std::string::npos) << e.textos[0];
  const std::vector<std::string> textos(e.textos.begin() + 1, e.textos.end());
  ASSERT_EQ(textos.size(), 4u);
  EXPECT_NE(textos[0].find("from pg_catalog.pg_attribute"), std::string::npos) << textos[0];
  EXPECT_EQ(textos[1],
            "update \"T\" as t set \"A\" = v.c0 from unnest(cast(? as oid[]), cast(? as tid[]),"
            " cast(? as integer[]), cast(? as numeric[])) as v(o, l, c0, k0) where t.tableoid ="
            " v.o and t.ctid = v.l and t.\"K\" = v.k0 [4x3]");
  EXPECT_TRUE(textos[2].starts_with("update \"T\" as t set \"C\" = p.\"C\" from jso")) << textos[2];
  EXPECT_NE(textos[3].find("cast(? as text[])"), std::string::npos) << textos[3];
  EXPECT_NE(textos[3].find("[4x1]"), std::string::npos) << textos[3];

  e.backend->cambiadas = 0;  // the change misses its row
  ActualizacionDiferible movida = Cambio("A", 6);
  ASSERT_TRUE(diferidas.DifiereActualizacion(movida));
  diferidas.Escribe();
  EXPECT_TRUE(diferidas.Rechazadas());
}

// A change of a row the batch added (or moved) has no locator: it goes by
// its keys, after every other write, and the first change of each key
// before the second, so that one statement changes each row once. Not where
// a unique index of another column would see a value taken before another
// row freed it: there only the new rows go first, and a statement of several
// changes is guarded (it changes nothing where a row would take what a
// later one holds: a statement changes its rows in an order of the
// database's). Behind a trigger every write keeps the file's order, each
// change a statement of its own.
TEST(EscriturasDiferidas, LosCambiosPorLlaveVanDespuesYUnaVezPorFilaEnCadaSentencia) {
  const auto porLlave = [](Entorno& e, std::int64_t llave, const std::string& b,
                           const std::string& columna = "B") {
    ActualizacionDiferible a;
    a.tabla = "T";
    a.valores = {{columna, b}};
    a.tipos = {adVarChar};
    a.condiciones.push_back({"A", ClaseLiteral::Numero, std::to_string(llave), "="});
    ASSERT_TRUE(e.diferidas->DifiereActualizacion(a));
  };
  // Rows 1 and 2 added, 1 changed twice and 2 once by their keys, 3 by its locator.
  const auto escribe = [&porLlave](Entorno& e) {
    e.backend->arreglos = true;
    ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{1}}, {"B", std::string("x")}}));
    porLlave(e, 1, "y");
    ASSERT_TRUE(e.Fila("T", {{"A", std::int64_t{2}}, {"B", std::string("x")}}));
    porLlave(e, 1, "z");
    porLlave(e, 2, "y");
    ActualizacionDiferible localizada = Cambio("A", 3);
    ASSERT_TRUE(e.diferidas->DifiereActualizacion(localizada));
    e.diferidas->Escribe();
    // what sees the order is asked of the catalog first, once per table
    ASSERT_FALSE(e.textos.empty());
    EXPECT_NE(e.textos[0].find("pg_index"), std::string::npos) << e.textos[0];
  };
  const std::string porLlaves =
      "where t.\"A\" = v.k0 and (select count(*) from \"T\" as u where u.\"A\" = v.k0) = 1";
  {
    Entorno e(Motor::PostgreSql);
    e.backend->observadores = {"A"};  // the key's own index sees no order
    escribe(e);
    const std::vector<std::string>& t = e.textos;
    ASSERT_EQ(t.size(), 6u) << ::testing::PrintToString(t);
    EXPECT_TRUE(t[2].starts_with("insert into \"T\"")) << t[2];
    EXPECT_TRUE(t[2].ends_with("[2x2]")) << t[2];
    EXPECT_NE(t[3].find("t.ctid = v.l"), std::string::npos) << t[3];
    for (const auto& [i, filas] : {std::pair{4, "[2x2]"}, {5, "[2x1]"}}) {
      EXPECT_EQ(t[i].find("ctid"), std::string::npos) << t[i];
      EXPECT_NE(t[i].find(porLlaves), std::string::npos) << t[i];
      EXPECT_TRUE(t[i].ends_with(filas)) << t[i];
    }
    // a column the catalog does not type goes as JSON, its key read as the key column's type
    porLlave(e, 1, "w", "C");
    e.diferidas->Escribe();
    ASSERT_EQ(t.size(), 7u);
    EXPECT_TRUE(t[6].starts_with("update \"T\" as t set \"C\" = p.\"C\" from json")) << t[6];
    EXPECT_NE(t[6].find("(i bigint, c json, k0 integer)"), std::string::npos) << t[6];
    EXPECT_EQ(t[6].find("ctid"), std::string::npos) << t[6];
  }
  using Vs = std::vector<Valor>;
  // an index of known columns guards the statement; one on an expression
  // (its columns unknown) cannot: each change alone
  for (const auto& [observadores, guardada] :
       {std::pair{Vs{"A", "B"}, true}, {Vs{"A,B", "A"}, true}, {Vs{""}, false}}) {
    SCOPED_TRACE(::testing::PrintToString(observadores.size()));
    Entorno e(Motor::PostgreSql);
    e.backend->observadores = observadores;
    escribe(e);
    const std::vector<std::string>& t = e.textos;
    ASSERT_EQ(t.size(), guardada ? 6u : 7u) << ::testing::PrintToString(t);
    EXPECT_TRUE(t[2].starts_with("insert into \"T\"") && t[2].ends_with("[2x2]")) << t[2];
    for (std::size_t i = 3; i + 1 < t.size(); ++i) {
      const bool enGuarda = guardada && i == 4;
      EXPECT_TRUE(t[i].find(porLlaves) != std::string::npos &&
                  t[i].ends_with(enGuarda ? "[2x2]" : "[2x1]"))
          << t[i];
      EXPECT_EQ(t[i].starts_with("with v as (") &&
                    t[i].find("having min(toma) < max(tiene)") != std::string::npos,
                enGuarda)
          << t[i];
    }
    EXPECT_TRUE(t.back().find("t.ctid = v.l") != std::string::npos && t.back().ends_with("[4x1]"))
        << t.back();
  }
  Entorno e(Motor::PostgreSql);
  e.backend->observadores = {"A", Valor{}};  // a trigger
  escribe(e);
  const std::vector<std::string>& t = e.textos;
  ASSERT_EQ(t.size(), 8u) << ::testing::PrintToString(t);
  for (int i : {2, 4})
    EXPECT_TRUE(t[i].starts_with("insert into \"T\"") && t[i].ends_with("[2x1]")) << t[i];
  for (int i : {3, 5, 6})
    EXPECT_TRUE(t[i].find(porLlaves) != std::string::npos && t[i].ends_with("[2x1]")) << t[i];
  EXPECT_TRUE(t[7].find("t.ctid = v.l") != std::string::npos && t[7].ends_with("[4x1]")) << t[7];
}

}  // namespace
}  // namespace varlo::db
