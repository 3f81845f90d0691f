// The database layer as the engines use it, run on SQLite and on the live
// PostgreSQL cluster through ODBC: the same expectations on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/ErrorVarlo.h"
#include "common/Texto.h"
#include "db/Conexion.h"
#include "db/TiposAdo.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

namespace varlo::db {
namespace {

using prueba::BaseDatosPrueba;
using prueba::CarpetaTemporal;

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

Predicado Clave(std::string columna, Valor v, ClaseLiteral clase = ClaseLiteral::Texto) {
  Predicado p;
  p.columna = std::move(columna);
  p.valor = std::move(v);
  p.clase = clase;
  return p;
}

Consulta Busqueda(std::string tabla, std::vector<Predicado> condiciones,
                  std::vector<std::string> columnas = {}) {
  Consulta c;
  c.select = "select ";
  c.columnas = std::move(columnas);
  c.tabla = std::move(tabla);
  c.condiciones = std::move(condiciones);
  return c;
}

Bytes Imagen(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
  return b;
}

class CapaDatos : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "SQLite") {
      cadena_ = BaseDatosPrueba::SQLite(carpeta_.Ruta());
    } else {
      pg_ = std::make_unique<BaseDatosPrueba>(BaseDatosPrueba::PostgreSql());
      cadena_ = pg_->Cadena();
    }
    cn_ = Conexion::Abre(cadena_);
  }

  std::unique_ptr<Recordset> Abre(const Consulta& c, long max = 1) { return cn_->AbreConsulta(c, max); }

  std::unique_ptr<Recordset> Empleado(const std::string& id) {
    return Abre(Busqueda("Empleado", {Clave("ID_Empleado", id)}));
  }

  static void Texto(Recordset& rs, const char* campo, const std::string& texto) {
    rs.AsignaTexto(rs.IndiceCampo(campo), texto);
  }
  static const Valor& Val(Recordset& rs, const char* campo) {
    return rs.Value(rs.IndiceCampo(campo));
  }

  long Cuenta(const std::string& tabla) { return Abre(Busqueda(tabla, {}), 0)->RecordCount(); }

  CarpetaTemporal carpeta_;
  std::unique_ptr<BaseDatosPrueba> pg_;  // outlives the connection
  std::string cadena_;
  std::unique_ptr<Conexion> cn_;
};

TEST_P(CapaDatos, TiposYTamanosDeCadaColumnaDelEsquema) {
  struct Columna {
    const char* nombre;
    int tipo;
    long tamano;
  };
  const long kLargo = 2147483647;
  const std::vector<std::pair<std::string, std::vector<Columna>>> tablas = {
      {"Empleado",
       {{"ID_Empleado", adChar, 15}, {"Nombre", adVarChar, 50}, {"Edad", adSmallInt, 2},
        {"NumeroTarjeta", adInteger, 4}, {"Activo", adBoolean, 2},
        {"FechaAlta", adDBTimeStamp, 16}, {"Sueldo", adNumeric, 19},
        {"ID_Nivel0", adVarChar, 15}, {"ID_Nivel1", adVarChar, 15}, {"ID_Nivel2", adVarChar, 15},
        {"ID_Nivel3", adVarChar, 15}, {"ID_Calendario", adVarChar, 15},
        {"FIAplicacion", adDBTimeStamp, 16}, {"Foto", adLongVarBinary, kLargo}}},
      {"Jerarquias", {{"Key", adVarChar, 20}, {"Parent", adVarChar, 20}}},
      {"Kardex",
       {{"Id_Empleado", adChar, 15}, {"Fecha", adDBTimeStamp, 16}, {"ID_Tipo", adVarChar, 15},
        {"Dato0_FAL", adVarChar, 15}, {"Dato1_FAL", adVarChar, 15}, {"Dato2_FAL", adVarChar, 15},
        {"Dato3_FAL", adVarChar, 15}, {"Dato4_FAL", adVarChar, 15}, {"Dato5_FAL", adVarChar, 15},
        {"Referencia", adVarChar, 50}}},
      {"Fotos_Empleados", {{"ID_Empleado", adChar, 15}, {"Foto", adLongVarBinary, kLargo}}},
  };
  for (const auto& [tabla, columnas] : tablas) {
    Consulta c;
    c.select = "Select ";
    c.top = 0;
    c.tabla = tabla;
    auto rs = Abre(c, 0);
    EXPECT_TRUE(rs->BOF() && rs->EOF_()) << tabla;
    ASSERT_EQ(rs->FieldCount(), static_cast<int>(columnas.size())) << tabla;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      const InfoCampo& f = rs->Field(i);
      const Columna& e = columnas[static_cast<std::size_t>(i)];
      SCOPED_TRACE(tabla + "." + e.nombre);
      EXPECT_TRUE(IgualSinCaso(f.nombre, e.nombre)) << f.nombre;
      EXPECT_EQ(f.tipo, e.tipo);
      EXPECT_EQ(f.tamanoDefinido, e.tamano);
    }
  }
}

