// The lookup of a record: key values typed by the key column's ADO type and
// rendered by every dialect.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "common/ErrorVarlo.h"
#include "db/Dialecto.h"
#include "db/TiposAdo.h"
#include "import/ConsultaBusqueda.h"
#include "import/MascaraFecha.h"

namespace varlo::prueba {
namespace {

TEST(LiteralesLlave, FechaYHoraDeLaLlave) {
  const std::optional<FechaHora> malo;
  const std::vector<std::tuple<const char*, const char*, std::optional<FechaHora>>> casos = {
      // at the fixed places, whatever the mask
      {"DD/MM/YYYY", "25/12/2005", FechaHora{2005, 12, 25, 0, 0, 0}},
      {"YYYY-MM-DD", "25/12/2005", FechaHora{2005, 12, 25, 0, 0, 0}},
      {"DD/MM/YYYY", "25/12/2005 09:30:00 a.m.", FechaHora{2005, 12, 25, 9, 30, 0}},
      {"DD/MM/YYYY", "25/12/2005 09:30:00 p.m.", FechaHora{2005, 12, 25, 21, 30, 0}},
      // 12 p.m. is noon, 12 a.m. is midnight, a 24-hour time stays as it is
      {"DD/MM/YYYY", "25/12/2005 12:05:00 p.m.", FechaHora{2005, 12, 25, 12, 5, 0}},
      {"DD/MM/YYYY", "25/12/2005 12:05:00 a.m.", FechaHora{2005, 12, 25, 0, 5, 0}},
      {"DD/MM/YYYY", "25/12/2005 14:30:00", FechaHora{2005, 12, 25, 14, 30, 0}},
      {"DD/MM/YYYY", "31/02/2006", malo},
      {"DD/MM/YYYY", "25/12/2005 25:00:00", malo},
      // elsewhere, only a text of the mask's exact shape
      {"YYYY-MM-DD", "2005-12-25", FechaHora{2005, 12, 25, 0, 0, 0}},
      {"YYYY-MM-DD", "2005-12-25 14:30:00", FechaHora{2005, 12, 25, 14, 30, 0}},
      {"yyyy-mm-dd", "2005-12-25 02:30 p.m.", FechaHora{2005, 12, 25, 14, 30, 0}},
      {"YYYYMMDD", "20051225", FechaHora{2005, 12, 25, 0, 0, 0}},
      {"DD/MM/YY", "25/12/05", FechaHora{2005, 12, 25, 0, 0, 0}},
      {"DD/MM/YYYY", "2005-12-25", malo},
      {"YYYY-MM-DD", "2005/12/25", malo},
      {"YYYY-MM-DD", "2005-12-25x", malo},
      {"YYYY-MM-DD", "2005-12-2", malo},
      {"YYYY-MM-DD", "2005-02-30", malo},  // no such day: never carried over
      {"YYYY-MM-DD", "2005-12-25 24:00", malo},
      {"YYYY-MM", "2005-12", malo},  // a mask without its day reads nothing
  };
  for (const auto& [mascara, texto, esperada] : casos) {
    SCOPED_TRACE(std::string(mascara) + " " + texto);
    try {
      FechaHora f = FechaDeLlave(texto, MascaraFecha::Desde(mascara));
      EXPECT_EQ(std::optional<FechaHora>(f), esperada);
    } catch (const ErrorVarlo& e) {
      EXPECT_FALSE(esperada);
      EXPECT_EQ(e.Numero(), errores::TiposNoCoinciden);
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
