// What the SQLite backend stores and how it keeps its file: dates as
// "YYYY-MM-DD HH:MM:SS" text, booleans as 0/1, pictures as BLOB, a WAL
// journal, and the tables in the order they were created.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/ErrorVarlo.h"
#include "db/Conexion.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo::db {
namespace {

using prueba::BaseDatosPrueba;
using prueba::CarpetaTemporal;

Consulta Todo(std::string tabla, std::vector<std::string> columnas = {}) {
  Consulta c;
  c.tabla = std::move(tabla);
  c.columnas = std::move(columnas);
  return c;
}

TEST(SQLite, FormaGuardadaDeFechasBooleanosEImagenes) {
  CarpetaTemporal tmp;
  auto cn = Conexion::Abre(BaseDatosPrueba::SQLite(tmp.Ruta()));
  auto rs = cn->AbreConsulta(Todo("Empleado"), 1);
  rs->AddNew();
  rs->AsignaTexto(rs->IndiceCampo("ID_Empleado"), "1");
  rs->AsignaTexto(rs->IndiceCampo("FechaAlta"), "2005-12-25");
  rs->AsignaTexto(rs->IndiceCampo("FIAplicacion"), "2005-12-25 7:05");
  rs->AsignaTexto(rs->IndiceCampo("Activo"), "-1");
  rs->Asigna(rs->IndiceCampo("Foto"), Bytes{0, 1});
  rs->Update();

  auto crudo = cn->AbreConsulta(Todo("Empleado", {"FechaAlta || ''", "FIAplicacion || ''",
                                                  "typeof(Activo)", "Activo + 0", "typeof(Foto)"}),
                                0);
  ASSERT_EQ(crudo->RecordCount(), 1);
  EXPECT_EQ(crudo->Texto(0), "2005-12-25 00:00:00");
  EXPECT_EQ(crudo->Texto(1), "2005-12-25 07:05:00");
  EXPECT_EQ(crudo->Texto(2), "integer");
  EXPECT_EQ(crudo->Texto(3), "1");
  EXPECT_EQ(crudo->Texto(4), "blob");

  // the journal is a write-ahead log beside the file
  std::string ruta = BaseDatosPrueba::SQLite(tmp.Ruta());
  auto otra = Conexion::Abre(ruta);
  otra->Execute("insert into Jerarquias values ('_0A', null)");
  EXPECT_TRUE(std::filesystem::exists(ruta.substr(ruta.find("Data Source=") + 12) + "-wal"));
}

TEST(SQLite, CatalogoEnOrdenDeCreacionYGuionDeVariasSentencias) {
  CarpetaTemporal tmp;
  auto cn = Conexion::Abre(BaseDatosPrueba::SQLite(tmp.Ruta()));
  cn->Execute(
      "create table Zeta (a int); create view vZeta as select a from Zeta; create table Alfa (b "
      "int);");
  EXPECT_EQ(cn->TablasBase(), (std::vector<std::string>{"Empleado", "Jerarquias", "Kardex",
                                                        "Fotos_Empleados", "Zeta", "Alfa"}));
  try {
    cn->Execute("select * from NoExiste");
    ADD_FAILURE();
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), -2147217900);
    EXPECT_EQ(e.Fuente(), "SQLite");
    EXPECT_EQ(e.Descripcion(), "no such table: NoExiste");
  }
}

TEST(SQLite, UnaFechaGuardadaSinHoraSeEncuentraYSeActualiza) {
  // rows loaded by another tool may hold a bare date; the key still matches
  CarpetaTemporal tmp;
  auto cn = Conexion::Abre(BaseDatosPrueba::SQLite(tmp.Ruta()));
  cn->Execute("insert into Kardex (Id_Empleado, Fecha, ID_Tipo) values ('7', '2024-03-04', 'VAC')");
  Consulta c = Todo("Kardex", {"Id_Empleado", "Fecha", "ID_Tipo"});
  c.where = " where ";
  c.condiciones = {Predicado{"Id_Empleado", ClaseLiteral::Texto, std::string("7"), " = "},
                   Predicado{"Fecha", ClaseLiteral::Fecha, FechaHora{2024, 3, 4}, "="}};
  auto rs = cn->AbreConsulta(c, 1);
  ASSERT_FALSE(rs->EOF_());
  rs->AsignaTexto(rs->IndiceCampo("ID_Tipo"), "INC");
  rs->Update();
  auto todas = cn->AbreConsulta(Todo("Kardex", {"ID_Tipo"}), 0);
  EXPECT_EQ(todas->RecordCount(), 1);
  EXPECT_EQ(todas->Texto(0), "INC");
}

}  // namespace
}  // namespace varlo::db
