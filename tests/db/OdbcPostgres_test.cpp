// The ODBC backend against a live PostgreSQL cluster (VARLODI_PG_ODBC, as
// scripts/pg-cluster prints it). Each test works in a schema of its own so
// that test programs running at the same time do not meet.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/TiposAdo.h"
#include "db/odbc/ConexionOdbc.h"

namespace varlo::db {
namespace {

std::string CadenaPostgres() {
  const char* c = std::getenv("VARLODI_PG_ODBC");
  return c != nullptr ? c : "";
}

constexpr const char* kSinCluster =
    "VARLODI_PG_ODBC no está definida: arranque un clúster con "
    "`scripts/pg-cluster start DIR` y exporte lo que imprime (scripts/test lo hace)";

std::string NombreUnico(const std::string& prefijo) {
  std::random_device azar;
  const std::uint64_t n = (std::uint64_t{azar()} << 32) ^ azar();
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(n));
  return prefijo + hex;
}

SentenciaSql Sql(std::string texto, std::vector<Valor> parametros = {}) {
  return {std::move(texto), std::move(parametros)};
}

// The error a call raises; a call that does not fail is a test failure.
template <class F>
ErrorVarlo ErrorDe(F&& llamada) {
  try {
    llamada();
  } catch (const ErrorVarlo& e) {
    return e;
  }
  ADD_FAILURE() << "se esperaba un error";
  return ErrorVarlo(0, "", "");
}

class OdbcPostgres : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = CadenaPostgres();
    ASSERT_FALSE(base_.empty()) << kSinCluster;
    if (base_.back() != ';') base_ += ';';
    esquema_ = NombreUnico("odbc_");
    AbreOdbc(base_)->Ejecuta(Sql("create schema " + esquema_));
    bd_ = AbreOdbc(CadenaEnEsquema(esquema_));
  }

  void TearDown() override {
    if (bd_) bd_->Cierra();
    if (base_.empty() || esquema_.empty()) return;
    auto admin = AbreOdbc(base_);
    admin->Ejecuta(Sql("drop schema " + esquema_ + " cascade"));
    for (const std::string& otro : otrosEsquemas_) admin->Ejecuta(Sql("drop schema " + otro + " cascade"));
  }

  std::string CadenaEnEsquema(const std::string& esquema) const {
    return base_ + "ConnSettings=set search_path to " + esquema + ";";
  }

  std::vector<Valor> Fila(const std::string& sql, std::vector<Valor> parametros = {}) {
    ResultadoConsulta r = bd_->Consulta(Sql(sql, std::move(parametros)), 0);
    EXPECT_EQ(r.filas.size(), 1u) << sql;
    return r.filas.empty() ? std::vector<Valor>{} : r.filas.front();
  }

  std::string base_;
  std::string esquema_;
  std::vector<std::string> otrosEsquemas_;
  std::unique_ptr<Backend> bd_;
};

TEST_F(OdbcPostgres, AbreReconoceElMotorYCierra) {
  EXPECT_TRUE(bd_->Abierta());
  EXPECT_EQ(bd_->MotorBD(), Motor::PostgreSql);
  // The session works in the private schema and reads uncommitted ("browse").
  EXPECT_EQ(Fila("select current_schema()")[0], Valor(esquema_));
  EXPECT_EQ(Fila("show transaction_isolation")[0], Valor(std::string("read uncommitted")));

  bd_->Cierra();
  EXPECT_FALSE(bd_->Abierta());
  const ErrorVarlo e = ErrorDe([&] { bd_->Consulta(Sql("select 1"), 0); });
  EXPECT_LT(e.Numero(), 0);
  EXPECT_EQ(e.Descripcion(), "La conexión con la base de datos está cerrada");
  bd_->Cierra();  // a second close is harmless
}

