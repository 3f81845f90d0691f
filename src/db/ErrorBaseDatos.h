#pragma once
// An error the database reported, with what it means for the run: the
// connection is gone, the database stays locked, or a key is already taken.
// It keeps the negative number and the driver's text of every database error.
//
// The class travels with the exception object only: test it on the caught
// reference (catch (const ErrorVarlo& e) { if (EsConexionPerdida(e)) ... }),
// before any copy into a plain ErrorVarlo.
#include <string>

#include "common/ErrorVarlo.h"

namespace varlo::db {

class ErrorBaseDatos : public ErrorVarlo {
 public:
  enum class Clase {
    Otro,
    ConexionPerdida,  // the server or the file cannot be reached any more
    Bloqueo,          // another writer holds the lock past the wait allowed
    ClaveDuplicada,   // a unique key or primary key refused a repeated value
    // The database cannot store anything more: its volume is full, it (or
    // its file) is read-only, or its storage fails. No record could succeed.
    Almacenamiento,
    // the server ended the transaction itself: a deadlock victim, a
    // serialization failure; the batch is done again, not the record refused
    TransaccionPerdida,
  };

  ErrorBaseDatos(long numero, std::string fuente, std::string descripcion, Clase clase)
      : ErrorVarlo(numero, std::move(fuente), std::move(descripcion)), clase_(clase) {}

  Clase ClaseError() const noexcept { return clase_; }

 private:
  Clase clase_;
};

ErrorBaseDatos::Clase ClaseDe(const ErrorVarlo& e);

// Whether an error of this class belongs to the run, not to the record that
// met it: the connection is gone, the database stays locked, or it cannot
// store anything.
bool EsClaseDeCorrida(ErrorBaseDatos::Clase c);

// The database is gone: no further statement on this connection can work.
bool EsConexionPerdida(const ErrorVarlo& e);
// The database stayed locked by another writer past the wait allowed.
bool EsBloqueo(const ErrorVarlo& e);
// An INSERT found its key already taken (a unique or primary key).
bool EsClaveDuplicada(const ErrorVarlo& e);

// The same error with another description (the password taken out), its class kept.
[[noreturn]] void RelanzaConDescripcion(const ErrorVarlo& e, std::string descripcion);

}  // namespace varlo::db
