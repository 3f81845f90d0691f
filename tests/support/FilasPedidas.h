#pragma once
// On PostgreSQL, the rows a table was asked to take, kept or rolled back: a
// row trigger draws from a sequence, which no rollback takes back. Read as
// the sequence's last_value.
#include <string>
#include <vector>

namespace varlo::prueba {

inline constexpr const char* kFilasPedidas = "filas_pedidas";

// The statements that set the count up on `tabla`.
inline std::vector<std::string> CuentaFilasPedidas(const std::string& tabla) {
  return {std::string("create sequence ") + kFilasPedidas,
          std::string("create function cuenta_filas() returns trigger language plpgsql as "
                      "$$ begin perform nextval('") +
              kFilasPedidas + "'); return new; end $$",
          "create trigger cuenta_filas before insert on " + tabla +
              " for each row execute function cuenta_filas()"};
}

}  // namespace varlo::prueba
