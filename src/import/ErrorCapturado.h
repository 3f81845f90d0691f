#pragma once
// Inside a catch block: the error being handled as the program's error type,
// so that every scope reports a number, a source and a description.
#include "common/ErrorVarlo.h"

namespace varlo {
ErrorVarlo ErrorCapturado();
}  // namespace varlo