TEST_P(CapaDatos, AltaYModificacionDeUnaFilaConCadaTipo) {
  const Bytes foto = Imagen(1 << 20);
  {
    auto rs = Empleado("E01");
    ASSERT_TRUE(rs->BOF() && rs->EOF_());
    rs->AddNew();
    EXPECT_EQ(rs->EditMode(), Recordset::adEditAdd);
    Texto(*rs, "ID_Empleado", "E01");
    Texto(*rs, "Nombre", "José Núñez");
    Texto(*rs, "Edad", " 41 ");
    Texto(*rs, "NumeroTarjeta", "-12345");
    Texto(*rs, "Activo", "True");
    Texto(*rs, "FechaAlta", "2005-12-25 09:30:00");
    Texto(*rs, "Sueldo", "1234.5");
    rs->Asigna(rs->IndiceCampo("Foto"), foto);
    rs->Update();
    EXPECT_EQ(rs->EditMode(), Recordset::adEditNone);
  }
  {
    auto rs = Empleado("E01");
    ASSERT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(Recorta(rs->Texto(rs->IndiceCampo("id_empleado"))), "E01");
    EXPECT_EQ(rs->Texto(rs->IndiceCampo("Nombre")), "José Núñez");
    EXPECT_EQ(Val(*rs, "Edad"), Valor(std::int64_t{41}));
    EXPECT_EQ(Val(*rs, "NumeroTarjeta"), Valor(std::int64_t{-12345}));
    EXPECT_EQ(Val(*rs, "Activo"), Valor(true));
    EXPECT_EQ(Val(*rs, "FechaAlta"), Valor(FechaHora{2005, 12, 25, 9, 30, 0}));
    EXPECT_EQ(Val(*rs, "Sueldo"), Valor(1234.5));
    EXPECT_TRUE(EsNulo(Val(*rs, "ID_Nivel0")));
    int iFoto = rs->IndiceCampo("Foto");
    EXPECT_EQ(rs->ActualSize(iFoto), 1 << 20);
    Bytes leida;
    for (Bytes trozo = rs->GetChunk(iFoto, 1024 * 100); !trozo.empty();
         trozo = rs->GetChunk(iFoto, 1024 * 100))
      leida.insert(leida.end(), trozo.begin(), trozo.end());
    EXPECT_TRUE(leida == foto);

    // every type written again over the found row
    Texto(*rs, "Nombre", "Ana O'Hara");
    Texto(*rs, "Edad", "-3");
    Texto(*rs, "NumeroTarjeta", "2147483647");
    Texto(*rs, "Activo", "0");
    Texto(*rs, "FechaAlta", "2006-08-03");
    Texto(*rs, "Sueldo", "-0.25");
    rs->AppendChunk(iFoto, Bytes{1, 2, 3});
    rs->AppendChunk(iFoto, Bytes{4, 0, 5});
    rs->Update();
  }
  auto rs = Empleado("E01");
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("Nombre")), "Ana O'Hara");
  EXPECT_EQ(Val(*rs, "Edad"), Valor(std::int64_t{-3}));
  EXPECT_EQ(Val(*rs, "NumeroTarjeta"), Valor(std::int64_t{2147483647}));
  EXPECT_EQ(Val(*rs, "Activo"), Valor(false));
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("FechaAlta")), "2006-08-03");
  EXPECT_EQ(Val(*rs, "Sueldo"), Valor(-0.25));
  EXPECT_EQ(Val(*rs, "Foto"), Valor(Bytes{1, 2, 3, 4, 0, 5}));
  EXPECT_EQ(Cuenta("Empleado"), 1);
}

