// The lookups of a batch fetched together: a key gets the row the database
// returned for it only when the values are equal as written, each result is
// served once, and any doubt sends the record to its own lookup.
#include "import/BusquedasDelLote.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/Fechas.h"
#include "db/LlaveSuelta.h"
#include "db/TiposAdo.h"

namespace varlo {
namespace {

using namespace std::string_literals;
using db::adBigInt, db::adChar, db::adDBTimeStamp, db::adInteger, db::adVarChar, db::ClaseLiteral,
    db::Consulta, db::ResultadoConsulta, db::Valor, db::ValorComoTexto;

// The batch's store as the tests use it, without a database: keys given
// without their loose forms, and a whole result taken.
class Almacen : public BusquedasDelLote {
 public:
  using BusquedasDelLote::Renueva, BusquedasDelLote::SeRepite, BusquedasDelLote::Vacia;
  void Llena(const Consulta& modelo, const std::vector<Valor>& llaves, ResultadoConsulta filas,
             std::size_t columnasLocalizador) {
    std::vector<std::string> sueltas;
    const std::size_t n = modelo.condiciones.size();
    for (std::size_t i = 0; i + n <= llaves.size(); i += n)
      sueltas.push_back(db::SueltaLlave(modelo.condiciones, &llaves[i]));
    BusquedasDelLote::Llena(modelo, llaves, sueltas, std::move(filas), columnasLocalizador);
  }
  std::optional<ResultadoConsulta> Toma(const Consulta& c) {
    auto filas = TomaFilas(c);
    if (!filas) return std::nullopt;
    return ResultadoConsulta{Campos(), std::move(*filas)};
  }
};

Consulta Modelo(ClaseLiteral clase = ClaseLiteral::Texto) {
  Consulta c;
  c.tabla = "Empleado";
  c.columnas = {"ID_Empleado", "Nombre"};
  c.condiciones.push_back({"ID_Empleado", clase, std::string(), "="});
  return c;
}

Consulta Busca(const Valor& llave, ClaseLiteral clase = ClaseLiteral::Texto) {
  Consulta c = Modelo(clase);
  c.condiciones[0].valor = llave;
  return c;
}

// Rows of (key, name) and a one-column locator, the key typed `tipoLlave`.
ResultadoConsulta Filas(const std::vector<std::pair<Valor, std::string>>& filas,
                        int tipoLlave = adChar) {
  ResultadoConsulta r;
  r.campos = {{"id_empleado", tipoLlave, 15}, {"nombre", adVarChar, 50}, {"rowid", adBigInt, 8}};
  std::int64_t localizador = 0;
  for (const auto& [llave, nombre] : filas) r.filas.push_back({llave, nombre, ++localizador});
  return r;
}

// What the store serves for `c`: the names of the rows ("-" for none), or
// nothing when the record must ask the database.
std::optional<std::string> Sirve(Almacen& b, const Consulta& c) {
  auto r = b.Toma(c);
  if (!r) return std::nullopt;
  std::string nombres;
  for (const auto& fila : r->filas)
    nombres += (nombres.empty() ? "" : "|") + ValorComoTexto(fila[1]);
  return nombres.empty() ? "-" : nombres;
}

TEST(BusquedasDelLote, CadaLlaveRecibeSuFilaOSuAusenciaUnaSolaVez) {
  Almacen b;
  // a fixed-width key comes back padded; its comparison ignores the padding
  b.Llena(Modelo(), {"E1"s, "E2"s}, Filas({{"E1   "s, "Ana"}}), 1);
  auto e1 = b.Toma(Busca("E1"s));
  ASSERT_TRUE(e1);
  ASSERT_EQ(e1->filas.size(), 1u);
  EXPECT_EQ(ValorComoTexto(e1->filas[0][1]), "Ana");
  EXPECT_EQ(e1->campos.size(), 3u);  // the locator stays at the end of the row
  EXPECT_EQ(Sirve(b, Busca("E2"s)), "-");
  // served once: the same key again (a later line) asks the database
  EXPECT_FALSE(b.Toma(Busca("E1"s)));
  // a key that was not fetched, and a query of another shape, are not served
  b.Llena(Modelo(), {"E3"s}, Filas({}), 1);
  EXPECT_FALSE(b.Toma(Busca("E4"s)));
  Consulta otra = Busca("E3"s);
  otra.columnas.push_back("Edad");
  EXPECT_FALSE(b.Toma(otra));
}

TEST(BusquedasDelLote, UnaLlaveRepetidaRecibeLaFilaComoLaDejoElRegistroAnterior) {
  Almacen b;
  b.Llena(Modelo(), {"E1"s, "E2"s, "E1"s, "E1"s}, Filas({{"E1"s, "Ana"}, {"E2"s, "Eva"}}), 1);
  ASSERT_TRUE(b.Toma(Busca("E1"s)));
  EXPECT_TRUE(b.SeRepite());
  b.Renueva({"E1"s, "Ana Luisa"s, std::int64_t{1}});
  // another key asked in between is served as usual, and is not asked again
  ASSERT_TRUE(b.Toma(Busca("E2"s)));
  EXPECT_FALSE(b.SeRepite());
  EXPECT_EQ(Sirve(b, Busca("E1"s)), "Ana Luisa");
  // the third record's row: not renewed (its change is unknown), it asks the database
  EXPECT_TRUE(b.SeRepite());
  EXPECT_FALSE(b.Toma(Busca("E1"s)));
  // a lookup that was not served renews nothing
  b.Renueva({"E1"s, "Otra"s, std::int64_t{1}});
  EXPECT_FALSE(b.Toma(Busca("E1"s)));
}

TEST(BusquedasDelLote, LoQueLaBaseIgualoConReglasPropiasVaASuPropiaBusqueda) {
  Almacen b;
  // "e1" found by a case-insensitive collation: neither E1 nor any key's
  // absence can be trusted
  b.Llena(Modelo(), {"E1"s, "E2"s}, Filas({{"x9"s, "?"}, {"e1"s, "Ana"}}, adVarChar), 1);
  EXPECT_FALSE(b.Toma(Busca("E2"s)));
  b.Llena(Modelo(), {"E1"s, "E2"s}, Filas({{"e1"s, "Ana"}}, adVarChar), 1);
  EXPECT_FALSE(b.Toma(Busca("E1"s)));
  ASSERT_TRUE(b.Toma(Busca("E2"s)));

  // a variable-width value keeps its trailing spaces: "E1 " is not "E1"
  b.Llena(Modelo(), {"E1"s}, Filas({{"E1 "s, "Ana"}}, adVarChar), 1);
  EXPECT_FALSE(b.Toma(Busca("E1"s)));

  // "007" and "7" in one batch: both go to the database
  const ClaseLiteral n = ClaseLiteral::Numero;
  b.Llena(Modelo(n), {std::int64_t{7}, "007"s, std::int64_t{8}},
          Filas({{std::int64_t{7}, "Ana"}}, adInteger), 1);
  EXPECT_FALSE(b.Toma(Busca("007"s, n)));
  EXPECT_FALSE(b.Toma(Busca("7"s, n)));
  EXPECT_EQ(Sirve(b, Busca("8"s, n)), "-");

  // plain digits and any other way of writing the same number meet: "0007"
  // and "7.0", "000000000000009" and "9e0", "1234567890123456" and a
  // 17-digit "01234567890123456" all doubt each other
  b.Llena(Modelo(n),
          {"0007"s, "7.0"s, "000000000000009"s, "9e0"s, "1234567890123456"s, "01234567890123456"s,
           "10"s},
          Filas({}, adInteger), 1);
  for (const char* dudosa :
       {"0007", "7.0", "000000000000009", "9e0", "1234567890123456", "01234567890123456"})
    EXPECT_FALSE(b.Toma(Busca(std::string(dudosa), n))) << dudosa;
  EXPECT_EQ(Sirve(b, Busca("10"s, n)), "-");
}

TEST(BusquedasDelLote, ElOrdenEnQuePreguntanLosRegistrosNoCambiaLoQueRecibe) {
  Almacen b;
  const auto nombre = [&](const char* llave) { return Sirve(b, Busca(std::string(llave))); };
  const ResultadoConsulta filas =
      Filas({{"E1"s, "Ana"}, {"E3"s, "Eva"}, {"E4"s, "Luz"}}, adVarChar);
  // asked out of order, one key skipped and one asked twice
  b.Llena(Modelo(), {"E1"s, "E2"s, "E3"s, "E4"s}, filas, 1);
  EXPECT_EQ(nombre("E3"), "Eva");
  EXPECT_EQ(nombre("E1"), "Ana");
  EXPECT_EQ(nombre("E4"), "Luz");
  EXPECT_EQ(nombre("E4"), std::nullopt);
  EXPECT_EQ(nombre("E2"), "-");

  // a key equal to the next one but for its case is no key of the batch: it
  // is not served, and the key it may stand for under a collation no longer is
  b.Llena(Modelo(), {"E1"s, "E3"s}, Filas({{"E1"s, "Ana"}, {"E3"s, "Eva"}}, adVarChar), 1);
  EXPECT_EQ(nombre("e1"), std::nullopt);
  EXPECT_EQ(nombre("E1"), std::nullopt);
  EXPECT_EQ(nombre("E3"), "Eva");

  // a key given twice in the batch is served once
  b.Llena(Modelo(), {"E1"s, "E1"s, "E2"s}, Filas({{"E1"s, "Ana"}}, adVarChar), 1);
  EXPECT_EQ(nombre("E1"), "Ana");
  EXPECT_EQ(nombre("E1"), std::nullopt);
  EXPECT_EQ(nombre("E2"), "-");
}

// A key of an employee and a day: a row is matched by both values, each
// compared exactly (a fixed-width employee padded); a row that matches a
// key by one of them only is no row of it, and leaves nothing trusted.
TEST(BusquedasDelLote, UnaLlaveDeDosColumnasSeComparaPorAmbas) {
  Consulta modelo;
  modelo.tabla = "Kardex";
  modelo.columnas = {"Id_Empleado", "Fecha", "ID_Tipo"};
  modelo.condiciones = {{"Id_Empleado", ClaseLiteral::Texto, std::string(), "="},
                        {"Fecha", ClaseLiteral::Fecha, FechaHora{}, "="}};
  const FechaHora d1{2006, 8, 1, 0, 0, 0}, d2{2006, 8, 2, 0, 0, 0};
  const auto filas = [](std::vector<std::vector<Valor>> f) {
    ResultadoConsulta r;
    r.campos = {
        {"id_empleado", adChar, 15}, {"fecha", adDBTimeStamp, 16}, {"id_tipo", adVarChar, 15}};
    r.filas = std::move(f);
    return r;
  };
  Almacen b;
  const auto tipo = [&](const std::string& empleado,
                        const FechaHora& dia) -> std::optional<std::string> {
    Consulta c = modelo;
    c.condiciones[0].valor = empleado;
    c.condiciones[1].valor = dia;
    auto r = b.Toma(c);
    if (!r) return std::nullopt;
    return r->filas.empty() ? "-" : ValorComoTexto(r->filas[0][2]);
  };
  const std::vector<Valor> llaves = {"7"s, d1, "7"s, d2, "8"s, d1};
  b.Llena(modelo, llaves, filas({{"7    "s, d1, "VAC"s}}), 0);
  EXPECT_EQ(tipo("8", d1), "-");
  EXPECT_EQ(tipo("7", d2), "-");
  EXPECT_EQ(tipo("7", d1), "VAC");
  // employee 8 on another day: no key of the batch
  b.Llena(modelo, llaves, filas({{"7"s, d1, "VAC"s}, {"8"s, d2, "INC"s}}), 0);
  EXPECT_EQ(tipo("8", d1), std::nullopt);
  EXPECT_EQ(tipo("7", d1), std::nullopt);
}

TEST(BusquedasDelLote, SinLaLlaveEnLaListaNoSeSirveNada) {
  Almacen b;
  Consulta sinLlave = Modelo();
  sinLlave.columnas = {"Nombre"};
  ResultadoConsulta r;
  r.campos = {{"nombre", adVarChar, 50}};
  r.filas = {{"Ana"s}};
  b.Llena(sinLlave, {"E1"s}, r, 0);
  EXPECT_TRUE(b.Vacia());
}

}  // namespace
}  // namespace varlo
