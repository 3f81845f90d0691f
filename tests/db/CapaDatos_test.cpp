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

  std::unique_ptr<Recordset> Abre(const Consulta& c, long max = 1) {
    return cn_->AbreConsulta(c, max);
  }

  std::unique_ptr<Recordset> Empleado(const std::string& id) {
    return Abre(Busqueda("Empleado", {Clave("ID_Empleado", id)}));
  }

  static void Texto(Recordset& rs, const char* campo, const std::string& texto) {
    rs.AsignaTexto(rs.IndiceCampo(campo), texto);
  }
  static const Valor& Val(Recordset& rs, const char* campo) {
    return rs.Value(rs.IndiceCampo(campo));
  }

  long Cuenta(const std::string& tabla) {
    auto rs = Abre(Busqueda(tabla, {}), 0);
    return rs->RecordCount();
  }

  CarpetaTemporal carpeta_;
  std::unique_ptr<BaseDatosPrueba> pg_;  // outlives the connection
  std::string cadena_;
  std::unique_ptr<Conexion> cn_;
};

struct ColumnaEsperada {
  const char* nombre;
  int tipo;
  long tamano;
};

TEST_P(CapaDatos, TiposYTamanosDeCadaColumnaDelEsquema) {
  const std::vector<std::pair<std::string, std::vector<ColumnaEsperada>>> tablas = {
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
      {"Kardex",
       {{"Id_Empleado", adChar, 15},
        {"Fecha", adDBTimeStamp, 16},
        {"ID_Tipo", adVarChar, 15},
        {"Dato0_FAL", adVarChar, 15},
        {"Dato1_FAL", adVarChar, 15},
        {"Dato2_FAL", adVarChar, 15},
        {"Dato3_FAL", adVarChar, 15},
        {"Dato4_FAL", adVarChar, 15},
        {"Dato5_FAL", adVarChar, 15},
        {"Referencia", adVarChar, 50}}},
      {"Fotos_Empleados", {{"ID_Empleado", adChar, 15}, {"Foto", adLongVarBinary, 2147483647}}},
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
      const ColumnaEsperada& e = columnas[static_cast<std::size_t>(i)];
      EXPECT_TRUE(IgualSinCaso(f.nombre, e.nombre)) << tabla << ": " << f.nombre;
      EXPECT_EQ(f.tipo, e.tipo) << tabla << "." << e.nombre;
      EXPECT_EQ(f.tamanoDefinido, e.tamano) << tabla << "." << e.nombre;
      EXPECT_EQ(rs->IndiceCampo(e.nombre), i);
    }
  }
}

TEST_P(CapaDatos, AltaYModificacionDeUnaFilaConCadaTipo) {
  const Bytes foto = Imagen(1 << 20);
  {
    auto rs = Empleado("E01");
    ASSERT_TRUE(rs->BOF() && rs->EOF_());
    EXPECT_EQ(rs->EditMode(), Recordset::adEditNone);
    rs->AddNew();
    EXPECT_EQ(rs->EditMode(), Recordset::adEditAdd);
    EXPECT_TRUE(EsNulo(Val(*rs, "Nombre")));
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
    EXPECT_EQ(Recorta(rs->Texto(rs->IndiceCampo("ID_Empleado"))), "E01");
    EXPECT_EQ(rs->Texto(rs->IndiceCampo("Nombre")), "José Núñez");
    rs->Close();
    EXPECT_EQ(rs->State(), 0);
  }
  {
    auto rs = Empleado("E01");
    ASSERT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
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
    EXPECT_EQ(rs->EditMode(), Recordset::adEditInProgress);
    Texto(*rs, "Edad", "-3");
    Texto(*rs, "NumeroTarjeta", "2147483647");
    Texto(*rs, "Activo", "0");
    Texto(*rs, "FechaAlta", "2006-08-03");
    Texto(*rs, "Sueldo", "-0.25");
    int i = rs->IndiceCampo("Foto");
    rs->AppendChunk(i, Bytes{1, 2, 3});
    rs->AppendChunk(i, Bytes{4, 0, 5});
    rs->Update();
  }
  auto rs = Empleado("E01");
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("Nombre")), "Ana O'Hara");
  EXPECT_EQ(Val(*rs, "Edad"), Valor(std::int64_t{-3}));
  EXPECT_EQ(Val(*rs, "NumeroTarjeta"), Valor(std::int64_t{2147483647}));
  EXPECT_EQ(Val(*rs, "Activo"), Valor(false));
  EXPECT_EQ(Val(*rs, "FechaAlta"), Valor(FechaHora{2006, 8, 3, 0, 0, 0}));
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("FechaAlta")), "2006-08-03");
  EXPECT_EQ(Val(*rs, "Sueldo"), Valor(-0.25));
  EXPECT_EQ(Val(*rs, "Foto"), Valor(Bytes{1, 2, 3, 4, 0, 5}));
  EXPECT_EQ(Cuenta("Empleado"), 1);
}

