// The lookups of a batch fetched together: a key gets the row the database
// returned for it only when the values are equal as written, each result is
// served once, and any doubt sends the record to its own lookup.
#include "import/BusquedasAnticipadas.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/Fechas.h"
#include "db/LlaveSuelta.h"
#include "db/TiposAdo.h"

namespace varlo {
namespace {

using db::adBigInt, db::adChar, db::adDBTimeStamp, db::adInteger, db::adVarChar, db::ClaseLiteral,
    db::Consulta, db::ResultadoConsulta, db::Valor, db::ValorComoTexto;

// The store as the tests use it: keys given without their loose forms,
// and a whole result taken.
class Almacen : public BusquedasAnticipadas {
 public:
  void Llena(const Consulta& modelo, const std::vector<Valor>& llaves, ResultadoConsulta filas,
             std::size_t columnasLocalizador) {
    std::vector<std::string> sueltas;
    const std::size_t n = modelo.condiciones.size();
    for (std::size_t i = 0; i + n <= llaves.size(); i += n)
      sueltas.push_back(db::SueltaLlave(modelo.condiciones, &llaves[i]));
    BusquedasAnticipadas::Llena(modelo, llaves, sueltas, std::move(filas), columnasLocalizador, 0);
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

TEST(BusquedasAnticipadas, CadaLlaveRecibeSuFilaOSuAusenciaUnaSolaVez) {
  Almacen b;
  // a fixed-width key comes back padded; its comparison ignores the padding
  b.Llena(Modelo(), {std::string("E1"), std::string("E2")}, Filas({{std::string("E1   "), "Ana"}}),
          1);
  auto e1 = b.Toma(Busca(std::string("E1")));
  ASSERT_TRUE(e1);
  ASSERT_EQ(e1->filas.size(), 1u);
  EXPECT_EQ(ValorComoTexto(e1->filas[0][1]), "Ana");
  EXPECT_EQ(e1->campos.size(), 3u);  // the locator stays at the end of the row
  auto e2 = b.Toma(Busca(std::string("E2")));
  ASSERT_TRUE(e2);
  EXPECT_TRUE(e2->filas.empty());
  // served once: the same key again (a later line) asks the database
  EXPECT_FALSE(b.Toma(Busca(std::string("E1"))));
  // a key that was not fetched, and a query of another shape, are not served
  b.Llena(Modelo(), {std::string("E3")}, Filas({}), 1);
  EXPECT_FALSE(b.Toma(Busca(std::string("E4"))));
  Consulta otra = Busca(std::string("E3"));
  otra.columnas.push_back("Edad");
  EXPECT_FALSE(b.Toma(otra));
}

TEST(BusquedasAnticipadas, UnaLlaveRepetidaRecibeLaFilaComoLaDejoElRegistroAnterior) {
  Almacen b;
  b.Llena(Modelo(), {std::string("E1"), std::string("E2"), std::string("E1"), std::string("E1")},
          Filas({{std::string("E1"), "Ana"}, {std::string("E2"), "Eva"}}), 1);
  ASSERT_TRUE(b.Toma(Busca(std::string("E1"))));
  EXPECT_TRUE(b.SeRepite());
  b.Renueva({std::string("E1"), std::string("Ana Luisa"), std::int64_t{1}});
  // another key asked in between is served as usual, and is not asked again
  ASSERT_TRUE(b.Toma(Busca(std::string("E2"))));
  EXPECT_FALSE(b.SeRepite());
  auto otra = b.Toma(Busca(std::string("E1")));
  ASSERT_TRUE(otra);
  ASSERT_EQ(otra->filas.size(), 1u);
  EXPECT_EQ(ValorComoTexto(otra->filas[0][1]), "Ana Luisa");
  // the third record's row: not renewed (its change is unknown), it asks the database
  EXPECT_TRUE(b.SeRepite());
  EXPECT_FALSE(b.Toma(Busca(std::string("E1"))));
  // a lookup that was not served renews nothing
  b.Renueva({std::string("E1"), std::string("Otra"), std::int64_t{1}});
  EXPECT_FALSE(b.Toma(Busca(std::string("E1"))));
}

TEST(BusquedasAnticipadas, LoQueLaBaseIgualoConReglasPropiasVaASuPropiaBusqueda) {
  Almacen b;
  // "e1" found by a case-insensitive collation: neither E1 nor any key's
  // absence can be trusted
  b.Llena(Modelo(), {std::string("E1"), std::string("E2")},
          Filas({{std::string("x9"), "?"}, {std::string("e1"), "Ana"}}, adVarChar), 1);
  EXPECT_FALSE(b.Toma(Busca(std::string("E2"))));
  b.Llena(Modelo(), {std::string("E1"), std::string("E2")},
          Filas({{std::string("e1"), "Ana"}}, adVarChar), 1);
  EXPECT_FALSE(b.Toma(Busca(std::string("E1"))));
  ASSERT_TRUE(b.Toma(Busca(std::string("E2"))));

  // a variable-width value keeps its trailing spaces: "E1 " is not "E1"
  b.Llena(Modelo(), {std::string("E1")}, Filas({{std::string("E1 "), "Ana"}}, adVarChar), 1);
  EXPECT_FALSE(b.Toma(Busca(std::string("E1"))));

  // "007" and "7" in one batch: both go to the database
  const ClaseLiteral n = ClaseLiteral::Numero;
  b.Llena(Modelo(n), {std::int64_t{7}, std::string("007"), std::int64_t{8}},
          Filas({{std::int64_t{7}, "Ana"}}, adInteger), 1);
  EXPECT_FALSE(b.Toma(Busca(std::string("007"), n)));
  EXPECT_FALSE(b.Toma(Busca(std::string("7"), n)));
  auto ocho = b.Toma(Busca(std::string("8"), n));
  ASSERT_TRUE(ocho);
  EXPECT_TRUE(ocho->filas.empty());

  // plain digits and any other way of writing the same number meet: "0007"
  // and "7.0", "000000000000009" and "9e0", "1234567890123456" and a
  // 17-digit "01234567890123456" all doubt each other
  b.Llena(
      Modelo(n),
      {std::string("0007"), std::string("7.0"), std::string("000000000000009"), std::string("9e0"),
       std::string("1234567890123456"), std::string("01234567890123456"), std::string("10")},
      Filas({}, adInteger), 1);
  for (const char* dudosa :
       {"0007", "7.0", "000000000000009", "9e0", "1234567890123456", "01234567890123456"})
    EXPECT_FALSE(b.Toma(Busca(std::string(dudosa), n))) << dudosa;
  auto diez = b.Toma(Busca(std::string("10"), n));
  ASSERT_TRUE(diez);
  EXPECT_TRUE(diez->filas.empty());
}

TEST(BusquedasAnticipadas, ElOrdenEnQuePreguntanLosRegistrosNoCambiaLoQueRecibe) {
  Almacen b;
  const auto nombre = [&](const char* llave) -> std::optional<std::string> {
    auto r = b.Toma(Busca(std::string(llave)));
    if (!r) return std::nullopt;
    return r->filas.empty() ? std::string("-") : ValorComoTexto(r->filas[0][1]);
  };
  const ResultadoConsulta filas =
      Filas({{std::string("E1"), "Ana"}, {std::string("E3"), "Eva"}, {std::string("E4"), "Luz"}},
            adVarChar);
  // asked out of order, one key skipped and one asked twice
  b.Llena(Modelo(), {std::string("E1"), std::string("E2"), std::string("E3"), std::string("E4")},
          filas, 1);
  EXPECT_EQ(nombre("E3"), "Eva");
  EXPECT_EQ(nombre("E1"), "Ana");
  EXPECT_EQ(nombre("E4"), "Luz");
  EXPECT_EQ(nombre("E4"), std::nullopt);
  EXPECT_EQ(nombre("E2"), "-");

  // a key equal to the next one but for its case is no key of the batch: it
  // is not served, and the key it may stand for under a collation no longer is
  b.Llena(Modelo(), {std::string("E1"), std::string("E3")},
          Filas({{std::string("E1"), "Ana"}, {std::string("E3"), "Eva"}}, adVarChar), 1);
  EXPECT_EQ(nombre("e1"), std::nullopt);
  EXPECT_EQ(nombre("E1"), std::nullopt);
  EXPECT_EQ(nombre("E3"), "Eva");

  // a key given twice in the batch is served once
  b.Llena(Modelo(), {std::string("E1"), std::string("E1"), std::string("E2")},
          Filas({{std::string("E1"), "Ana"}}, adVarChar), 1);
  EXPECT_EQ(nombre("E1"), "Ana");
  EXPECT_EQ(nombre("E1"), std::nullopt);
  EXPECT_EQ(nombre("E2"), "-");
}

// A key of an employee and a day: a row is matched by both values, each
// compared exactly (a fixed-width employee padded); a row that matches a
// key by one of them only is no row of it, and leaves nothing trusted.
TEST(BusquedasAnticipadas, UnaLlaveDeDosColumnasSeComparaPorAmbas) {
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
  const std::vector<Valor> llaves = {std::string("7"), d1, std::string("7"), d2,
                                     std::string("8"), d1};
  b.Llena(modelo, llaves, filas({{std::string("7    "), d1, std::string("VAC")}}), 0);
  EXPECT_EQ(tipo("8", d1), "-");
  EXPECT_EQ(tipo("7", d2), "-");
  EXPECT_EQ(tipo("7", d1), "VAC");
  // employee 8 on another day: no key of the batch
  b.Llena(modelo, llaves,
          filas({{std::string("7"), d1, std::string("VAC")},
                 {std::string("8"), d2, std::string("INC")}}),
          0);
  EXPECT_EQ(tipo("8", d1), std::nullopt);
  EXPECT_EQ(tipo("7", d1), std::nullopt);
}

TEST(BusquedasAnticipadas, SinLaLlaveEnLaListaNoSeSirveNada) {
  Almacen b;
  Consulta sinLlave = Modelo();
  sinLlave.columnas = {"Nombre"};
  ResultadoConsulta r;
  r.campos = {{"nombre", adVarChar, 50}};
  r.filas = {{std::string("Ana")}};
  b.Llena(sinLlave, {std::string("E1")}, r, 0);
  EXPECT_TRUE(b.Vacia());
}

}  // namespace
}  // namespace varlo
