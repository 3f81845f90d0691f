#pragma once
// Fixes the clock the program reads (Ahora) while the object lives, so that
// the monthly log's name and the log's stamps are known before the test runs.
#include "common/Fechas.h"

namespace varlo::prueba {

// Thursday 3 August 2006, 5:28:36 PM: under the C locale the log is
// "VarloDI_Aug2006.log" and its lines end in "(8/3/2006 5:28:36 PM)".
inline constexpr FechaHora kMomentoFijo{2006, 8, 3, 17, 28, 36};

class RelojFijo {
 public:
  explicit RelojFijo(FechaHora momento = kMomentoFijo) { Pon(momento); }
  ~RelojFijo() { EstableceReloj({}); }
  RelojFijo(const RelojFijo&) = delete;
  RelojFijo& operator=(const RelojFijo&) = delete;

  void Pon(FechaHora momento) {
    EstableceReloj([momento] { return momento; });
  }
};

}  // namespace varlo::prueba
