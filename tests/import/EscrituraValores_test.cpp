// Values by type as the record write converts them.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

#include "common/ErrorVarlo.h"
#include "common/Numeros.h"
#include "import/EscrituraRegistro.h"
#include "import/MascaraFecha.h"

namespace varlo::prueba {
namespace {

TEST(EscrituraValores, Booleanos) {
  for (const char* falso : {"No", "n", "F", "falso", "False", "0", "0.0", "-0"})
    EXPECT_FALSE(ValorBooleano(falso)) << falso;
  for (const char* cierto : {"Si", "S", "Verdadero", "true", "1", "-1", "2", "x"})
    EXPECT_TRUE(ValorBooleano(cierto)) << cierto;
  // digits alone read as the number they write, whatever their length
  for (std::size_t largo = 1; largo <= 400; largo += 7)
    for (std::size_t uno = 0; uno <= largo; uno += largo / 3 + 1) {
      std::string cifras(largo, '0');
      if (uno < largo) cifras[uno] = static_cast<char>('1' + largo % 9);
      EXPECT_EQ(ValorBooleano(cifras), *NumeroEstricto(cifras) != 0) << cifras;
    }
}

// How the record write reads a date value: "YYYY-MM-DD[ HH:MM:SS]", "sin
// cambio" when the column is left as it was, or "error N".
std::string Lectura(const char* mascara, const char* valor) {
  try {
    auto f = FechaYHoraDeMascara(valor, MascaraFecha::Desde(mascara));
    return f ? (f->TieneHora() ? FormatoISOHora(*f) : FormatoISO(*f)) : "sin cambio";
  } catch (const ErrorVarlo& e) {
    return "error " + std::to_string(e.Numero());
  }
}

// The usual dates, with and without their zeros, in each mask, are judged by
// PostgreSQL (FechasComparadas); here, what it cannot be asked about: values
// laid over the mask, and values without their zeros read between separators.
TEST(EscrituraValores, FechasEnLaMascaraYSinCerosEntreSeparadores) {
  const std::vector<std::tuple<const char*, const char*, const char*>> casos = {
      // fixed width: the mask is laid over the value as read, spaces included
      {"DD/MM/YYYY", " 5/03/2010  ", "2010-03-05"},
      {"DD/MM/YYYY", "25/12/2005 14:30:00", "2005-12-25 14:30:00"},
      {"DD/MM/YYYY", "25/12/2005 nota", "2005-12-25"},
      // a day that does not exist is refused: nothing carries over
      {"DD/MM/YYYY", "31/02/2006", "error 5"},
      {"DD/MM/YYYY", "01/13/2006", "error 5"},
      {"DD/MM/YYYY", "29/02/2007", "error 5"},
      {"YYYYMMDD", "19000229", "error 5"},
      // a month or day of 0 (or not a number) leaves the column as it was
      {"DD/MM/YYYY", "25/00/2005", "sin cambio"},
      {"DD/MM/YYYY", "00/12/2005", "sin cambio"},
      {"DD/MM/YYYY", "xx/12/2005", "sin cambio"},
      {"DD/MM/YYYY", "01/01/20x1", "error 13"},
      {"DD/MM", "25/12", "error 5"},  // no year in the mask
      // two-digit years: 00-29 in this century, 30-99 in the last
      {"YYMMDD", "291225", "2029-12-25"},
      {"YYMMDD", "301225", "1930-12-25"},
      // without zeros, between separators
      {"DD/MM/YYYY", "5/3/2010", "2010-03-05"},
      {"YYYY-M-D", "2010-1-15", "2010-01-15"},  // not the "1" at the mask's place
      {"DD/MM/YYYY", "  5/3/2010", "2010-03-05"},
      // the year as written, not two digits of it at the mask's place
      {"DD/MM/YY", "05/03/2010", "2010-03-05"},
      {"DD/MM/YYYY", "5/3/10", "2010-03-05"},
      {"DD/MM/YYYY", "5/3/45", "1945-03-05"},
      // a time after the date, as with the zeros
      {"DD/MM/YYYY", "5/3/2010 8:30", "2010-03-05 08:30:00"},
      {"DD/MM/YYYY", "5/3/2010 25:00", "error 13"},
      // the same rules as at the mask's places
      {"DD/MM/YYYY", "0/3/2010", "sin cambio"},
      {"DD/MM/YYYY", "31/2/2006", "error 5"},
      {"DD/MM/YYYY", "5/13/2010", "error 5"},
      {"DD/MM/YYYY", "5/3/20101", "error 5"},
      {"DD/MM/YYYY", "5/3/2010 nota", "2010-03-05"},
      // other separators than the mask's would be cut into nonsense, unless
      // the date has the mask's length: then at its places, as always
      {"DD/MM/YYYY", "5-3-2010", "error 13"},
      {"YYYY-MM-DD", "2006/08/01", "2006-08-01"},
      {"YYYY-MM-DD", "2006/08/01 14:30", "2006-08-01 14:30:00"},
  };
  for (const auto& [mascara, valor, esperada] : casos)
    EXPECT_EQ(Lectura(mascara, valor), esperada) << mascara << " " << valor;
}

// The shortcut for the usual date cuts every value it takes exactly as the
// general rules cut it: values generated around each mask's shape (digits at
// every place, a character swapped, short, long, trailing text).
TEST(EscrituraValores, AtajoDeLaMascaraCortaComoLaReglaGeneral) {
  std::vector<MascaraFecha> mascaras;
  for (const char* t : {"YYYYMMDD", "DD/MM/YYYY", "YYYY-MM-DD", "DD.MM.YY", "YYMMDD", "MM/DD/YYYY",
                        "D/M/YYYY", "dd-mm-yyyy", "YYYY-MM-DD hh:mm", "DDMMYYYY ", "Y/M/D",
                        "YYYYMMDDx", "MMYYYY", "DD/MM/YYYY a\xC3\xB1o"})
    mascaras.push_back(MascaraFecha::Desde(t));
  // places given apart from the text, as the absence planning gives them
  MascaraFecha aparte = MascaraFecha::Desde("DD/MM/YYYY");
  aparte.InicioAnio = 9;
  aparte.LargoAnio = 2;
  aparte.InicioDia = 2;
  mascaras.push_back(aparte);

  const char* colas[] = {"",  " ",       "  14:30", "T08:30:00", "1",          "9",  "x",
                         "/", " nota  ", "\x80",    "\xC3\xA9",  "/2010 8:30", "-1", "  "};
  std::uint32_t semilla = 12345;
  auto siguiente = [&semilla] {
    semilla = semilla * 1103515245u + 12345u;
    return (semilla >> 8) & 0xFFFFu;
  };
  long atajos = 0, generales = 0;
  for (const MascaraFecha& m : mascaras) {
    for (int vuelta = 0; vuelta < 3000; ++vuelta) {
      std::string valor;
      for (char c : m.Texto) {
        const bool letra = std::string_view("YyMmDd").find(c) != std::string_view::npos;
        const unsigned dado = siguiente() % 40;
        if (dado == 0)
          valor += "-/. x"[siguiente() % 5];  // another character at this place
        else
          valor += letra ? static_cast<char>('0' + siguiente() % 10) : c;
      }
      if (siguiente() % 8 == 0) valor.resize(siguiente() % (valor.size() + 1));
      if (siguiente() % 10 == 0) valor.insert(0, " ");
      valor += colas[siguiente() % std::size(colas)];

      std::optional<VistaFecha> general;
      try {
        general = CortaFechaGeneral(valor, m);
      } catch (const ErrorVarlo&) {
      }
      if (auto atajo = CortaFechaExacta(valor, m)) {
        ++atajos;
        ASSERT_TRUE(general) << m.Texto << " [" << valor << "]";
        EXPECT_TRUE(*atajo == *general) << m.Texto << " [" << valor << "]";
      } else {
        ++generales;
      }
    }
  }
  // both roads were taken, often
  EXPECT_GT(atajos, 10000);
  EXPECT_GT(generales, 10000);
  // the usual value takes the shortcut
  EXPECT_TRUE(CortaFechaExacta("20051225  ", MascaraFecha::Desde("YYYYMMDD")));
  EXPECT_TRUE(CortaFechaExacta("25/12/2005 14:30", MascaraFecha::Desde("DD/MM/YYYY")));
}

}  // namespace
}  // namespace varlo::prueba
