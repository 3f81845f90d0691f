#pragma once
// The source of a table or of the absence planning: counted for the progress
// bar, past its heading lines, read and split on a thread of its own, and a
// stop the person asked for honoured between records.
#include <functional>
#include <optional>
#include <string>

#include "common/Resumen.h"
#include "db/Corrida.h"
#include "import/DivisorLineas.h"
#include "import/LectorRegistros.h"
#include "import/LecturaAnticipada.h"
#include "import/MaximoRechazos.h"
#include "import/OpcionesFuente.h"

namespace varlo {

// Detenido: at the maximum of rejections, or for a reason the summary holds.
enum class FinRecorrido { Completo, Detenido, Interrumpido };

class RecorridoFuente {
 public:
  // Sets the summary's records read and skipped. `nombre` names the work in
  // the summary, `etiqueta` in the status line "Importando datos (<etiqueta>)... (n de m)".
  RecorridoFuente(Corrida& f, std::string nombre, const std::string& etiqueta,
                  const std::string& ruta, const DivisorLineas& divisor, const OpcionesFuente& o,
                  ResumenImportacion& resumen);

  // As given, or as its byte-order mark says, before any record was read.
  const Codificacion& CodificacionArchivo() const { return codificacion_; }

  // Each record to `procesa`, then `despues` (its result lines written out).
  FinRecorrido Recorre(const std::function<void(LineaLeida)>& procesa,
                       const std::function<void()>& despues, MaximoRechazos& maximo);

  // "n de m": the lines the progress bar counted so far, of all.
  std::string LineasHechas() const;

 private:
  Corrida& f_;
  Ventana& ventana_;
  std::string nombre_;
  ResumenImportacion& resumen_;
  // the text before the counter stays: only the counter is written again
  std::string estado_;
  std::size_t antesDelContador_;
  DivisorLineas divisor_;
  LectorRegistros lector_;
  Codificacion codificacion_ = Codificacion::Ansi;  // until the constructor reads it
  // last: it reads from lector_ as soon as it exists, once past the heading lines
  std::optional<LecturaAnticipada> lectura_;
};

}  // namespace varlo
