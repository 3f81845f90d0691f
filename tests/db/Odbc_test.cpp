// The ODBC backend: refused connections (unixODBC, PostgreSQL, FreeTDS with
// no SQL Server running) end cleanly, with a negative number and without the password.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>

#include "common/ErrorVarlo.h"
#include "db/odbc/ConexionOdbc.h"

namespace varlo::db {
namespace {

// The error of a failed open and the seconds it took.
std::pair<ErrorVarlo, double> Falla(const std::string& cadena) {
  const auto inicio = std::chrono::steady_clock::now();
  ErrorVarlo error(0, "", "");
  try {
    AbreOdbc(cadena);
    ADD_FAILURE() << "abrió " << cadena;
  } catch (const ErrorVarlo& e) {
    error = e;
  }
  return {error, std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count()};
}

TEST(OdbcConexion, CadenaErroneaDaNumeroNegativoSinLaClave) {
  const std::array<std::string, 3> casos[] = {
      // nothing listens on port 1
      {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Uid=v;Pwd=Clave.Secreta-77;", "ODBC",
       "SQLSTATE 08001"},
      {"Driver={FreeTDS};Server=127.0.0.1;Port=1;UID=sa;PWD=Clave.Secreta-77;TDS_Version=7.4;",
       "FreeTDS", "SQLSTATE 08001"},
      {"DSN=FuenteQueNoExiste;Password=Clave.Secreta-77", "unixODBC", "SQLSTATE IM002"},
  };
  for (const auto& [cadena, fuente, estado] : casos) {
    const auto [e, segundos] = Falla(cadena);
    SCOPED_TRACE(e.Descripcion());
    EXPECT_EQ(e.Numero(), -2147467259);
    EXPECT_EQ(e.Fuente(), fuente);
    EXPECT_NE(e.Descripcion().find(estado), std::string::npos);
    EXPECT_EQ(e.Descripcion().find("Clave.Secreta"), std::string::npos);
    EXPECT_NE(e.Descripcion().find("=***"), std::string::npos);
    EXPECT_LT(segundos, 5.0);
  }
}

TEST(OdbcFreeTds, ServidorMudoAgotaElTiempoDeConexion) {
  // a port that takes connections into its backlog and never says a word
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in dir{};
  dir.sin_family = AF_INET;
  dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t largo = sizeof dir;
  const bool escucha = ::bind(fd, reinterpret_cast<sockaddr*>(&dir), sizeof dir) == 0 &&
                       ::listen(fd, 8) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&dir), &largo) == 0;
  const auto [e, segundos] =
      Falla("Driver={FreeTDS};Server=127.0.0.1;Port=" + std::to_string(ntohs(dir.sin_port)) +
            ";UID=sa;PWD=Otra.Clave-99;TDS_Version=7.4;");
  ::close(fd);
  ASSERT_TRUE(escucha);
  EXPECT_LT(e.Numero(), 0);
  EXPECT_NE(e.Descripcion().find("SQLSTATE HYT00"), std::string::npos) << e.Descripcion();
  EXPECT_EQ(e.Descripcion().find("Otra.Clave"), std::string::npos);
  // the login timeout, not the driver's own much longer default, ends the wait
  EXPECT_GE(segundos, 10.0);
  EXPECT_LT(segundos, 30.0);
}

}  // namespace
}  // namespace varlo::db
