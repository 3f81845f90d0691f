#pragma once
#include <cstdint>
#include <exception>

#include "db/Valor.h"

namespace varlo {

// One value on its way to its column.
struct ValorConvertido {
  enum class Estado : std::uint8_t {
    SinConvertir,  // left to the record's writer
    NoSeAsigna,    // empty, or a date whose day or month is 0
    Foto,          // empty in a picture column: the writer takes its file
    Listo,         // `valor` is what the column takes
    Fallido,       // `error` is why the column refuses it
  };
  Estado estado = Estado::SinConvertir;
  db::Valor valor;
  std::exception_ptr error;
};

}  // namespace varlo