TEST_P(CapaDatos, LaModificacionEscribeSoloLasColumnasAsignadas) {
  {
    auto rs = Empleado("E02");
    rs->AddNew();
    Texto(*rs, "ID_Empleado", "E02");
    Texto(*rs, "Nombre", "Luis");
    Texto(*rs, "Edad", "30");
    rs->Update();
  }
  auto rs = Empleado("E02");
  ASSERT_FALSE(rs->EOF_());
  // another writer changes the age after our read; our update must not undo it
  cn_->Execute("update Empleado set Edad = 55, ID_Nivel1 = 'X' where ID_Empleado = 'E02'");
  Texto(*rs, "Nombre", "Luisa");
  rs->Update();
  // nothing assigned: nothing written
  rs->Update();
  EXPECT_EQ(rs->EditMode(), Recordset::adEditNone);

  auto leida = Empleado("E02");
  EXPECT_EQ(leida->Texto(leida->IndiceCampo("Nombre")), "Luisa");
  EXPECT_EQ(Val(*leida, "Edad"), Valor(std::int64_t{55}));
  EXPECT_EQ(leida->Texto(leida->IndiceCampo("ID_Nivel1")), "X");

  // a cancelled change never reaches the database
  Texto(*leida, "Nombre", "Nadie");
  EXPECT_EQ(leida->Texto(leida->IndiceCampo("Nombre")), "Nadie");
  leida->CancelUpdate();
  EXPECT_EQ(leida->EditMode(), Recordset::adEditNone);
  EXPECT_EQ(leida->Texto(leida->IndiceCampo("Nombre")), "Luisa");
  leida->Close();
  EXPECT_EQ(Empleado("E02")->Texto(1), "Luisa");
}

TEST_P(CapaDatos, AsignacionesRechazadasConNumeroPositivo) {
  auto rs = Empleado("E03");
  rs->AddNew();
  auto error = [&](const char* campo, const std::string& texto) {
    return ErrorDe([&] { Texto(*rs, campo, texto); });
  };
  auto nombre = [&](const char* campo) { return rs->Field(rs->IndiceCampo(campo)).nombre; };

  ErrorVarlo e = error("Edad", "abc");
  EXPECT_EQ(e.Numero(), 13);
  EXPECT_EQ(e.Descripcion(),
            "No coinciden los tipos (columna " + nombre("Edad") + ", valor 'abc')");
  e = error("Edad", "32768");
  EXPECT_EQ(e.Numero(), 6);
  EXPECT_EQ(e.Descripcion(), "Desbordamiento (columna " + nombre("Edad") + ", valor '32768')");
  EXPECT_EQ(error("NumeroTarjeta", "1.5").Numero(), 13);
  EXPECT_EQ(error("NumeroTarjeta", "2147483648").Numero(), 6);
  EXPECT_EQ(error("Sueldo", "1,5").Numero(), 13);
  EXPECT_EQ(error("Activo", "quizá").Numero(), 13);
  e = error("FechaAlta", "25/12/2005");
  EXPECT_EQ(e.Numero(), 13);
  EXPECT_EQ(e.Descripcion(),
            "No coinciden los tipos (columna " + nombre("FechaAlta") + ", valor '25/12/2005')");
  EXPECT_EQ(error("FechaAlta", "2005-02-30").Numero(), 13);
  e = error("Nombre", std::string(51, 'x'));
  EXPECT_EQ(e.Numero(), 8152);
  EXPECT_EQ(e.Descripcion(),
            "Los datos de cadena o binarios se truncarían (columna " + nombre("Nombre") + ")");
  EXPECT_EQ(error("ID_Empleado", "1234567890123456").Numero(), 8152);
  EXPECT_EQ(rs->EditMode(), Recordset::adEditAdd);

  // the size counts characters, not bytes
  Texto(*rs, "ID_Empleado", "E03");
  std::string enie;
  for (int i = 0; i < 50; ++i) enie += "ñ";
  Texto(*rs, "Nombre", enie);
  rs->Update();
  EXPECT_EQ(Empleado("E03")->Texto(1), enie);
}

