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
  const std::vector<std::tuple<const char*, const char*, const char*>> casos = {
      // at the fixed places, whatever the mask
      {"DD/MM/YYYY", "25/12/2005", "2005-12-25"},
      {"YYYY-MM-DD", "25/12/2005", "2005-12-25"},
      {"DD/MM/YYYY", "25/12/2005 09:30:00 a.m.", "2005-12-25 09:30:00"},
      {"DD/MM/YYYY", "25/12/2005 09:30:00 p.m.", "2005-12-25 21:30:00"},
      // 12 p.m. is noon, 12 a.m. is midnight, a 24-hour time stays as it is
      {"DD/MM/YYYY", "25/12/2005 12:05:00 p.m.", "2005-12-25 12:05:00"},
      {"DD/MM/YYYY", "25/12/2005 12:05:00 a.m.", "2005-12-25 00:05:00"},
      {"DD/MM/YYYY", "25/12/2005 14:30:00", "2005-12-25 14:30:00"},
      {"DD/MM/YYYY", "31/02/2006", "error 5"},  // no such day: never carried over
      {"DD/MM/YYYY", "00/02/2006", "error 5"},
      {"DD/MM/YYYY", "25/12/2005 25:00:00", "error 13"},
      // elsewhere, a text of the mask's exact shape
      {"YYYY-MM-DD", "2005-12-25", "2005-12-25"},
      {"YYYY-MM-DD", "2005-12-25 14:30:00", "2005-12-25 14:30:00"},
      {"yyyy-mm-dd", "2005-12-25 02:30 p.m.", "2005-12-25 14:30:00"},
      {"YYYYMMDD", "20051225", "2005-12-25"},
      {"DD/MM/YY", "25/12/05", "2005-12-25"},
      {"DD/MM/YYYY", "2005-12-25", "error 13"},
      {"YYYY-MM-DD", "2005/12/25", "error 13"},
      {"YYYY-MM-DD", "2005-12-25x", "error 13"},
      {"YYYY-MM-DD", "2005-12-2", "error 13"},
      {"YYYY-MM-DD", "2005-02-30", "error 5"},
      {"YYYY-MM-DD", "2005-12-25 24:00", "error 13"},
      {"YYYY-MM", "2005-12", "error 13"},  // a mask without its day reads nothing
      // or written without its zeros: between the mask's separators, as the
      // column's own value is read
      {"DD/MM/YYYY", "5/3/2010", "2010-03-05"},
      {"YYYY-MM-DD", "2010-3-5", "2010-03-05"},
      {"YYYY-MM-DD", "2010-3-5 14:30", "2010-03-05 14:30:00"},
      {"YYYY-MM-DD", "2010-3-5T08:30:00", "2010-03-05 08:30:00"},
      {"DD/MM/YYYY", "5/3/2010x", "error 13"},
      {"DD/MM/YYYY", "0/3/2010", "error 5"},
      {"DD/MM/YYYY", "5/3/0010", "error 13"},  // a year in full is no two-digit year
  };
  for (const auto& [mascara, texto, esperada] : casos) {
    std::string leida;
    try {
      FechaHora f = FechaDeLlave(texto, MascaraFecha::Desde(mascara));
      leida = f.TieneHora() ? FormatoISOHora(f) : FormatoISO(f);
    } catch (const ErrorVarlo& e) {
      leida = "error " + std::to_string(e.Numero());
    }
    EXPECT_EQ(leida, esperada) << mascara << " " << texto;
  }
}

TEST(LiteralesLlave, LiteralesEnCadaDialecto) {
  DefinicionTabla d;
  d.Tabla = "Empleado";
  d.Indices = {"ID_Empleado", "Fecha", "Clave", "Equipo"};
  d.PosicionIndice = {1, 2, 3, 4};
  // a GUID is compared as its text, not read as a number
  d.TipoIndice = {db::adInteger, db::adDBTimeStamp, db::adChar, db::adGUID};
  d.CamposSelect = {"Nombre"};
  ConsultaBusqueda b(d);
  const std::string guid = "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11";
  const db::Consulta& c = b.Para({"0012", "25/12/2005 02:30:00 p.m.", " O'Brien  ", guid});
  EXPECT_EQ(db::CreaDialecto(db::Motor::SqlServer)->Select(c).texto,
            "select [Nombre] from [Empleado] Where [ID_Empleado]=0012 and "
            "[Fecha]={ts '2005-12-25 14:30:00'} and [Clave]='O''Brien' and [Equipo]='" +
                guid + "'");
  // the other dialects bind every value, never paste it
  for (db::Motor m : {db::Motor::SQLite, db::Motor::PostgreSql}) {
    db::SentenciaSql s = db::CreaDialecto(m)->Select(c);
    EXPECT_EQ(s.texto.find("O'Brien"), std::string::npos) << s.texto;
    EXPECT_EQ(s.parametros,
              (std::vector<db::Valor>{db::Valor(std::int64_t{12}),
                                      db::Valor(FechaHora{2005, 12, 25, 14, 30, 0}),
                                      db::Valor(std::string("O'Brien")), db::Valor(guid)}));
  }
}

}  // namespace
}  // namespace varlo::prueba