TEST_P(CapaDatos, LaModificacionEscribeSoloLasColumnasAsignadas) {
  cn_->Execute("insert into Empleado (ID_Empleado, Nombre, Edad) values ('E02', 'Luis', 30)");
  auto rs = Empleado("E02");
  ASSERT_FALSE(rs->EOF_());
  // another writer changes the age after our read; our update must not undo it
  cn_->Execute("update Empleado set Edad = 55, ID_Nivel1 = 'X' where ID_Empleado = 'E02'");
  Texto(*rs, "Nombre", "Luisa");
  rs->Update();
  auto leida = Empleado("E02");
  EXPECT_EQ(leida->Texto(leida->IndiceCampo("Nombre")), "Luisa");
  EXPECT_EQ(Val(*leida, "Edad"), Valor(std::int64_t{55}));
  EXPECT_EQ(leida->Texto(leida->IndiceCampo("ID_Nivel1")), "X");
}

TEST_P(CapaDatos, ViolacionDeRestriccionConNumeroNegativo) {
  cn_->Execute("insert into Empleado (ID_Empleado) values ('E04')");
  auto rs = Empleado("E05");
  rs->AddNew();
  Texto(*rs, "ID_Empleado", "E04");
  ErrorVarlo e = ErrorDe([&] { rs->Update(); });
  EXPECT_LT(e.Numero(), 0);
  EXPECT_FALSE(e.Descripcion().empty());
  EXPECT_EQ(rs->EditMode(), Recordset::adEditAdd);

  // a NOT NULL column left out of a new row
  auto k = Abre(Busqueda("Kardex", {Clave("Id_Empleado", "E04")}));
  k->AddNew();
  Texto(*k, "Id_Empleado", "E04");
  EXPECT_LT(ErrorDe([&] { k->Update(); }).Numero(), 0);
  EXPECT_EQ(Cuenta("Kardex"), 0);
  EXPECT_EQ(Cuenta("Empleado"), 1);
}

TEST_P(CapaDatos, ClaveConApostrofoSeEncuentraYSeEscribe) {
  const std::string id = "O'Brien";
  Consulta c = Busqueda("Fotos_Empleados", {Clave("ID_Empleado", id)});
  {
    auto rs = Abre(c, 0);
    ASSERT_TRUE(rs->BOF() && rs->EOF_());
    rs->AddNew();
    Texto(*rs, "ID_Empleado", id);
    rs->Asigna(rs->IndiceCampo("Foto"), Bytes{9, 9, 9});
    rs->Update();
  }
  auto rs = Abre(c, 0);
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(Recorta(rs->Texto(0)), id);
  rs->Asigna(1, Bytes{7});
  rs->Update();
  EXPECT_EQ(Cuenta("Fotos_Empleados"), 1);
  EXPECT_EQ(Abre(c)->Value(1), Valor(Bytes{7}));
}

TEST_P(CapaDatos, CatalogoDeTablasBaseSinVistas) {
  cn_->Execute("create table Extra (a integer)");
  cn_->Execute("create view VistaExtra as select a from Extra");
  std::vector<std::string> tablas = cn_->TablasBase();
  for (std::string& t : tablas) t = Mayusculas(t);
  std::vector<std::string> esperadas = {"EMPLEADO", "JERARQUIAS", "KARDEX", "FOTOS_EMPLEADOS",
                                        "EXTRA"};
  if (GetParam() != "SQLite") {
    // the order of the ODBC catalogue is the driver's
    std::sort(tablas.begin(), tablas.end());
    std::sort(esperadas.begin(), esperadas.end());
  }
  EXPECT_EQ(tablas, esperadas);
}

INSTANTIATE_TEST_SUITE_P(Motores, CapaDatos, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return info.param; });

TEST(SQLite, UnaFechaGuardadaSinHoraSeEncuentraYSeActualiza) {
  // rows loaded by another tool may hold a bare date; the key still matches
  CarpetaTemporal tmp;
  auto cn = Conexion::Abre(BaseDatosPrueba::SQLite(tmp.Ruta()));
  cn->Execute("insert into Kardex (Id_Empleado, Fecha, ID_Tipo) values ('7', '2024-03-04', 'VAC')");
  Consulta c = Busqueda("Kardex", {Clave("Id_Empleado", "7"),
                                   Clave("Fecha", FechaHora{2024, 3, 4}, ClaseLiteral::Fecha)},
                        {"Id_Empleado", "Fecha", "ID_Tipo"});
  auto rs = cn->AbreConsulta(c, 1);
  ASSERT_FALSE(rs->EOF_());
  rs->AsignaTexto(rs->IndiceCampo("ID_Tipo"), "INC");
  rs->Update();
  auto todas = cn->AbreConsulta(Busqueda("Kardex", {}, {"ID_Tipo"}), 0);
  EXPECT_EQ(todas->RecordCount(), 1);
  EXPECT_EQ(todas->Texto(0), "INC");
}

}  // namespace
}  // namespace varlo::db
