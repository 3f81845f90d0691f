#include "db/odbc/ManejadorOdbc.h"

#include <sql.h>
#include <sqlext.h>

namespace varlo::db::odbc {

ManejadorOdbc::ManejadorOdbc(ClaseHandle clase, const ManejadorOdbc* padre) : clase_(clase) {
  SQLHANDLE entrada = padre != nullptr ? padre->get() : SQL_NULL_HANDLE;
  SQLHANDLE nuevo = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(static_cast<SQLSMALLINT>(clase), entrada, &nuevo);
  // Taken before the result is checked so that nothing leaks on failure.
  handle_ = nuevo;
  if (padre != nullptr) {
    padre->Comprueba(rc, "SQLAllocHandle");
  } else if (!SQL_SUCCEEDED(rc)) {
    odbc::Comprueba(rc, clase, handle_, "SQLAllocHandle (entorno ODBC)");
  }
}

ManejadorOdbc::~ManejadorOdbc() {
  Libera();
}

ManejadorOdbc& ManejadorOdbc::operator=(ManejadorOdbc&& otro) noexcept {
  if (this != &otro) {
    Libera();
    clase_ = otro.clase_;
    handle_ = std::exchange(otro.handle_, nullptr);
  }
  return *this;
}

void ManejadorOdbc::Libera() noexcept {
  if (handle_ != nullptr) {
    // Nothing useful can be done about a failure to free.
    (void)SQLFreeHandle(static_cast<SQLSMALLINT>(clase_), handle_);
    handle_ = nullptr;
  }
}

}  // namespace varlo::db::odbc