TEST_F(OdbcPostgres, CadaTipoSeEnlazaYVuelveIgual) {
  bd_->Ejecuta(Sql(
      "create table tipos (id integer primary key, c char(15), v varchar(50), t text, "
      "i integer, s smallint, g bigint, b boolean, d date, h time, ts timestamp, "
      "r real, f double precision, n numeric(12,3), foto bytea)"));
  const std::string insercion =
      "insert into tipos (id, c, v, t, i, s, g, b, d, h, ts, r, f, n, foto) "
      "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
  const std::vector<Valor> valores = {
      std::int64_t{1},
      std::string("O'Brien ñ"),
      std::string("Peña Éxito"),
      std::string("línea\r\notra"),
      std::int64_t{-2147483647 - 1},
      std::int64_t{32767},
      std::int64_t{9007199254740993},
      true,
      FechaHora{2024, 2, 29, 0, 0, 0},
      FechaHora{1899, 12, 30, 23, 59, 58},
      FechaHora{1999, 12, 31, 13, 45, 7},
      0.5,
      -1234.0625,
      98765.125,
      Bytes{0, 1, 2, 0xFF, 0x27, 0},
  };
  EXPECT_EQ(bd_->Ejecuta(Sql(insercion, valores)), 1);
  std::vector<Valor> nulos(valores.size());
  nulos[0] = std::int64_t{2};
  EXPECT_EQ(bd_->Ejecuta(Sql(insercion, nulos)), 1);
  std::vector<Valor> falsos = valores;
  falsos[0] = std::int64_t{3};
  falsos[7] = false;
  falsos[14] = Bytes{};  // empty, not NULL
  EXPECT_EQ(bd_->Ejecuta(Sql(insercion, falsos)), 1);

  const std::string consulta = "select id, c, v, t, i, s, g, b, d, h, ts, r, f, n, foto from tipos where id = ?";
  std::vector<Valor> esperado = valores;
  esperado[1] = std::string("O'Brien ñ") + std::string(6, ' ');  // char(15) is padded to 15 characters
  EXPECT_EQ(Fila(consulta, {std::int64_t{1}}), esperado);
  EXPECT_EQ(Fila(consulta, {std::int64_t{2}}), nulos);
  std::vector<Valor> esperadoFalsos = falsos;
  esperadoFalsos[1] = esperado[1];
  EXPECT_EQ(Fila(consulta, {std::int64_t{3}}), esperadoFalsos);

  // Parameters of every type also select.
  EXPECT_EQ(Fila("select id from tipos where b = ? and d = ? and ts = ? and c = ?",
                 {true, valores[8], valores[10], valores[1]}),
            std::vector<Valor>{std::int64_t{1}});
}

TEST_F(OdbcPostgres, ImagenDeMasDeUnMebibyteEnTrozos) {
  bd_->Ejecuta(Sql("create table fotos (id varchar(15) primary key, foto bytea)"));
  Bytes foto(1024 * 1024 + 4099);  // not a whole number of pieces
  std::uint32_t x = 2463534242u;
  for (unsigned char& b : foto) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<unsigned char>(x);
  }
  EXPECT_EQ(bd_->Ejecuta(Sql("insert into fotos (id, foto) values (?, ?)", {std::string("E1"), foto})), 1);
  EXPECT_EQ(Fila("select length(foto) from fotos")[0], Valor(std::int64_t(foto.size())));
  EXPECT_EQ(Fila("select foto from fotos where id = ?", {std::string("E1")})[0], Valor(foto));

  Bytes otra(foto.rbegin(), foto.rend());
  EXPECT_EQ(bd_->Ejecuta(Sql("update fotos set foto = ? where id = ?", {otra, std::string("E1")})), 1);
  EXPECT_EQ(Fila("select foto from fotos where id = ?", {std::string("E1")})[0], Valor(otra));
}

TEST_F(OdbcPostgres, TextoConAcentosApostrofosYLargo) {
  bd_->Ejecuta(Sql("create table textos (n integer primary key, v varchar(40), t text)"));
  std::string largo;
  while (largo.size() < 300000) largo += "añoÉ'😀-";  // several read pieces, long-text parameter
  const std::vector<std::string> textos = {"O'Brien", "''", "Peña Ñandú é", "日本語", "😀 fin", "", "  "};
  for (std::size_t i = 0; i < textos.size(); ++i) {
    bd_->Ejecuta(Sql("insert into textos (n, v, t) values (?, ?, ?)",
                     {std::int64_t(i), textos[i], textos[i] + largo}));
  }
  for (std::size_t i = 0; i < textos.size(); ++i) {
    // Found by the text itself: the value is bound, never pasted.
    const std::vector<Valor> fila = Fila("select n, v, t, char_length(v) from textos where v = ?", {textos[i]});
    ASSERT_EQ(fila.size(), 4u);
    EXPECT_EQ(fila[0], Valor(std::int64_t(i)));
    EXPECT_EQ(fila[1], Valor(textos[i]));
    EXPECT_EQ(fila[2], Valor(textos[i] + largo));
  }
  // The server counts characters, not bytes: the text arrived as UTF-16 and was stored as such.
  EXPECT_EQ(Fila("select char_length(v) from textos where n = 2")[0], Valor(std::int64_t{12}));
  EXPECT_EQ(Fila("select char_length(v) from textos where n = 4")[0], Valor(std::int64_t{5}));
}

