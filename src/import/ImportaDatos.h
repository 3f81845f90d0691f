#pragma once
namespace varlo {
class Corrida;
// The table import: every table listed in "Tablas", in order.
void ImportaDatos(Corrida& f);
}  // namespace varlo
