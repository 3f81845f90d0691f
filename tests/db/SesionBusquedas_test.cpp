// PostgreSQL's paths read a batch's lookups on a session of their own, beside
// the one that writes: that session must read the database as the writing
// transaction would, or decline.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Backend.h"
#include "db/odbc/ConexionOdbc.h"
#include "db/pq/ConexionPq.h"
#include "support/BackendDeCadena.h"
#include "support/BaseDatosPrueba.h"

namespace varlo::db {
namespace {

using prueba::AbreBackend;
using prueba::BaseDatosPrueba;

// The rows of keys 'a' and 'b' as "k=v" read on the lookup session; nothing
// when it declines.
std::optional<std::string> LeeAparte(Backend& b) {
  const std::optional<ResultadoConsulta> r = b.ConsultaAparte(
      {"select k, v from k where k in (?, ?) order by k", {std::string("a"), std::string("b")}});
  if (!r) return std::nullopt;
  std::string filas;
  for (const auto& f : r->filas)
    filas += ValorComoTexto(f.at(0)) + "=" + ValorComoTexto(f.at(1)) + " ";
  return filas;
}

class SesionBusquedasPor : public ::testing::TestWithParam<BaseDatosPrueba::Acceso> {};

TEST_P(SesionBusquedasPor, LeeComoLaTransaccionQueEscribeONoLee) {
  BaseDatosPrueba propio = BaseDatosPrueba::PostgreSql(GetParam());
  BaseDatosPrueba otro = BaseDatosPrueba::PostgreSql(GetParam());
  auto b = AbreBackend(propio.Cadena());
  b->Ejecuta({"create table k (k text primary key, v int); insert into k values ('a', 1)", {}});
  b->Ejecuta({"create table " + otro.Esquema() + ".k (k text primary key, v int); insert into " +
                  otro.Esquema() + ".k values ('a', 2)",
              {}});

  // outside a transaction there is nothing to read beside
  EXPECT_EQ(LeeAparte(*b), std::nullopt);
  b->IniciaTransaccion();
  EXPECT_EQ(LeeAparte(*b), "a=1 ");
  b->ConfirmaTransaccion();

  // the schema path the session was given after it connected
  b->Ejecuta({"set search_path to " + otro.Esquema(), {}});
  b->IniciaTransaccion();
  EXPECT_EQ(LeeAparte(*b), "a=2 ");
  // once the transaction wrote other than its held rows, it alone sees them
  b->Ejecuta({"insert into k values ('b', 3)", {}});
  EXPECT_EQ(LeeAparte(*b), std::nullopt);
  b->ConfirmaTransaccion();
  b->IniciaTransaccion();
  EXPECT_EQ(LeeAparte(*b), "a=2 b=3 ");
  b->ConfirmaTransaccion();

  // a transaction on a snapshot of its own reads what the other session may not
  b->Ejecuta({"set session characteristics as transaction isolation level repeatable read", {}});
  b->IniciaTransaccion();
  EXPECT_EQ(LeeAparte(*b), std::nullopt);
  b->ConfirmaTransaccion();
}

INSTANTIATE_TEST_SUITE_P(Accesos, SesionBusquedasPor,
                         ::testing::Values(BaseDatosPrueba::Acceso::Nativo,
                                           BaseDatosPrueba::Acceso::Odbc),
                         [](const auto& i) {
                           return i.param == BaseDatosPrueba::Acceso::Nativo ? "libpq" : "Odbc";
                         });

// A login allowed one session only (a connection limit): the second is
// refused, and the lookups stay on the first, which still reads them.
TEST(SesionBusquedas, SinSegundaSesionLasBusquedasSiguenEnLaPrimera) {
  const char* puerto = std::getenv("VARLODI_PG_PORT");
  ASSERT_NE(puerto, nullptr) << "VARLODI_PG_PORT (scripts/pg-cluster)";
  const std::string servidor = std::string("host=127.0.0.1 port=") + puerto + " dbname=varlodi";
  auto admin = AbrePq(servidor + " user=postgres", "admin", {});
  struct Borra {
    Backend& admin;
    std::vector<std::string> roles;
    ~Borra() {
      for (const std::string& rol : roles) try {
          admin.Ejecuta({"drop schema " + rol + " cascade; drop role " + rol, {}});
        } catch (...) {
        }
    }
  } borra{*admin, {}};
  for (const bool odbc : {false, true}) {
    SCOPED_TRACE(odbc ? "ODBC" : "libpq");
    // A role for each: the server may still be closing the last one's session.
    const std::string rol =
        "varlodi_una_sesion_" + std::to_string(getpid()) + (odbc ? "_odbc" : "_pq");
    admin->Ejecuta({"create role " + rol + " login connection limit 1; create schema " + rol +
                        " authorization " + rol,
                    {}});
    borra.roles.push_back(rol);
    auto b =
        odbc ? AbreOdbc(std::string("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=") + puerto +
                        ";Database=varlodi;Uid=" + rol + ";ConnSettings=SET search_path TO " + rol +
                        ";")
             : AbrePq(servidor + " user=" + rol + " options='-c search_path=" + rol + "'", rol, {});
    b->Ejecuta({"create table k (k text primary key, v int); insert into k values ('a', 1)", {}});
    b->IniciaTransaccion();
    EXPECT_EQ(LeeAparte(*b), std::nullopt);
    const ResultadoConsulta r = b->Consulta(
        {"select k, v from k where k in (?, ?)", {std::string("a"), std::string("b")}}, 0);
    ASSERT_EQ(r.filas.size(), 1u);
    EXPECT_EQ(ValorComoTexto(r.filas[0][1]), "1");
    b->ConfirmaTransaccion();
  }
}

}  // namespace
}  // namespace varlo::db
