// Comma and TAB files written the way spreadsheets and exports write them are
// read by VarloDI and by PostgreSQL's COPY (FORMAT csv): both must give the
// same values, field by field. The corpus is generated here, the same on
// every run. Needs the test cluster (VARLODI_PG_PORT, scripts/pg-cluster).
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Codificacion.h"
#include "import/LectorRegistros.h"
#include "support/CarpetaTemporal.h"
#include "support/Orden.h"

namespace varlo {
namespace {

using V = std::vector<std::string>;
using Filas = std::vector<V>;

constexpr std::size_t kColumnas = 4;

// Values that need quoting and values that do not.
const V& Valores() {
  static const V v = {"00123",
                      "Pérez, Ana",
                      "25/12/2005",
                      "",
                      "dijo \"hola\"",
                      "línea 1\r\nlínea 2",
                      "a\nb",
                      "c\rd",
                      "  con espacios  ",
                      "tab\taquí",
                      "\"",
                      ",",
                      "\"\"",
                      "Ñandú 5€",
                      "x,\"y\",z",
                      "\"empieza",
                      "termina\"",
                      "tubo 5\" largo"};
  return v;
}

// Every value in every column, in a different company each time.
Filas Corpus() {
  const V& v = Valores();
  Filas r;
  for (std::size_t i = 0; i < 2 * v.size(); ++i) {
    r.emplace_back();
    for (std::size_t c = 0; c < kColumnas; ++c) r.back().push_back(v[(i + c * 5) % v.size()]);
  }
  return r;
}

struct Estilo {
  const char* nombre;
  char separador;
  bool siempreCitado;  // every field quoted, or only those that need it
  const char* finDeRegistro;
  bool ultimoSinFin;
  bool marca;  // UTF-8 byte-order mark
  Codificacion codificacion;
};

const Estilo kEstilos[] = {
    {"comas, comillas donde hacen falta, CR LF", ',', false, "\r\n", false, false,
     Codificacion::Utf8},
    {"comas, todo entre comillas, marca UTF-8", ',', true, "\r\n", true, true, Codificacion::Utf8},
    {"comas, LF, marca UTF-8, última sin fin", ',', false, "\n", true, true, Codificacion::Utf8},
    {"comas, CR solo", ',', true, "\r", false, false, Codificacion::Utf8},
    {"comas, Windows-1252", ',', false, "\r\n", true, false, Codificacion::Ansi},
    {"tabuladores, comillas donde hacen falta", '\t', false, "\r\n", false, false,
     Codificacion::Utf8},
    {"tabuladores, todo entre comillas, marca UTF-8", '\t', true, "\n", true, true,
     Codificacion::Utf8},
};

std::string Campo(const std::string& valor, char separador, bool siempre) {
  if (!siempre && valor.find_first_of(std::string{separador, '"', '\r', '\n'}) == std::string::npos)
    return valor;
  std::string r = "\"";
  for (char ch : valor) r += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return r + "\"";
}

// The file's bytes without the byte-order mark (COPY would take it as data).
std::string Escribe(const Filas& filas, const Estilo& e) {
  std::string bytes;
  for (std::size_t i = 0; i < filas.size(); ++i) {
    for (std::size_t c = 0; c < filas[i].size(); ++c) {
      if (c) bytes += e.separador;
      bytes += Campo(filas[i][c], e.separador, e.siempreCitado);
    }
    if (i + 1 < filas.size() || !e.ultimoSinFin) bytes += e.finDeRegistro;
  }
  return e.codificacion == Codificacion::Ansi ? Utf8AAnsi(bytes) : bytes;
}

Filas LeeVarloDI(const std::string& ruta, const Estilo& e) {
  const DivisorLineas divisor =
      DivisorLineas::Separado(std::string(1, e.separador), kColumnas).ConComillas("\"");
  LectorRegistros lector(ruta, divisor);
  lector.Lineas().EstableceCodificacion(e.codificacion);
  Filas r;
  while (!lector.AtEndOfStream()) {
    LineaLeida l = lector.Lee();
    EXPECT_FALSE(l.defecto) << l.linea << ": " << l.defecto->Descripcion();
    r.emplace_back();
    divisor.Divide(l.texto, r.back());
  }
  EXPECT_EQ(LectorRegistros::Cuenta(ruta, divisor, e.codificacion), static_cast<long>(r.size()));
  return r;
}

std::string DeHex(const std::string& hex) {
  std::string r;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    r += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return r;
}

// What COPY reads from the file: each field back as UTF-8 in hexadecimal,
// so that line breaks and separators inside values cannot blur the answer.
Filas LeePostgres(const std::string& ruta, const Estilo& e, const std::string& carpeta) {
  const V lineas = prueba::PsqlGuion(
      carpeta + "/copia.sql",
      "create temp table t (n serial, c1 text, c2 text, c3 text, c4 text);\n"
      "\\copy t (c1, c2, c3, c4) from '" +
          ruta + "' with (format csv, delimiter " + (e.separador == '\t' ? "E'\\t'" : "','") +
          ", force_not_null (c1, c2, c3, c4), encoding '" +
          (e.codificacion == Codificacion::Ansi ? "WIN1252" : "UTF8") +
          "')\n"
          "select encode(convert_to(c1, 'UTF8'), 'hex'), encode(convert_to(c2, 'UTF8'), 'hex'), "
          "encode(convert_to(c3, 'UTF8'), 'hex'), encode(convert_to(c4, 'UTF8'), 'hex') "
          "from t order by n;\n",
      "-F '|'");
  Filas r;
  for (const std::string& linea : lineas) {
    V fila;
    std::size_t desde = 0;
    for (std::size_t c = 0; c < kColumnas; ++c) {
      std::size_t barra = linea.find('|', desde);
      fila.push_back(DeHex(linea.substr(desde, barra - desde)));
      desde = barra == std::string::npos ? linea.size() : barra + 1;
    }
    r.push_back(std::move(fila));
  }
  return r;
}

TEST(ComillasContraPostgres, EveryProducerStyleReadsAsCopyReadsIt) {
  const Filas corpus = Corpus();
  for (const Estilo& e : kEstilos) {
    SCOPED_TRACE(e.nombre);
    prueba::CarpetaTemporal tmp;
    const std::string bytes = Escribe(corpus, e);
    const std::string paraCopy = tmp.Archivo("copy.csv"), paraVarlo = tmp.Archivo("varlo.csv");
    prueba::EscribeBytes(paraCopy, bytes);
    prueba::EscribeBytes(paraVarlo, (e.marca ? "\xEF\xBB\xBF" : "") + bytes);
    const Filas copy = LeePostgres(paraCopy, e, tmp.Ruta());
    const Filas varlo = LeeVarloDI(paraVarlo, e);
    ASSERT_EQ(copy.size(), corpus.size());  // COPY read every record
    EXPECT_EQ(varlo, copy);
  }
}

}  // namespace
}  // namespace varlo
