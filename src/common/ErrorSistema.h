#pragma once
// Errors the operating system reports (an errno value), in the program's
// language: a folder or file the program cannot use is reported with the
// system's reason, never as a vaguer error of its own.
#include <string>

#include "common/ErrorVarlo.h"

namespace varlo {

// The system's reason in Spanish for the errors a file or folder meets
// (EACCES is "Permiso denegado"); other numbers as the C library words them
// in the current locale.
std::string TextoErrorSistema(int numero);

// The program's error for a system error on `ruta`: "reason (ruta)", under
// the runtime's number for that kind of failure.
ErrorVarlo ErrorDeSistema(int numero, const std::string& ruta);

}  // namespace varlo
