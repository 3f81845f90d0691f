#pragma once
// The headline of a run's end, from its exit status: the last line the
// console prints and the status the window is left showing, so both front
// ends tell the same end in the same words.
#include <string>

namespace varlo {

std::string TextoFin(int estado);

}  // namespace varlo