TEST_P(CapaDatos, ViolacionDeRestriccionEnUpdateConNumeroNegativo) {
  {
    auto rs = Empleado("E04");
    rs->AddNew();
    Texto(*rs, "ID_Empleado", "E04");
    rs->Update();
  }
  auto rs = Empleado("E05");
  rs->AddNew();
  Texto(*rs, "ID_Empleado", "E04");
  ErrorVarlo e = ErrorDe([&] { rs->Update(); });
  EXPECT_LT(e.Numero(), 0);
  EXPECT_FALSE(e.Descripcion().empty());
  EXPECT_EQ(rs->EditMode(), Recordset::adEditAdd);
  rs->CancelUpdate();
  EXPECT_EQ(rs->EditMode(), Recordset::adEditNone);
  EXPECT_TRUE(rs->EOF_());

  // a NOT NULL column left out of a new row
  Consulta c = Busqueda("Kardex", {Clave("Id_Empleado", "E04")});
  auto k = Abre(c);
  k->AddNew();
  Texto(*k, "Id_Empleado", "E04");
  EXPECT_LT(ErrorDe([&] { k->Update(); }).Numero(), 0);
  EXPECT_EQ(Cuenta("Kardex"), 0);
}

TEST_P(CapaDatos, ClaveConApostrofoSeEncuentraYSeEscribe) {
  const std::string id = "O'Brien";
  {
    Consulta c = Busqueda("Fotos_Empleados", {Clave("ID_Empleado", id)});
    c.select = "Select ";
    c.from = " From ";
    c.where = " Where ";
    auto rs = Abre(c, 0);
    ASSERT_TRUE(rs->BOF() && rs->EOF_());
    rs->AddNew();
    Texto(*rs, "ID_Empleado", id);
    rs->Asigna(rs->IndiceCampo("Foto"), Bytes{9, 9, 9});
    rs->Update();
  }
  auto rs = Abre(Busqueda("Fotos_Empleados", {Clave("ID_Empleado", id)}), 0);
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(Recorta(rs->Texto(0)), id);
  rs->Asigna(1, Bytes{7});
  rs->Update();
  EXPECT_EQ(Cuenta("Fotos_Empleados"), 1);
  EXPECT_EQ(Abre(Busqueda("Fotos_Empleados", {Clave("ID_Empleado", id)}))->Value(1),
            Valor(Bytes{7}));
}

TEST_P(CapaDatos, KardexPorEmpleadoYDia) {
  auto busca = [&](const std::string& dia) {
    Consulta c = Busqueda("Kardex", {Clave("Id_Empleado", "123")},
                          {"ID_Empleado", "Fecha", "ID_Tipo", "Referencia"});
    c.where = " where ";
    c.condiciones[0].igual = " = ";
    FechaHora f;
    EXPECT_TRUE(LeeFechaISO(dia, f));
    c.condiciones.push_back(Clave("Fecha", f, ClaseLiteral::Fecha));
    return Abre(c);
  };
  for (const char* dia : {"2006-08-03", "2006-08-04"}) {
    auto rs = busca(dia);
    ASSERT_TRUE(rs->BOF() && rs->EOF_());
    rs->AddNew();
    Texto(*rs, "ID_Empleado", "123");
    Texto(*rs, "Fecha", dia);
    Texto(*rs, "ID_Tipo", "VAC");
    rs->Update();
  }
  {
    auto rs = busca("2006-08-03");
    ASSERT_FALSE(rs->EOF_());
    Texto(*rs, "Referencia", "R1");
    Texto(*rs, "Fecha", "2006-08-03");  // the key written again, as the import does
    rs->Update();
  }
  auto rs = busca("2006-08-03");
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("Referencia")), "R1");
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("ID_Tipo")), "VAC");
  EXPECT_TRUE(EsNulo(busca("2006-08-04")->Value(3)));

  // the record limit, then the walk through every row
  EXPECT_EQ(Abre(Busqueda("Kardex", {}), 1)->RecordCount(), 1);
  auto todas = Abre(Busqueda("Kardex", {}), 0);
  EXPECT_EQ(todas->RecordCount(), 2);
  int vistas = 0;
  while (!todas->EOF_()) {
    ++vistas;
    EXPECT_EQ(todas->AbsolutePosition(), vistas);
    todas->MoveNext();
  }
  EXPECT_EQ(vistas, 2);
  EXPECT_EQ(ErrorDe([&] { todas->Value(0); }).Numero(), 3021);
  EXPECT_EQ(ErrorDe([&] { todas->AsignaTexto(0, "1"); }).Numero(), 3021);
  EXPECT_EQ(ErrorDe([&] { todas->IndiceCampo("NoExiste"); }).Numero(), 3265);

  cn_->Execute(cn_->DialectoBD().DeleteFrom("Kardex"));
  EXPECT_EQ(Cuenta("Kardex"), 0);
}

