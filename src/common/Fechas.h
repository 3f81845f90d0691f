#pragma once
// Calendar dates: composing a date accepts only a day the calendar has
// (nothing carries into the neighbouring months), and a year 0..99 goes
// through the two-digit-year window 1930-2029.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace varlo {

struct FechaHora {
  int anio = 1899, mes = 12, dia = 30;
  int hora = 0, minuto = 0, segundo = 0;

  bool TieneHora() const { return hora != 0 || minuto != 0 || segundo != 0; }
  friend bool operator==(const FechaHora&, const FechaHora&) = default;
};

// Year, month and day of a day that exists, with the same two-digit-year
// window: nothing carries over. A month outside 1..12, a day that its month
// does not have, or a year outside 100..9999 raises error 5 "Fecha
// inexistente".
FechaHora ComponeFechaExacta(int anio, int mes, int dia);

// Days since 1970-01-01 and back, for walking a range one day at a time.
std::int64_t DiasDesdeEpoca(const FechaHora& f);
// The fields of a date and time as the C library takes them (day of the
// week filled in; the summer-time flag left 0).
std::tm ATm(const FechaHora& f);
FechaHora FechaDeDias(std::int64_t dias);
FechaHora DiaSiguiente(const FechaHora& f);
int ComparaDias(const FechaHora& a, const FechaHora& b);  // <0, 0, >0 on the date alone

std::string FormatoISO(const FechaHora& f);      // YYYY-MM-DD
std::string FormatoISOHora(const FechaHora& f);  // YYYY-MM-DD HH:MM:SS
// The same text written in place, without a string of its own; its length
// (kLargoISOHora, unless a field does not fit that fixed form).
inline constexpr std::size_t kLargoISOHora = 19;
inline constexpr std::size_t kMaximoISOHora = 80;
std::size_t EscribeISOHora(const FechaHora& f, char (&destino)[kMaximoISOHora]);

// Parses "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (also with "T") and
// "HH:MM[:SS]"; false when the text is not such a date or names no real day.
bool LeeFechaISO(const std::string& texto, FechaHora& resultado);

// A time of day "h:mm" or "h:mm:ss" (the hour of one or two digits),
// optionally followed, with or without a space, by "a.m." or "p.m." ("am",
// "pm", any case): p.m. adds 12 to hours 1 to 11, a.m. turns 12 into 0, a
// time without suffix is a 24-hour time. Sets the time of `resultado`; false
// when the text is not such a time or names no real time.
bool LeeHoraDelDia(std::string_view texto, FechaHora& resultado);

// The current local date and time.
FechaHora Ahora();

// The clock Ahora reads. Tests fix it so that the monthly log's name and the
// log's stamps do not depend on the day they run; an empty function brings
// back the system clock.
using Reloj = std::function<FechaHora()>;
void EstableceReloj(Reloj reloj);

// The general date format of the process locale: short date, a space and
// the long time, the time left out at exactly midnight. Under the C locale
// this is the US form "8/3/2006 5:28:36 PM".
std::string FormatoFechaGeneral(const FechaHora& f);

// The "mmmyyyy" pattern: abbreviated month name of the locale and the year.
std::string FormatoMesAnio(const FechaHora& f);

}  // namespace varlo
