#pragma once
// The run's --max-rechazos for a table or the absence planning: a file that
// is mostly wrong is not worth reading to its end. Its rejections are those
// reported plus those of the batch not reported yet (a batch done again
// counts its lines once). The stop can come inside the lines read ahead,
// also the last ones: it is said once, wherever it came.
#include <string>
#include <utility>

#include "common/Resumen.h"
#include "db/Corrida.h"

namespace varlo {

class MaximoRechazos {
 public:
  // `quien`: what stops ("La tabla Empleado"); `recarga`: a reload, undone there.
  MaximoRechazos(Corrida& f, std::string quien, ResumenImportacion& resumen,
                 const long& sinReportar, bool recarga = false)
      : f_(f), quien_(std::move(quien)), resumen_(resumen), sinReportar_(sinReportar) {
    if (recarga) despues_ = "se deshizo su recarga: conserva sus filas y archivos anteriores";
  }

  bool Alcanzado() const {
    return f_.opciones.maxRechazos > 0 &&
           resumen_.rechazadas + sinReportar_ >= f_.opciones.maxRechazos;
  }

  // Whether the work stopped (at the maximum, or for a reason already
  // given); the first time at the maximum it says so, in the summary's
  // reason and where the person is.
  bool SeDetuvo() {
    if (!resumen_.motivo.empty()) return true;
    if (!Alcanzado()) return false;
    resumen_.motivo = quien_ + " se detuvo al llegar a " +
                      std::to_string(resumen_.rechazadas + sinReportar_) + " líneas rechazadas; " +
                      despues_;
    f_.EscribeFalla(resumen_.motivo);
    return true;
  }

 private:
  Corrida& f_;
  std::string quien_;
  std::string despues_ = "el resto no se procesó";
  ResumenImportacion& resumen_;
  const long& sinReportar_;
};

}  // namespace varlo
