#pragma once
// What a person needs after the system's reason for a refused value: the
// column, the value and what the column expected, e.g.
// "FechaAlta='99/99/9999' no es una fecha DD/MM/YYYY".
#include <string>

namespace varlo {

// "" when the refusal (error `numero`) says nothing about the value.
std::string DetalleRechazo(const std::string& campo, const std::string& valor, int tipoAdo,
                           long tamanoDefinido, long numero, const std::string& mascara);

}  // namespace varlo
