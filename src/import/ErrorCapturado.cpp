#include "import/ErrorCapturado.h"

#include <exception>
#include <new>

namespace varlo {

ErrorVarlo ErrorCapturado() {
  try {
    throw;
  } catch (const ErrorVarlo& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return ErrorVarlo(7, kFuentePrograma, "Memoria insuficiente");
  } catch (const std::exception& e) {
    return ErrorVarlo(errores::ArgumentoNoValido, kFuentePrograma, e.what());
  } catch (...) {
    return ErrorVarlo(errores::ArgumentoNoValido, kFuentePrograma,
                      "Error definido por la aplicación o por el objeto");
  }
}

}  // namespace varlo
