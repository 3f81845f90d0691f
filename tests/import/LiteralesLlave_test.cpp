// The lookup of a record: key values typed by the key column's ADO type,
// rendered by every dialect, and refused before any query when empty.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "db/Dialecto.h"
#include "db/TiposAdo.h"
#include "import/ConsultaBusqueda.h"

namespace varlo::prueba {
namespace {

using db::ClaseLiteral;

DefinicionTabla Definicion(std::vector<std::string> indices, std::vector<std::int16_t> posiciones,
                           std::vector<std::int32_t> tipos) {
  DefinicionTabla d;
  d.Tabla = "Empleado";
  d.Indices = std::move(indices);
  d.PosicionIndice = std::move(posiciones);
  d.TipoIndice = std::move(tipos);
  d.CamposSelect = {"ID_Empleado", "[Fecha Alta]", "Nombre"};
  return d;
}

std::string SqlServer(const db::Consulta& c) {
  return db::CreaDialecto(db::Motor::SqlServer)->Select(c).texto;
}

TEST(LiteralesLlave, ClasePorTipoAdo) {
  for (int t : {129, 130, 200, 201, 202, 203}) EXPECT_EQ(ClaseDeLlave(t), ClaseLiteral::Texto) << t;
  for (int t : {7, 133, 134, 135}) EXPECT_EQ(ClaseDeLlave(t), ClaseLiteral::FechaHora) << t;
  for (int t : {2, 3, 5, 6, 11, 20, 131, 205})
    EXPECT_EQ(ClaseDeLlave(t), ClaseLiteral::Numero) << t;
}

TEST(LiteralesLlave, FechaYHoraEnPosicionesFijas) {
  EXPECT_EQ(FechaDeLlave("25/12/2005"), (FechaHora{2005, 12, 25, 0, 0, 0}));
  EXPECT_EQ(FechaDeLlave("25/12/2005 09:30:00 a.m."), (FechaHora{2005, 12, 25, 9, 30, 0}));
  EXPECT_EQ(FechaDeLlave("25/12/2005 09:30:00 p.m."), (FechaHora{2005, 12, 25, 21, 30, 0}));
  // 12 p.m. is noon, 12 a.m. is midnight, a 24-hour time stays as it is
  EXPECT_EQ(FechaDeLlave("25/12/2005 12:05:00 p.m."), (FechaHora{2005, 12, 25, 12, 5, 0}));
  EXPECT_EQ(FechaDeLlave("25/12/2005 12:05:00 a.m."), (FechaHora{2005, 12, 25, 0, 5, 0}));
  EXPECT_EQ(FechaDeLlave("25/12/2005 14:30:00"), (FechaHora{2005, 12, 25, 14, 30, 0}));
  EXPECT_EQ(FechaDeLlave("25/12/2005 00:00:01"), (FechaHora{2005, 12, 25, 0, 0, 1}));

  for (const char* malo : {"2005-12-25", "31/02/2006", "25/12/2005 25:00:00", "ab/cd/efgh",
                           "25/12/2005 9:30:00 p.m.", "25/12/2005 14:3x:00"}) {
    try {
      FechaDeLlave(malo);
      ADD_FAILURE() << malo << " must not read as a date";
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), errores::TiposNoCoinciden) << malo;
    }
  }
}

