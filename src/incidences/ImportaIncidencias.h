#pragma once
namespace varlo {
class Corrida;
// The absence planning ("Planeacion Faltas") into Kardex, one row per employee and day.
void ImportaIncidencias(Corrida& f);
}  // namespace varlo
