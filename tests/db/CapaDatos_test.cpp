// The database layer as the engines use it, run on SQLite and on the live
// PostgreSQL cluster through ODBC: the same expectations on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/TiposAdo.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

// designated initializers leave the other members at their defaults
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace varlo::db {
namespace {

using prueba::BaseDatosPrueba;
using prueba::CarpetaTemporal;

class CapaDatos : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() != "SQLite")
      pg_ = std::make_unique<BaseDatosPrueba>(BaseDatosPrueba::PostgreSql());
    cn_ = Conexion::Abre(pg_ ? pg_->Cadena() : BaseDatosPrueba::SQLite(carpeta_.Ruta()));
  }
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

  CarpetaTemporal carpeta_;
  std::unique_ptr<BaseDatosPrueba> pg_;  // outlives the connection
  std::unique_ptr<Conexion> cn_;
};

TEST_P(CapaDatos, TiposYTamanosDeLasColumnas) {
  const std::vector<std::pair<std::string, std::vector<InfoCampo>>> tablas = {
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
  for (const auto& [tabla, columnas] : tablas) {
    auto rs = Abre(Consulta{.select = "Select ", .top = 0, .tabla = tabla}, 0);
    EXPECT_TRUE(rs->BOF() && rs->EOF_()) << tabla;
    ASSERT_EQ(rs->FieldCount(), static_cast<int>(columnas.size())) << tabla;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      const InfoCampo &f = rs->Field(i), &e = columnas[static_cast<std::size_t>(i)];
      SCOPED_TRACE(tabla + "." + e.nombre);
      EXPECT_TRUE(IgualSinCaso(f.nombre, e.nombre)) << f.nombre;
      EXPECT_EQ(f.tipo, e.tipo);
      EXPECT_EQ(f.tamanoDefinido, e.tamanoDefinido);
    }
  }
}

TEST_P(CapaDatos, AltaYModificacionDeUnaFilaConCadaTipo) {
  Bytes foto(1 << 20);
  for (std::size_t i = 0; i < foto.size(); ++i)
    foto[i] = static_cast<unsigned char>(i * 7 + i / 251);
  {
    auto rs = Empleado("E01");
    rs->AddNew();
    Asigna(*rs, {{"ID_Empleado", "E01"},
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
    auto rs = Empleado("E01");
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
  Comprueba(*Empleado("E01"), {{"Nombre", std::string("Ana O'Hara")},
                               {"Edad", std::int64_t{-3}},
                               {"NumeroTarjeta", std::int64_t{2147483647}},
                               {"Activo", false},
                               {"FechaAlta", FechaHora{2006, 8, 3}},
                               {"Sueldo", -0.25},
                               {"Foto", Bytes{1, 2, 3, 4, 0, 5}}});
  EXPECT_EQ(Cuenta("Empleado"), 1);
}

TEST_P(CapaDatos, SoloSeEscribenLasColumnasAsignadasYLaRestriccionDaNumeroNegativo) {
  cn_->Execute("insert into Empleado (ID_Empleado, Nombre, Edad) values ('E02', 'Luis', 30)");
  auto rs = Empleado("E02");
  ASSERT_FALSE(rs->EOF_());
  // another writer changes the age after our read; our update must not undo it
  cn_->Execute("update Empleado set Edad = 55, ID_Nivel1 = 'X' where ID_Empleado = 'E02'");
  Asigna(*rs, {{"Nombre", "Luisa"}});
  rs->Update();
  Comprueba(*Empleado("E02"), {{"Nombre", std::string("Luisa")},
                               {"Edad", std::int64_t{55}},
                               {"ID_Nivel1", std::string("X")}});

  auto nueva = Empleado("E05");
  nueva->AddNew();
  Asigna(*nueva, {{"ID_Empleado", "E02"}});  // duplicate key
  try {
    nueva->Update();
    ADD_FAILURE() << "clave repetida aceptada";
  } catch (const ErrorVarlo& e) {
    EXPECT_LT(e.Numero(), 0) << e.Descripcion();
  }
  EXPECT_EQ(nueva->EditMode(), Recordset::adEditAdd);
  EXPECT_EQ(Cuenta("Empleado"), 1);
}

TEST_P(CapaDatos, ClaveConApostrofoSeEncuentraYSeEscribe) {
  const Consulta c = BuscaPorTexto("Fotos_Empleados", {}, "ID_Empleado", "O'Brien");
  for (const Bytes& foto : {Bytes{9, 9, 9}, Bytes{7}}) {  // added, then found and updated
    auto rs = Abre(c, 0);
    if (rs->EOF_()) {
      rs->AddNew();
      Asigna(*rs, {{"ID_Empleado", "O'Brien"}});
    }
    rs->Asigna(1, foto);
    rs->Update();
    EXPECT_EQ(Abre(c)->Value(1), Valor(foto));
  }
  EXPECT_EQ(Cuenta("Fotos_Empleados"), 1);
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
    try {
      rs->Update();
      ADD_FAILURE() << "actualizó una fila que no está";
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), -2147217864) << e.Descripcion();
    }
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

TEST_P(CapaDatos, CatalogoDeTablasBaseSinVistas) {
  cn_->Execute("create table Extra (a integer)");
  cn_->Execute("create view VistaExtra as select a from Extra");
  std::vector<std::string> tablas = cn_->TablasBase();
  for (std::string& t : tablas) t = Mayusculas(t);
  std::vector<std::string> esperadas = {"EMPLEADO", "JERARQUIAS", "KARDEX", "FOTOS_EMPLEADOS",
                                        "EXTRA"};
  std::ranges::sort(tablas);  // the order of the ODBC catalogue is the driver's
  std::ranges::sort(esperadas);
  EXPECT_EQ(tablas, esperadas);
}

INSTANTIATE_TEST_SUITE_P(Motores, CapaDatos, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return info.param; });

TEST(SQLite, UnaFechaGuardadaSinHoraSeEncuentraYSeActualiza) {
  // rows loaded by another tool may hold a bare date; the key still matches
  CarpetaTemporal tmp;
  auto cn = Conexion::Abre(BaseDatosPrueba::SQLite(tmp.Ruta()));
  cn->Execute("insert into Kardex (Id_Empleado, Fecha, ID_Tipo) values ('7', '2024-03-04', 'VAC')");
  auto rs = cn->AbreConsulta(
      Consulta{.columnas = {"Id_Empleado", "Fecha", "ID_Tipo"},
               .tabla = "Kardex",
               .condiciones = {{"Id_Empleado", ClaseLiteral::Texto, std::string("7")},
                               {"Fecha", ClaseLiteral::Fecha, FechaHora{2024, 3, 4}}}},
      1);
  ASSERT_FALSE(rs->EOF_());
  rs->AsignaTexto(rs->IndiceCampo("ID_Tipo"), "INC");
  rs->Update();
  EXPECT_EQ(cn->AbreConsulta(Consulta{.columnas = {"ID_Tipo"}, .tabla = "Kardex"}, 0)->Texto(0),
            "INC");
}

}  // namespace
}  // namespace varlo::db
