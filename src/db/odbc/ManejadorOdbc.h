#pragma once
// Owner of one ODBC handle (environment, connection or statement). Freed on
// destruction, never throwing; a connection handle must be disconnected by
// its user before it is freed.
#include <string_view>
#include <utility>

#include "db/odbc/ErrorOdbc.h"

namespace varlo::db::odbc {

class ManejadorOdbc {
 public:
  ManejadorOdbc() = default;
  // Allocates a handle of `clase` under `padre` (none for an environment).
  ManejadorOdbc(ClaseHandle clase, const ManejadorOdbc* padre);
  ~ManejadorOdbc();

  ManejadorOdbc(ManejadorOdbc&& otro) noexcept
      : clase_(otro.clase_), handle_(std::exchange(otro.handle_, nullptr)) {}
  ManejadorOdbc& operator=(ManejadorOdbc&& otro) noexcept;
  ManejadorOdbc(const ManejadorOdbc&) = delete;
  ManejadorOdbc& operator=(const ManejadorOdbc&) = delete;

  HandleOdbc get() const noexcept { return handle_; }
  ClaseHandle clase() const noexcept { return clase_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

  // Checks the result of a call made on this handle.
  RetornoOdbc Comprueba(RetornoOdbc rc, std::string_view contexto,
                        std::string_view secreto = {}) const {
    return odbc::Comprueba(rc, clase_, handle_, contexto, secreto);
  }

  void Libera() noexcept;

 private:
  ClaseHandle clase_ = ClaseHandle::Entorno;
  HandleOdbc handle_ = nullptr;
};

}  // namespace varlo::db::odbc
