#pragma once
// The error a call must raise, copied with its class (a plain copy would lose
// it); a failure, and number 0, when the call raises none.
#include <gtest/gtest.h>

#include "db/ErrorBaseDatos.h"

namespace varlo::prueba {

template <class F>
db::ErrorBaseDatos ErrorDe(F&& llamada) {
  try {
    llamada();
  } catch (const ErrorVarlo& e) {
    return db::ErrorBaseDatos(e.Numero(), e.Fuente(), e.Descripcion(), db::ClaseDe(e));
  }
  ADD_FAILURE() << "no hubo error";
  return db::ErrorBaseDatos(0, "", "", db::ErrorBaseDatos::Clase::Otro);
}

}  // namespace varlo::prueba