TEST_F(OdbcPostgres, MetadatosDeUnaTablaSinFilas) {
  bd_->Ejecuta(Sql(
      "create table empleado (\"ID_Empleado\" char(15) primary key, \"Nombre\" varchar(50), "
      "notas text, edad integer, nivel smallint, grande bigint, activo boolean, alta date, "
      "entrada time, \"Fecha\" timestamp, peso real, sueldo double precision, saldo numeric(10,2), "
      "foto bytea, clave uuid)"));
  const ResultadoConsulta r = bd_->Consulta(Sql("select * from empleado limit 0"), 0);
  EXPECT_TRUE(r.filas.empty());
  struct Esperado {
    const char* nombre;
    int tipo;
    long tamano;
  };
  const std::vector<Esperado> esperados = {
      {"ID_Empleado", adChar, 15},       {"Nombre", adVarChar, 50},
      {"notas", adLongVarChar, 2147483647}, {"edad", adInteger, 4},
      {"nivel", adSmallInt, 2},          {"grande", adBigInt, 8},
      {"activo", adBoolean, 2},          {"alta", adDBDate, 6},
      {"entrada", adDBTime, 6},          {"Fecha", adDBTimeStamp, 16},
      {"peso", adSingle, 4},             {"sueldo", adDouble, 8},
      {"saldo", adNumeric, 19},          {"foto", adLongVarBinary, 2147483647},
      {"clave", adGUID, 16},
  };
  ASSERT_EQ(r.campos.size(), esperados.size());
  for (std::size_t i = 0; i < esperados.size(); ++i) {
    SCOPED_TRACE(esperados[i].nombre);
    EXPECT_EQ(r.campos[i].nombre, esperados[i].nombre);
    EXPECT_EQ(r.campos[i].tipo, esperados[i].tipo);
    EXPECT_EQ(r.campos[i].tamanoDefinido, esperados[i].tamano);
  }
  // The same metadata comes with rows, and with a record limit.
  bd_->Ejecuta(Sql("insert into empleado (\"ID_Empleado\") values ('A'), ('B')"));
  const ResultadoConsulta conFilas = bd_->Consulta(Sql("select * from empleado"), 1);
  EXPECT_EQ(conFilas.filas.size(), 1u);
  ASSERT_EQ(conFilas.campos.size(), esperados.size());
  EXPECT_EQ(conFilas.campos[0].tipo, adChar);
  EXPECT_EQ(conFilas.campos[13].tipo, adLongVarBinary);
}

TEST_F(OdbcPostgres, SentenciasPreparadasSeReutilizanConOtrosValores) {
  bd_->Ejecuta(Sql("create table kardex (id varchar(15) primary key, dato integer)"));
  const std::string insercion = "insert into kardex (id, dato) values (?, ?)";
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(bd_->Ejecuta(Sql(insercion, {"E" + std::to_string(i), std::int64_t{i * 10}})), 1);
  }
  // A failure leaves the statement usable for the next values.
  EXPECT_LT(ErrorDe([&] { bd_->Ejecuta(Sql(insercion, {std::string("E1"), std::int64_t{0}})); }).Numero(), 0);
  EXPECT_EQ(bd_->Ejecuta(Sql(insercion, {std::string("E5"), std::int64_t{50}})), 1);

  const std::string busqueda = "select id, dato from kardex where id = ?";
  for (int vuelta = 0; vuelta < 3; ++vuelta) {
    for (int i = 5; i >= 0; --i) {
      EXPECT_EQ(Fila(busqueda, {"E" + std::to_string(i)}),
                (std::vector<Valor>{"E" + std::to_string(i), std::int64_t{i * 10}}));
    }
    // More texts than the connection keeps prepared, so the first ones are prepared again.
    for (int otro = 0; otro < 20; ++otro) {
      EXPECT_EQ(Fila("select " + std::to_string(otro) + " + dato from kardex where id = 'E1'")[0],
                Valor(std::int64_t{otro + 10}));
    }
  }
  EXPECT_TRUE(bd_->Consulta(Sql(busqueda, {std::string("E9")}), 1).filas.empty());

  EXPECT_EQ(bd_->Ejecuta(Sql("update kardex set dato = dato + ? where dato >= ?", {std::int64_t{1}, std::int64_t{30}})), 3);
  EXPECT_EQ(bd_->Ejecuta(Sql("update kardex set dato = 0 where id = ?", {std::string("nadie")})), 0);
  EXPECT_EQ(bd_->Consulta(Sql("select id from kardex order by id"), 2).filas.size(), 2u);
  EXPECT_EQ(bd_->Consulta(Sql("select id from kardex order by id"), 0).filas.size(), 6u);
  EXPECT_EQ(bd_->Ejecuta(Sql("delete from kardex")), 6);
}

