// The database layer as the engines use it, run on SQLite and on the live
// PostgreSQL cluster natively and through ODBC: the same expectations on all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/ConexionGenerica.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErrorEsperado.h"
#include "db/TiposAdo.h"
#include "db/sqlite/ConexionSQLite.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/MotoresPrueba.h"

// designated initializers leave the other members at their defaults
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace varlo::db {
namespace {

using prueba::BaseDatosPrueba;
using prueba::BaseDe;
using prueba::CarpetaTemporal;
using prueba::ErrorDe;
using prueba::MotorPrueba;
using prueba::NombreMotor;
using prueba::TodosLosMotores;

class CapaDatos : public ::testing::TestWithParam<MotorPrueba> {
 protected:
  void SetUp() override {
    cadena_ = BaseDe(GetParam(), carpeta_.Ruta(), pg_);
    cn_ = Conexion::Abre(cadena_);
  }
  bool EsSQLite() const { return GetParam() == MotorPrueba::SQLite; }
  std::unique_ptr<Recordset> Abre(const Consulta& c, long max = 1) {
    return cn_->AbreConsulta(c, max);
  }
  std::unique_ptr<Recordset> Empleado(const std::string& id) {
    return Abre(BuscaPorTexto("Empleado", {}, "ID_Empleado", id));
  }
  static void Asigna(Recordset& rs,
                     const std::vector<std::pair<const char*, std::string>>& textos) {
    for (const auto& [campo, texto] : textos) rs.AsignaTexto(rs.IndiceCampo(campo), texto);
  }
  static void Comprueba(Recordset& rs, const std::vector<std::pair<const char*, Valor>>& valores) {
    for (const auto& [campo, valor] : valores)
      EXPECT_EQ(rs.Value(rs.IndiceCampo(campo)), valor) << campo;
  }
  long Cuenta(const std::string& tabla) { return Abre(Consulta{.tabla = tabla}, 0)->RecordCount(); }

  // The values of one column over every row, sorted.
  std::vector<std::string> Columna(const std::string& tabla, const std::string& columna) {
    std::vector<std::string> r;
    for (auto rs = Abre(Consulta{.columnas = {columna}, .tabla = tabla}, 0); !rs->EOF_();
         rs->MoveNext())
      r.push_back(rs->Texto(0));
    std::ranges::sort(r);
    return r;
  }

  CarpetaTemporal carpeta_;
  std::unique_ptr<BaseDatosPrueba> pg_;  // outlives the connection
  std::string cadena_;
  std::unique_ptr<Conexion> cn_;
};

// The base tables of the catalogue, views left out, and the types and
// sizes of their columns.
TEST_P(CapaDatos, TablasBaseYTiposYTamanosDeLasColumnas) {
  cn_->Execute("create table Extra (a integer)");
  cn_->Execute("create view VistaExtra as select a from Extra");
  std::vector<std::string> tablas = cn_->TablasBase();
  for (std::string& t : tablas) t = Mayusculas(t);
  std::ranges::sort(tablas);  // the order of the ODBC catalogue is the driver's
  EXPECT_EQ(tablas, (std::vector<std::string>{"EMPLEADO", "EXTRA", "FOTOS_EMPLEADOS", "JERARQUIAS",
                                              "KARDEX"}));

  const std::vector<std::pair<std::string, std::vector<InfoCampo>>> columnas = {
      {"Empleado",
       {{"ID_Empleado", adChar, 15},
        {"Nombre", adVarChar, 50},
        {"Edad", adSmallInt, 2},
        {"NumeroTarjeta", adInteger, 4},
        {"Activo", adBoolean, 2},
        {"FechaAlta", adDBTimeStamp, 16},
        {"Sueldo", adNumeric, 19},
        {"ID_Nivel0", adVarChar, 15},
        {"ID_Nivel1", adVarChar, 15},
        {"ID_Nivel2", adVarChar, 15},
        {"ID_Nivel3", adVarChar, 15},
        {"ID_Calendario", adVarChar, 15},
        {"FIAplicacion", adDBTimeStamp, 16},
        {"Foto", adLongVarBinary, 2147483647}}},
      {"Jerarquias", {{"Key", adVarChar, 20}, {"Parent", adVarChar, 20}}},
  };
  for (const auto& [tabla, esperadas] : columnas) {
    auto rs = Abre(Consulta{.select = "Select ", .top = 0, .tabla = tabla}, 0);
    EXPECT_TRUE(rs->BOF() && rs->EOF_()) << tabla;
    ASSERT_EQ(rs->FieldCount(), static_cast<int>(esperadas.size())) << tabla;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      const InfoCampo &f = rs->Field(i), &e = esperadas[static_cast<std::size_t>(i)];
      SCOPED_TRACE(tabla + "." + e.nombre);
      EXPECT_TRUE(IgualSinCaso(f.nombre, e.nombre)) << f.nombre;
      EXPECT_EQ(f.tipo, e.tipo);
      EXPECT_EQ(f.tamanoDefinido, e.tamanoDefinido);
    }
  }
}

// The key holds an apostrophe: the row is found and rewritten by it.
TEST_P(CapaDatos, AltaYModificacionDeUnaFilaConCadaTipo) {
  Bytes foto(1 << 20);
  for (std::size_t i = 0; i < foto.size(); ++i)
    foto[i] = static_cast<unsigned char>(i * 7 + i / 251);
  {
    auto rs = Empleado("O'Brien");
    rs->AddNew();
    Asigna(*rs, {{"ID_Empleado", "O'Brien"},
                 {"Nombre", "José Núñez"},
                 {"Edad", " 41 "},
                 {"NumeroTarjeta", "-12345"},
                 {"Activo", "True"},
                 {"FechaAlta", "2005-12-25 09:30:00"},
                 {"Sueldo", "1234.5"}});
    rs->Asigna(rs->IndiceCampo("Foto"), foto);
    rs->Update();
  }
  {
    auto rs = Empleado("O'Brien");
    ASSERT_FALSE(rs->EOF_());
    Comprueba(*rs, {{"Nombre", std::string("José Núñez")},
                    {"Edad", std::int64_t{41}},
                    {"NumeroTarjeta", std::int64_t{-12345}},
                    {"Activo", true},
                    {"FechaAlta", FechaHora{2005, 12, 25, 9, 30, 0}},
                    {"Sueldo", 1234.5},
                    {"ID_Nivel0", Valor{}}});
    const int iFoto = rs->IndiceCampo("Foto");
    EXPECT_EQ(rs->ActualSize(iFoto), 1 << 20);
    Bytes leida;
    for (Bytes t = rs->GetChunk(iFoto, 102400); !t.empty(); t = rs->GetChunk(iFoto, 102400))
      leida.insert(leida.end(), t.begin(), t.end());
    EXPECT_TRUE(leida == foto);

    Asigna(*rs, {{"Nombre", "Ana O'Hara"},
                 {"Edad", "-3"},
                 {"NumeroTarjeta", "2147483647"},
                 {"Activo", "0"},
                 {"FechaAlta", "2006-08-03"},
                 {"Sueldo", "-0.25"}});
    rs->AppendChunk(iFoto, Bytes{1, 2, 3});
    rs->AppendChunk(iFoto, Bytes{4, 0, 5});
    rs->Update();
  }
  Comprueba(*Empleado("O'Brien"), {{"Nombre", std::string("Ana O'Hara")},
                                   {"Edad", std::int64_t{-3}},
                                   {"NumeroTarjeta", std::int64_t{2147483647}},
                                   {"Activo", false},
                                   {"FechaAlta", FechaHora{2006, 8, 3}},
                                   {"Sueldo", -0.25},
                                   {"Foto", Bytes{1, 2, 3, 4, 0, 5}}});
  EXPECT_EQ(Cuenta("Empleado"), 1);
}

// Another writer between our read and our write: an update writes only the
// columns it assigned, the other writer's stay; an add that finds the key
// added meanwhile updates that row instead. An add of a key already there
// is refused with a negative number and stays an add.
TEST_P(CapaDatos, SoloSeEscribenLasColumnasAsignadasYLaRestriccionDaNumeroNegativo) {
  cn_->Execute("insert into Empleado (ID_Empleado, Nombre, Edad) values ('E02', 'Luis', 30)");
  auto rs = Empleado("E02");
  ASSERT_FALSE(rs->EOF_());
  cn_->Execute("update Empleado set Edad = 55, ID_Nivel1 = 'X' where ID_Empleado = 'E02'");
  Asigna(*rs, {{"Nombre", "Luisa"}});
  rs->Update();
  Comprueba(*Empleado("E02"), {{"Nombre", std::string("Luisa")},
                               {"Edad", std::int64_t{55}},
                               {"ID_Nivel1", std::string("X")}});

  auto otro = Conexion::Abre(cadena_);
  auto carrera = Empleado("E07");
  ASSERT_TRUE(carrera->EOF_());
  carrera->AddNew();
  Asigna(*carrera, {{"ID_Empleado", "E07"}, {"Nombre", "de A"}});
  otro->Execute("insert into Empleado (ID_Empleado, Nombre, Edad) values ('E07', 'de B', 50)");
  carrera->Update();
  EXPECT_EQ(carrera->EditMode(), Recordset::adEditNone);
  Comprueba(*Empleado("E07"), {{"Nombre", std::string("de A")}, {"Edad", std::int64_t{50}}});

  auto nueva = Empleado("E05");
  nueva->AddNew();
  Asigna(*nueva, {{"ID_Empleado", "E02"}});  // duplicate key
  EXPECT_LT(ErrorDe([&] { nueva->Update(); }).Numero(), 0);
  EXPECT_EQ(nueva->EditMode(), Recordset::adEditAdd);
  EXPECT_EQ(Cuenta("Empleado"), 2);
}

// An update finds its row again by the lookup's own conditions; when another
// writer removed the row or changed its key, the update is an error and
// nothing is written, never a silent success.
TEST_P(CapaDatos, ActualizarUnaFilaQueYaNoEstaEsError) {
  // what another writer does after our read, and the name E04 holds at the end
  for (const auto& [otro, nombreE04] :
       {std::pair<std::string, std::string>{"delete from Empleado where ID_Empleado = 'E03'", ""},
        {"update Empleado set ID_Empleado = 'E04' where ID_Empleado = 'E03'", "Ana"}}) {
    SCOPED_TRACE(otro);
    cn_->Execute("delete from Empleado");
    cn_->Execute("insert into Empleado (ID_Empleado, Nombre) values ('E03', 'Ana')");
    auto rs = Empleado("E03");
    ASSERT_FALSE(rs->EOF_());
    cn_->Execute(otro);
    Asigna(*rs, {{"Nombre", "Beatriz"}});
    EXPECT_EQ(ErrorDe([&] { rs->Update(); }).Numero(), -2147217864);
    EXPECT_TRUE(Empleado("E03")->EOF_());
    auto e04 = Empleado("E04");
    EXPECT_EQ(e04->EOF_() ? "" : e04->Texto(e04->IndiceCampo("Nombre")), nombreE04);
    EXPECT_EQ(Cuenta("Empleado"), nombreE04.empty() ? 0 : 1);
  }
}

// Text of more than 32 K characters (and more than one 64 KiB piece of UTF-16)
// goes in and comes back whole, written and rewritten.
TEST_P(CapaDatos, TextoLargoVaYVuelve) {
  cn_->Execute("create table Notas (ID integer primary key, Texto text)");
  auto repite = [](const std::string& frase, int veces) {
    std::string r;
    for (int i = 0; i < veces; ++i) r += frase;
    return r;
  };
  const Consulta nota{.tabla = "Notas",
                      .condiciones = {{"ID", ClaseLiteral::Numero, std::string("1")}}};
  // 24 characters a phrase: 70 008 characters, then 33 000
  for (const std::string& valor :
       {repite("Año ñandú €Ω 0123456789 ", 2917), repite("Otra nota: ü ß Ω 0-9 ok ", 1375)}) {
    auto rs = Abre(nota);
    if (rs->EOF_()) {
      rs->AddNew();
      Asigna(*rs, {{"ID", "1"}});
    }
    Asigna(*rs, {{"Texto", valor}});
    rs->Update();
    auto leido = Abre(nota);
    ASSERT_FALSE(leido->EOF_());
    const std::string vuelta = leido->Texto(leido->IndiceCampo("Texto"));
    EXPECT_EQ(vuelta.size(), valor.size());
    EXPECT_TRUE(vuelta == valor);
  }
}

TEST_P(CapaDatos, UnaActualizacionCambiaSoloLaFilaQueLeyo) {
  // a key that is not unique: the record changes the row its lookup read, and
  // keeps changing that row (PostgreSQL moves a row each time it changes it)
  cn_->Execute("create table Turno (ID integer, Nombre varchar(20))");
  cn_->Execute("insert into Turno (ID, Nombre) values (1, 'a')");
  cn_->Execute("insert into Turno (ID, Nombre) values (1, 'b')");
  auto rs = Abre(Consulta{.columnas = {"ID", "Nombre"},
                          .tabla = "Turno",
                          .condiciones = {{"ID", ClaseLiteral::Numero, std::string("1")}}});
  ASSERT_FALSE(rs->EOF_());
  const std::string otra = rs->Texto(1) == "a" ? "b" : "a";
  for (const char* nuevo : {"y", "z"}) {
    Asigna(*rs, {{"Nombre", nuevo}});
    rs->Update();
    std::vector<std::string> esperados = {otra, nuevo};
    std::ranges::sort(esperados);
    EXPECT_EQ(Columna("Turno", "Nombre"), esperados);
  }

  // Rows without a locator (SQLite: a WITHOUT ROWID table, and a view
  // written through its INSTEAD OF trigger, whose changes SQLite leaves out
  // of its count; PostgreSQL: a view) are changed by their keys only when
  // these match exactly one row.
  cn_->Execute("create table Base (K integer primary key, G integer, N varchar(5))" +
               std::string(EsSQLite() ? " without rowid" : ""));
  cn_->Execute("create view VistaBase as select K, G, N from Base");
  std::vector<std::string> sinLocalizador{"VistaBase"};
  if (EsSQLite()) {
    cn_->Execute(
        "create trigger CambiaVista instead of update on VistaBase begin update Base set G = "
        "new.G, N = new.N where K = old.K; end");
    sinLocalizador.insert(sinLocalizador.begin(), "Base");
  }
  for (const std::string& tabla : sinLocalizador) {
    cn_->Execute("delete from Base");
    for (const char* fila : {"(1, 1, 'a')", "(2, 1, 'b')", "(3, 2, 'c')"})
      cn_->Execute("insert into Base (K, G, N) values " + std::string(fila));
    auto grupo = [&](const char* g) {
      return Abre(
          Consulta{.tabla = tabla, .condiciones = {{"G", ClaseLiteral::Numero, std::string(g)}}});
    };
    auto varias = grupo("1");
    Asigna(*varias, {{"N", "x"}});
    EXPECT_EQ(ErrorDe([&] { varias->Update(); }).Numero(), errores::FilaNoEncontrada) << tabla;
    auto una = grupo("2");
    Asigna(*una, {{"N", "y"}});
    EXPECT_NO_THROW(una->Update()) << tabla;
    EXPECT_EQ(Columna("Base", "N"), (std::vector<std::string>{"a", "b", "y"})) << tabla;
    // in a batch that holds its writes the change is written at once, not
    // held by its keys and then refused for a count that leaves it out
    cn_->BeginTrans();
    cn_->DifiereInserciones(true);
    auto enLote = grupo("2");
    Asigna(*enLote, {{"N", "z"}});
    enLote->Update();
    cn_->EscribeRetenidas();
    EXPECT_FALSE(cn_->RetenidasRechazadas()) << tabla;
    cn_->RollbackTrans();
    cn_->DifiereInserciones(false);
  }
}

TEST_P(CapaDatos, TrozosSeAnadenSinCopiarElValorEntero) {
  Bytes foto(4 << 20);
  for (std::size_t i = 0; i < foto.size(); ++i) foto[i] = static_cast<unsigned char>(i % 251);
  auto rs = Empleado("E08");
  rs->AddNew();
  Asigna(*rs, {{"ID_Empleado", "E08"}, {"Nombre", "x"}});
  const int iFoto = rs->IndiceCampo("Foto"), iNombre = rs->IndiceCampo("Nombre");
  // the buffer moves only when it grows geometrically, never once per chunk
  int movimientos = 0;
  const unsigned char* anterior = nullptr;
  for (std::size_t desde = 0; desde < foto.size(); desde += 1024) {
    rs->AppendChunk(iFoto, Bytes(foto.begin() + static_cast<std::ptrdiff_t>(desde),
                                 foto.begin() + static_cast<std::ptrdiff_t>(desde + 1024)));
    const unsigned char* datos = std::get<Bytes>(rs->Value(iFoto)).data();
    movimientos += datos != anterior;
    anterior = datos;
  }
  EXPECT_LT(movimientos, 64);
  // a text column counts characters across chunks: 50 "ñ" fit VARCHAR(50), the 51st does not
  const std::string enie = "ñ";
  for (int i = 0; i < 50; ++i) rs->AppendChunk(iNombre, Bytes(enie.begin(), enie.end()));
  EXPECT_EQ(ErrorDe([&] { rs->AppendChunk(iNombre, Bytes(enie.begin(), enie.end())); }).Numero(),
            errores::DatosTruncados);
  rs->Update();
  auto leida = Empleado("E08");
  EXPECT_TRUE(leida->Value(iFoto) == Valor(foto));
  std::string nombre;
  for (int i = 0; i < 50; ++i) nombre += enie;
  EXPECT_EQ(leida->Texto(iNombre), nombre);
}

INSTANTIATE_TEST_SUITE_P(Motores, CapaDatos, TodosLosMotores(), NombreMotor);

// The file behind a "Provider=SQLite;Data Source=PATH" string.
std::string RutaSQLite(const std::string& cadena) {
  return cadena.substr(cadena.find("Data Source=") + 12);
}

TEST(SQLite, LlaveDeFechaUsaSuIndiceYEncuentraLaFechaGuardadaSinHora) {
  CarpetaTemporal tmp;
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto cn = Conexion::Abre(cadena);
  cn->Execute("create index IxAlta on Empleado (FechaAlta)");
  // rows loaded by another tool may hold a bare date; the key still matches
  cn->Execute("insert into Kardex (Id_Empleado, Fecha, ID_Tipo) values ('7', '2024-03-04', 'VAC')");
  const Consulta kardex{.columnas = {"Id_Empleado", "Fecha", "ID_Tipo"},
                        .tabla = "Kardex",
                        .condiciones = {{"Id_Empleado", ClaseLiteral::Texto, std::string("7")},
                                        {"Fecha", ClaseLiteral::Fecha, FechaHora{2024, 3, 4}}}};
  const Consulta alta{.tabla = "Empleado",
                      .condiciones = {{"FechaAlta", ClaseLiteral::Fecha, FechaHora{2024, 3, 4}}}};
  // an index on the date column serves the lookup: no scan of every row
  auto sqlite = AbreSQLite(RutaSQLite(cadena));
  auto d = CreaDialecto(Motor::SQLite);
  const std::pair<Consulta, std::string> planes[] = {
      {kardex,
       "SEARCH Kardex USING INDEX sqlite_autoindex_Kardex_1 (Id_Empleado=? AND Fecha>? AND "
       "Fecha<?)"},
      {alta, "SEARCH Empleado USING INDEX IxAlta (FechaAlta=?)"},
  };
  for (const auto& [consulta, esperado] : planes) {
    const SentenciaSql s = d->Select(consulta);
    ResultadoConsulta plan = sqlite->Consulta({"explain query plan " + s.texto, s.parametros}, 0);
    ASSERT_FALSE(plan.filas.empty());
    EXPECT_EQ(ValorComoTexto(plan.filas[0].back()), esperado) << s.texto;
  }

  auto rs = cn->AbreConsulta(kardex, 1);
  ASSERT_FALSE(rs->EOF_());
  rs->AsignaTexto(rs->IndiceCampo("ID_Tipo"), "INC");
  rs->Update();
  EXPECT_EQ(cn->AbreConsulta(Consulta{.columnas = {"ID_Tipo"}, .tabla = "Kardex"}, 0)->Texto(0),
            "INC");
}

TEST(SQLite, ArchivoQueFaltaOQueNoEsBaseDeDatosEsConexionPerdida) {
  CarpetaTemporal tmp;
  const std::string falta = tmp.Archivo("falta.db"), basura = tmp.Archivo("basura.db");
  prueba::EscribeBytes(basura, std::string(4096, 'x'));
  const std::pair<std::string, std::string> casos[] = {
      {falta, "No existe la base de datos SQLite (" + falta + ")"},
      {basura, "No se pudo abrir la base de datos SQLite " + basura + ": file is not a database"},
  };
  for (const auto& [ruta, descripcion] : casos) {
    const ErrorBaseDatos e =
        ErrorDe([&] { Conexion::Abre("Provider=SQLite;Data Source=" + ruta); });
    EXPECT_EQ(e.Numero(), errores::FalloProveedor);
    EXPECT_EQ(e.Descripcion(), descripcion);
    EXPECT_TRUE(EsConexionPerdida(e));
  }
  EXPECT_FALSE(std::filesystem::exists(falta));  // a wrong path never becomes a new database
}

TEST(SQLite, EscrituraBloqueadaPorOtraConexionEsBloqueo) {
  CarpetaTemporal tmp;
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto otra = Conexion::Abre(cadena);
  otra->Execute("begin exclusive");
  ConexionGenerica cn(
      AbreSQLite(RutaSQLite(cadena), Esperas{.bloqueo = std::chrono::milliseconds(50)}));
  auto rs = cn.AbreConsulta(BuscaPorTexto("Jerarquias", {}, "[Key]", "_0A"), 1);
  rs->AddNew();
  rs->AsignaTexto(0, "_0A");
  const ErrorBaseDatos e = ErrorDe([&] { rs->Update(); });
  EXPECT_EQ(e.ClaseError(), ErrorBaseDatos::Clase::Bloqueo);  // not a lost connection
  EXPECT_LT(e.Numero(), 0);
  EXPECT_EQ(e.Descripcion(), "database is locked");
  otra->Execute("rollback");
  rs->Update();  // the lock is gone: the same record goes through
  EXPECT_EQ(cn.AbreConsulta(Consulta{.tabla = "Jerarquias"}, 0)->RecordCount(), 1);
}

}  // namespace
}  // namespace varlo::db