TEST(LiteralesLlave, TextoConApostrofoEnCadaDialecto) {
  DefinicionTabla d = Definicion({"ID_Empleado"}, {1}, {db::adChar});
  ConsultaBusqueda b(d);
  const db::Consulta& c = b.Para({" O'Brien  ", "x"});
  EXPECT_EQ(SqlServer(c),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where ID_Empleado='O''Brien'");
  for (db::Motor m : {db::Motor::SQLite, db::Motor::PostgreSql}) {
    db::SentenciaSql s = db::CreaDialecto(m)->Select(c);
    EXPECT_EQ(s.texto.find("O'Brien"), std::string::npos) << s.texto;  // bound, never pasted
    ASSERT_EQ(s.parametros.size(), 1u);
    EXPECT_EQ(s.parametros[0], db::Valor(std::string("O'Brien")));
  }
}

TEST(LiteralesLlave, VarcharQueNoEsNumeroSeComparaComoTexto) {
  DefinicionTabla d = Definicion({"ID_Empleado"}, {1}, {db::adVarChar});
  ConsultaBusqueda b(d);
  EXPECT_EQ(SqlServer(b.Para({"A-17"})),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where ID_Empleado='A-17'");
  // the same record refills the same query
  EXPECT_EQ(SqlServer(b.Para({"0012"})),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where ID_Empleado='0012'");
}

TEST(LiteralesLlave, NumeroSinDelimitadoresYErrorSiNoLoEs) {
  DefinicionTabla d = Definicion({"ID_Empleado"}, {1}, {db::adInteger});
  ConsultaBusqueda b(d);
  EXPECT_EQ(SqlServer(b.Para({"0012"})),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where ID_Empleado=0012");
  const db::Consulta& c = b.Para({"12; drop table Empleado"});
  for (db::Motor m : {db::Motor::SqlServer, db::Motor::SQLite, db::Motor::PostgreSql}) {
    try {
      db::CreaDialecto(m)->Select(c);
      ADD_FAILURE() << "a number key that is not a number must be refused";
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), errores::TiposNoCoinciden);
    }
  }
}

TEST(LiteralesLlave, LlaveCompuestaConFechaYFechaHora) {
  DefinicionTabla d =
      Definicion({"ID_Empleado", "Fecha"}, {2, 1}, {db::adInteger, db::adDBTimeStamp});
  ConsultaBusqueda b(d);
  EXPECT_EQ(SqlServer(b.Para({"25/12/2005", "12"})),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where ID_Empleado=12 and "
            "Fecha={d '2005-12-25'}");
  EXPECT_EQ(SqlServer(b.Para({"25/12/2005 02:30:00 p.m.", "12"})),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where ID_Empleado=12 and "
            "Fecha={ts '2005-12-25 14:30:00'}");
  // SQLite binds the date as a date value
  db::SentenciaSql s = db::CreaDialecto(db::Motor::SQLite)->Select(b.Para({"25/12/2005", "12"}));
  ASSERT_EQ(s.parametros.size(), 2u);
  EXPECT_EQ(s.parametros[1], db::Valor(FechaHora{2005, 12, 25, 0, 0, 0}));

  // any other date type is a date literal too
  DefinicionTabla d2 = Definicion({"Fecha"}, {1}, {db::adDBDate});
  ConsultaBusqueda b2(d2);
  EXPECT_EQ(SqlServer(b2.Para({"01/02/2003"})),
            "select ID_Empleado, [Fecha Alta], Nombre from Empleado Where Fecha={d '2003-02-01'}");
}

TEST(LiteralesLlave, LlaveVaciaSeRechazaAntesDeBuscar) {
  DefinicionTabla d = Definicion({"ID_Empleado", "Fecha"}, {1, 2}, {db::adChar, db::adDBTimeStamp});
  ConsultaBusqueda b(d);
  try {
    b.Para({"12", "   "});
    FAIL() << "an empty part of a compound key must be refused";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Numero(), errores::ArgumentoNoValido);
    EXPECT_EQ(e.Descripcion(), "Valor vacío en la columna índice (Fecha)");
  }
  try {
    b.Para({"", "25/12/2005"});
    FAIL() << "an empty key must be refused";
  } catch (const ErrorVarlo& e) {
    EXPECT_EQ(e.Descripcion(), "Valor vacío en la columna índice (ID_Empleado)");
  }
}

TEST(LiteralesLlave, NivelesDeJerarquiaEnLaListaDeLectura) {
  DefinicionTabla d = Definicion({"ID_Empleado"}, {1}, {db::adChar});
  d.ColumnasNivel = {"ID_Nivel1", "ID_Nivel0"};
  ConsultaBusqueda b(d);
  EXPECT_EQ(SqlServer(b.Para({"7"})),
            "select ID_Empleado, [Fecha Alta], Nombre, ID_Nivel1, ID_Nivel0 from Empleado Where "
            "ID_Empleado='7'");
}

}  // namespace
}  // namespace varlo::prueba
