// Number reading, dates, text and encoding rules of the original runtime.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <tuple>

#include "common/Codificacion.h"
#include "common/ErrorVarlo.h"
#include "common/Fechas.h"
#include "common/Numeros.h"
#include "common/Texto.h"

namespace varlo {
namespace {

long NumeroDeError(const std::function<void()>& f) {
  try {
    f();
  } catch (const ErrorVarlo& e) {
    return e.Numero();
  }
  return 0;
}

// The leading number of a text: blanks inside are skipped, "." is the only
// decimal separator. The strict reading needs the whole text to be one.
TEST(LeeNumero, ReadsTheLeadingNumberAndStrictlyTheWholeText) {
  const std::pair<const char*, double> casos[] = {
      {"1.5", 1.5},   {"1abc", 1},    {"", 0},    {"abc", 0},  {"  -12", -12}, {"1 2\t3", 123},
      {"1.2.3", 1.2}, {"2e3x", 2000}, {"1,5", 1}, {".5", 0.5}, {"1e", 1}};
  for (const auto& [texto, numero] : casos) EXPECT_DOUBLE_EQ(LeeNumero(texto), numero) << texto;
  EXPECT_EQ(NumeroEstricto(" 12 "), 12);
  EXPECT_EQ(NumeroEstricto("-1.5"), -1.5);
  for (const char* malo : {"abc", "12a", ""}) EXPECT_FALSE(NumeroEstricto(malo)) << malo;
}

// The C library's strtod is the judge: every digit string, short or long,
// with or without a fraction, reads as the same double, bit for bit.
TEST(LeeNumero, AgreesWithStrtodBitForBit) {
  std::mt19937 siguiente(12345);
  for (int vuelta = 0; vuelta < 20000; ++vuelta) {
    std::string texto = siguiente() % 4 == 0 ? "-" : "";
    const unsigned enteras = siguiente() % 19, decimales = siguiente() % 25;
    for (unsigned k = 0; k < enteras; ++k) texto += static_cast<char>('0' + siguiente() % 10);
    if (decimales > 0 || enteras == 0) texto += '.';
    for (unsigned k = 0; k < decimales; ++k) texto += static_cast<char>('0' + siguiente() % 10);
    if (texto == "." || texto == "-.") continue;
    const double esperado = std::strtod(texto.c_str(), nullptr);
    const double leido = LeeNumero(texto);
    EXPECT_EQ(std::memcmp(&esperado, &leido, sizeof leido), 0) << texto;
    EXPECT_EQ(NumeroEstricto(" " + texto + " "), esperado) << texto;
  }
}

// Halves go to the even neighbour; what does not fit is an overflow (6).
TEST(Enteros, HalvesGoToTheEvenNeighbourAndOutOfRangeIsOverflow) {
  for (const auto& [v, entero] : std::vector<std::pair<double, int>>{
           {1.5, 2}, {2.5, 2}, {0.5, 0}, {-1.5, -2}, {32767.4, 32767}})
    EXPECT_EQ(AEntero16(v), entero) << v;
  EXPECT_EQ(TruncaEntero16(2.9), 2);
  EXPECT_EQ(TruncaEntero16(-0.5), -1);
  // 32767.5 rounds to 32768
  for (const double v : {40000.0, 32767.5, -32769.0})
    EXPECT_EQ(NumeroDeError([=] { AEntero16(v); }), 6) << v;
  EXPECT_EQ(NumeroDeError([] { AEntero32(3e9); }), 6);
  EXPECT_EQ(NumeroDeError([] { Suma16(32760, 8); }), 6);
  EXPECT_EQ(Suma16(32760, 7), 32767);
}

TEST(Enteros, DecimalTextRoundsOnItsDigits) {
  for (const auto& [texto, esperado] : std::vector<std::pair<const char*, const char*>>{
           {" 1500.00 ", "1500"},
           {"2.5", "2"},
           {"-3.5", "-4"},
           {".5", "0"},
           {"2.5000001", "3"},
           {"-99.9", "-100"},
           {"9223372036854775806.5", "9223372036854775806"},  // beyond a double
           {"1.2.3", "1.2.3"},
           {"1e3", "1e3"}})  // not a plain decimal: left as it is
    EXPECT_EQ(RedondeaDecimal(texto), esperado) << texto;
}

// Every day of years 100..9999 as the day count walks them composes to
// itself, and the day after each month's last one is refused: nothing carries
// over into a neighbouring month or year. Two-digit years fall in 1930..2029.
TEST(Fechas, ComposingAgreesWithTheDayCountOnEveryDay) {
  const std::int64_t primero = DiasDesdeEpoca(FechaHora{100, 1, 1});
  const std::int64_t ultimo = DiasDesdeEpoca(FechaHora{9999, 12, 31});
  long fallos = 0, meses = 0;
  for (std::int64_t d = primero; d <= ultimo; ++d) {
    const FechaHora f = FechaDeDias(d);
    if (!(ComponeFechaExacta(f.anio, f.mes, f.dia) == f)) ++fallos;
    if (FechaDeDias(d + 1).mes != f.mes) {
      ++meses;
      if (NumeroDeError([&] { ComponeFechaExacta(f.anio, f.mes, f.dia + 1); }) != 5) ++fallos;
    }
  }
  EXPECT_EQ(fallos, 0);
  EXPECT_EQ(meses, 9900 * 12);
  for (const FechaHora f : {FechaHora{2004, 2, 29}, FechaHora{2000, 2, 29}})
    EXPECT_EQ(ComponeFechaExacta(f.anio, f.mes, f.dia), f);
  const std::tuple<int, int, int> fuera[] = {{2005, 13, 1},  {2005, 3, 0},  {2005, 0, 15},
                                             {2005, 1, 400}, {10000, 1, 1}, {-1, 1, 1}};
  for (auto [y, m, d] : fuera)
    EXPECT_EQ(NumeroDeError([=] { ComponeFechaExacta(y, m, d); }), 5) << y << "-" << m << "-" << d;
  for (const auto& [dos, anio] :
       {std::pair{29, 2029}, {30, 1930}, {0, 2000}, {99, 1999}, {100, 100}})
    EXPECT_EQ(ComponeFechaExacta(dos, 1, 1).anio, anio) << dos;
}

TEST(Fechas, GeneralFormatAndMonthUnderTheCLocale) {
  std::setlocale(LC_TIME, "C");
  FechaHora f{2006, 8, 3, 17, 28, 36};
  EXPECT_EQ(FormatoFechaGeneral(f), "8/3/2006 5:28:36 PM");
  EXPECT_EQ(FormatoFechaGeneral(FechaHora{2006, 8, 3, 0, 5, 0}), "8/3/2006 12:05:00 AM");
  EXPECT_EQ(FormatoFechaGeneral(FechaHora{2006, 12, 25, 12, 0, 0}), "12/25/2006 12:00:00 PM");
  EXPECT_EQ(FormatoFechaGeneral(FechaHora{2006, 8, 3}), "8/3/2006");  // midnight: no time
  EXPECT_EQ(FormatoMesAnio(f), "Aug2006");
}

TEST(Fechas, IsoTextOfEveryDateItStoresReadsBack) {
  // the digits written by hand, checked against the general path and read back
  for (const FechaHora f : {FechaHora{2005, 12, 25, 21, 30, 5}, FechaHora{1899, 12, 30, 0, 0, 0},
                            FechaHora{9999, 1, 9, 23, 59, 59}, FechaHora{45, 3, 4, 7, 8, 9}}) {
    char esperado[40];
    std::snprintf(esperado, sizeof esperado, "%04d-%02d-%02d %02d:%02d:%02d", f.anio, f.mes, f.dia,
                  f.hora, f.minuto, f.segundo);
    EXPECT_EQ(FormatoISOHora(f), esperado);
    FechaHora leida;
    ASSERT_TRUE(LeeFechaISO(FormatoISOHora(f), leida));
    EXPECT_EQ(leida, f);
  }
  // what does not fit the fixed form keeps the general one
  EXPECT_EQ(FormatoISOHora(FechaHora{12345, 1, 2, 3, 4, 5}), "12345-01-02 03:04:05");
  EXPECT_EQ(FormatoISO(FechaHora{2005, 12, 25, 21, 30, 5}), "2005-12-25");
  EXPECT_EQ(FormatoISO(FechaHora{12345, 1, 2}), "12345-01-02");
}

// The usual forms are read by hand: on any digits in them, the verdict and
// the value are the calendar's (std::chrono judges the day).
TEST(Fechas, IsoDigitsAreReadAsTheCalendarSays) {
  std::mt19937 azar(7);
  const auto cifras = [&azar](int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += static_cast<char>('0' + azar() % 10);
    return r;
  };
  int validas = 0;
  for (int i = 0; i < 20000; ++i) {
    // months and days near their limits more often than not
    const std::string anio = i % 7 ? std::to_string(1890 + azar() % 150) : cifras(4);
    const std::string mes = i % 5 ? (azar() % 2 ? "0" : "1") + cifras(1) : cifras(2);
    const std::string dia = i % 3 ? std::to_string(20 + azar() % 12).substr(0, 2) : cifras(2);
    std::string texto = anio + "-" + mes + "-" + dia;
    const bool conHora = azar() % 2;
    if (conHora)
      texto += std::string(azar() % 2 ? " " : "T") + cifras(2) + ":" + cifras(2) + ":" + cifras(2);
    const int y = std::stoi(anio), mo = std::stoi(mes), d = std::stoi(dia);
    const int h = conHora ? std::stoi(texto.substr(11, 2)) : 0;
    const int mi = conHora ? std::stoi(texto.substr(14, 2)) : 0;
    const int se = conHora ? std::stoi(texto.substr(17, 2)) : 0;
    const bool esperada = y >= 1 &&
                          std::chrono::year_month_day(std::chrono::year(y),
                                                      std::chrono::month(static_cast<unsigned>(mo)),
                                                      std::chrono::day(static_cast<unsigned>(d)))
                              .ok() &&
                          h <= 23 && mi <= 59 && se <= 59;
    FechaHora leida;
    ASSERT_EQ(LeeFechaISO(texto, leida), esperada) << texto;
    if (!esperada) continue;
    ++validas;
    EXPECT_EQ(leida, (FechaHora{y, mo, d, h, mi, se})) << texto;
  }
  EXPECT_GT(validas, 3000);
  // the same length with a letter or another separator is not that form
  FechaHora leida;
  for (const char* otra :
       {"2023-1a-01", "2023/01/01", "2023-01-01x12:00:00", "2023-01-01 12:0a:00"})
    EXPECT_FALSE(LeeFechaISO(otra, leida)) << otra;
}

// Cutting by characters skips whole ASCII words at a time: on any bytes,
// stray continuation bytes and cuts past the end included, it must land
// where stepping one character at a time lands.
TEST(Texto, CuttingByCharactersLandsWhereOneByOneDoes) {
  auto unoAUno = [](std::string_view s, std::size_t i, std::int64_t n) {
    while (i < s.size() && n-- > 0) {
      ++i;
      while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
  };
  const std::string piezas[] = {"a", "Z", " ", "é", "€", "\x80", "\xBF", "𝄞"};
  std::mt19937 siguiente(99);
  for (int vuelta = 0; vuelta < 3000; ++vuelta) {
    std::string s;
    const bool ascii = vuelta % 2 == 0;
    for (unsigned k = siguiente() % 40; k > 0; --k)
      s += ascii && siguiente() % 8 ? std::string(1, static_cast<char>('a' + siguiente() % 26))
                                    : piezas[siguiente() % 8];
    const std::size_t desde = s.empty() ? 0 : siguiente() % (s.size() + 2);
    const std::int64_t cuantos = siguiente() % 45;
    EXPECT_EQ(AvanzaCaracteres(s, desde, cuantos), unoAUno(s, desde, cuantos)) << s;
  }
}

TEST(Texto, TrimmingRemovesSpacesButNotTabs) {
  EXPECT_EQ(Recorta("  a b  "), "a b");
  EXPECT_EQ(Recorta("\ta\t"), "\ta\t");
  EXPECT_EQ(Recorta("   "), "");
  EXPECT_EQ(Recorta(""), "");
  EXPECT_EQ(Recorta("x"), "x");
  EXPECT_EQ(Recorta(" " + std::string(40, 'n') + " "), std::string(40, 'n'));
  // the view form points into the text it trims
  const std::string relleno = "  a b \t  ";
  EXPECT_EQ(RecortaVista(relleno).data(), relleno.data() + 2);
  EXPECT_EQ(RecortaVista(relleno), "a b \t");
  EXPECT_TRUE(RecortaVista("    ").empty());
  EXPECT_TRUE(EstaEnBlanco("   "));
  EXPECT_FALSE(EstaEnBlanco(" \t "));
}

TEST(Texto, SplitKeepsEmptyPiecesAndIgnoresCaseWhenAsked) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Divide("a||b|", "|"), (V{"a", "", "b", ""}));
  EXPECT_EQ(Divide("", ","), V{});
  EXPECT_EQ(Divide("abc", ""), V{"abc"});
  EXPECT_EQ(Divide("1xY2XY3", "xy", true), (V{"1", "2", "3"}));
  EXPECT_EQ(Divide("1xY2XY3", "xy", false), V{"1xY2XY3"});
  EXPECT_EQ(BuscaSinCaso("EmPlEaDo", "plea"), 2u);
  // one byte: a letter still matches either case, any other byte only itself
  EXPECT_EQ(BuscaSinCaso("abXc", "x"), 2u);
  EXPECT_EQ(BuscaSinCaso("a,b;c", ";", 2), 3u);
  EXPECT_EQ(BuscaSinCaso("a,b", ",", 2), std::string::npos);
  EXPECT_EQ(BuscaSinCaso("a,b", ",", 9), std::string::npos);
  EXPECT_EQ(QuitaCorchetes("[Fecha Alta]"), "Fecha Alta");
  EXPECT_EQ(DuplicaApostrofos("O'Brien''"), "O''Brien''''");
}

TEST(Codificacion, Windows1252RoundTrip) {
  std::string utf8 = "Año € ñÑ áé \"x\"";
  std::string ansi = Utf8AAnsi(utf8);
  EXPECT_EQ(ansi, "A\xF1o \x80 \xF1\xD1 \xE1\xE9 \"x\"");
  EXPECT_EQ(AnsiAUtf8(ansi), utf8);
  EXPECT_EQ(Utf8AAnsi("日本 ok"), "?? ok");
  EXPECT_EQ(Utf8AAnsi(std::string("a\xFF"
                                  "b")),
            "a?b");  // invalid UTF-8
  // the bytes Windows-1252 leaves undefined survive a round trip
  std::string indefinidos("a\x81\x8D\x8F\x90\x9Dz");
  EXPECT_EQ(AnsiAUtf8(indefinidos).size(), 12u);
  EXPECT_EQ(Utf8AAnsi(AnsiAUtf8(indefinidos)), indefinidos);
}

}  // namespace
}  // namespace varlo