TEST_F(OdbcPostgres, ErroresDelServidorLlevanNumeroNegativoYElSql) {
  bd_->Ejecuta(Sql("create table jerarquias (\"Key\" varchar(10) primary key, \"Parent\" varchar(10) not null)"));
  const std::string insercion = "insert into jerarquias (\"Key\", \"Parent\") values (?, ?)";
  bd_->Ejecuta(Sql(insercion, {std::string("A"), std::string("R")}));
  // Repeated: the diagnostics are read to their end every time and never past it.
  for (int i = 0; i < 3; ++i) {
    const ErrorVarlo duplicada = ErrorDe([&] { bd_->Ejecuta(Sql(insercion, {std::string("A"), std::string("R")})); });
    EXPECT_EQ(duplicada.Numero(), -2147217873);
    EXPECT_NE(duplicada.Descripcion().find("SQLSTATE 23505"), std::string::npos) << duplicada.Descripcion();
    EXPECT_NE(duplicada.Descripcion().find("Sentencia: " + insercion), std::string::npos) << duplicada.Descripcion();
    EXPECT_EQ(duplicada.Descripcion().find('\n'), std::string::npos);
  }
  const ErrorVarlo sinPadre = ErrorDe([&] { bd_->Ejecuta(Sql(insercion, {std::string("B"), Valor{}})); });
  EXPECT_EQ(sinPadre.Numero(), -2147217873);
  EXPECT_NE(sinPadre.Descripcion().find("SQLSTATE 23502"), std::string::npos) << sinPadre.Descripcion();

  const ErrorVarlo sintaxis = ErrorDe([&] { bd_->Consulta(Sql("select from where"), 0); });
  EXPECT_EQ(sintaxis.Numero(), -2147217900);
  EXPECT_NE(sintaxis.Descripcion().find("SQLSTATE 42601"), std::string::npos) << sintaxis.Descripcion();
  const ErrorVarlo sinTabla = ErrorDe([&] { bd_->Consulta(Sql("select * from no_existe"), 1); });
  EXPECT_EQ(sinTabla.Numero(), -2147217900);

  // The connection is still usable.
  EXPECT_EQ(Fila("select count(*) from jerarquias")[0], Valor(std::int64_t{1}));
}

TEST_F(OdbcPostgres, TablasBaseDelEsquemaDeTrabajoSinVistas) {
  const std::string ajeno = NombreUnico("odbc_ajeno_");
  otrosEsquemas_.push_back(ajeno);
  bd_->Ejecuta(Sql("create schema " + ajeno));
  bd_->Ejecuta(Sql("create table " + ajeno + ".ajena (x integer)"));
  bd_->Ejecuta(Sql("create table zeta (x integer)"));
  bd_->Ejecuta(Sql("create table \"Empleado\" (x integer)"));
  bd_->Ejecuta(Sql("create table alfa (x integer)"));
  bd_->Ejecuta(Sql("create view vista as select * from alfa"));
  EXPECT_EQ(bd_->TablasBase(), (std::vector<std::string>{"Empleado", "alfa", "zeta"}));

  auto enAjeno = AbreOdbc(CadenaEnEsquema(ajeno));
  EXPECT_EQ(enAjeno->TablasBase(), std::vector<std::string>{"ajena"});
}

TEST(OdbcConexion, CadenaErroneaDaNumeroNegativoSinLaClave) {
  struct Caso {
    std::string cadena;
    std::string fuente;
    std::string estado;
  };
  const std::vector<Caso> casos = {
      // Nothing listens on port 1.
      {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=varlodi;Uid=varlodi;Pwd=Clave.Secreta-77;",
       "ODBC", "SQLSTATE 08001"},
      {"Driver={Controlador Inexistente};Server=x;PWD={a;Clave.Secreta-77}", "unixODBC", "SQLSTATE 01000"},
      {"DSN=FuenteQueNoExiste;Password=Clave.Secreta-77", "unixODBC", "SQLSTATE IM002"},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.cadena);
    const ErrorVarlo e = ErrorDe([&] { AbreOdbc(caso.cadena); });
    EXPECT_EQ(e.Numero(), -2147467259);
    EXPECT_EQ(e.Fuente(), caso.fuente);
    EXPECT_NE(e.Descripcion().find(caso.estado), std::string::npos) << e.Descripcion();
    EXPECT_EQ(e.Descripcion().find("Clave.Secreta"), std::string::npos) << e.Descripcion();
    EXPECT_NE(e.Descripcion().find("=***"), std::string::npos) << e.Descripcion();
  }
}

}  // namespace
}  // namespace varlo::db