TEST_P(CapaDatos, CampoEntreCorchetesYCatalogoSinVistas) {
  cn_->Execute("create table Extra (\"Fecha Alta\" timestamp)");
  Consulta c = Busqueda("Extra", {}, {"[Fecha Alta]"});
  auto rs = Abre(c, 0);
  rs->AddNew();
  rs->AsignaTexto(0, "2001-02-03 04:05:06");
  rs->Update();
  rs->Close();
  rs = Abre(c, 0);
  EXPECT_EQ(rs->Field(0).nombre, "Fecha Alta");
  EXPECT_EQ(rs->IndiceCampo("FECHA ALTA"), 0);
  EXPECT_EQ(rs->Value(0), Valor(FechaHora{2001, 2, 3, 4, 5, 6}));

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

TEST_P(CapaDatos, JerarquiasConCorchetes) {
  cn_->Execute("insert into Jerarquias values ('_30012', '_20005')");
  Consulta c;
  c.select = "Select ";
  c.columnas = {"[Parent]"};
  c.from = " From ";
  c.tabla = "Jerarquias";
  c.where = " Where ";
  c.condiciones = {Clave("[Key]", "_30012")};
  auto rs = Abre(c, 0);
  ASSERT_FALSE(rs->EOF_());
  EXPECT_EQ(rs->Texto(rs->IndiceCampo("Parent")), "_20005");
  Texto(*rs, "Parent", "_20006");
  rs->Update();
  EXPECT_EQ(Abre(c, 0)->Texto(0), "_20006");
}

TEST_P(CapaDatos, FilaQueYaNoEstaYConsultaSinCondiciones) {
  {
    auto rs = Empleado("E06");
    rs->AddNew();
    Texto(*rs, "ID_Empleado", "E06");
    rs->Update();
  }
  auto rs = Empleado("E06");
  ASSERT_FALSE(rs->EOF_());
  cn_->Execute("delete from Empleado where ID_Empleado = 'E06'");
  Texto(*rs, "Nombre", "Nadie");
  ErrorVarlo e = ErrorDe([&] { rs->Update(); });
  EXPECT_EQ(e.Numero(), -2147217864);
  EXPECT_EQ(Cuenta("Empleado"), 0);

  // every row of a table: updating one would need a key the query does not give
  {
    auto nuevo = Empleado("E07");
    nuevo->AddNew();
    Texto(*nuevo, "ID_Empleado", "E07");
    nuevo->Update();
  }
  auto todos = Abre(Busqueda("Empleado", {}), 0);
  Texto(*todos, "Nombre", "Todos");
  EXPECT_EQ(ErrorDe([&] { todos->Update(); }).Numero(), 3219);
  todos->Close();
  EXPECT_EQ(ErrorDe([&] { todos->EOF_(); }).Numero(), 3704);
  EXPECT_TRUE(EsNulo(Empleado("E07")->Value(1)));

  // a closed connection refuses work
  cn_->Close();
  EXPECT_EQ(cn_->State(), 0);
  EXPECT_EQ(ErrorDe([&] { cn_->Execute("delete from Empleado"); }).Numero(), 3704);
}

INSTANTIATE_TEST_SUITE_P(Motores, CapaDatos, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace varlo::db
