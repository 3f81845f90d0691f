// The lookup of a record: key values typed by the key column's ADO type and
// rendered by every dialect.
#include <gtest/gtest.h>

#include "common/ErrorVarlo.h"
#include "db/Dialecto.h"
#include "db/TiposAdo.h"
#include "import/ConsultaBusqueda.h"

namespace varlo::prueba {
namespace {

TEST(LiteralesLlave, FechaYHoraDeLaLlave) {
  const std::vector<std::pair<const char*, FechaHora>> casos = {
      {"25/12/2005", {2005, 12, 25, 0, 0, 0}},
      {"25/12/2005 09:30:00 a.m.", {2005, 12, 25, 9, 30, 0}},
      {"25/12/2005 09:30:00 p.m.", {2005, 12, 25, 21, 30, 0}},
      // 12 p.m. is noon, 12 a.m. is midnight, a 24-hour time stays as it is
      {"25/12/2005 12:05:00 p.m.", {2005, 12, 25, 12, 5, 0}},
      {"25/12/2005 12:05:00 a.m.", {2005, 12, 25, 0, 5, 0}},
      {"25/12/2005 14:30:00", {2005, 12, 25, 14, 30, 0}},
  };
  for (const auto& [texto, esperada] : casos) EXPECT_EQ(FechaDeLlave(texto), esperada) << texto;
  for (const char* malo : {"2005-12-25", "31/02/2006", "25/12/2005 25:00:00"}) {
    try {
      FechaDeLlave(malo);
      ADD_FAILURE() << malo << " must not read as a date";
    } catch (const ErrorVarlo& e) {
      EXPECT_EQ(e.Numero(), errores::TiposNoCoinciden) << malo;
    }
  }
}

TEST(LiteralesLlave, LiteralesEnCadaDialecto) {
  DefinicionTabla d;
  d.Tabla = "Empleado";
  d.Indices = {"ID_Empleado", "Fecha", "Clave"};
  d.PosicionIndice = {1, 2, 3};
  d.TipoIndice = {db::adInteger, db::adDBTimeStamp, db::adChar};
  d.CamposSelect = {"Nombre"};
  ConsultaBusqueda b(d);
  const db::Consulta& c = b.Para({"0012", "25/12/2005 02:30:00 p.m.", " O'Brien  "});
  EXPECT_EQ(db::CreaDialecto(db::Motor::SqlServer)->Select(c).texto,
            "select Nombre from Empleado Where ID_Empleado=0012 and "
            "Fecha={ts '2005-12-25 14:30:00'} and Clave='O''Brien'");
  // the other dialects bind every value, never paste it
  for (db::Motor m : {db::Motor::SQLite, db::Motor::PostgreSql}) {
    db::SentenciaSql s = db::CreaDialecto(m)->Select(c);
    EXPECT_EQ(s.texto.find("O'Brien"), std::string::npos) << s.texto;
    EXPECT_EQ(s.parametros, (std::vector<db::Valor>{db::Valor(std::int64_t{12}),
                                                    db::Valor(FechaHora{2005, 12, 25, 14, 30, 0}),
                                                    db::Valor(std::string("O'Brien"))}));
  }
}

}  // namespace
}  // namespace varlo::prueba
