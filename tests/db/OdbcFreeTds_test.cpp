// SQL Server through FreeTDS: no server runs here, so what is checked is that
// the driver loads and that an unreachable or silent server ends the open
// cleanly, with a negative number, without the password, and in bounded time.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "common/ErrorVarlo.h"
#include "db/odbc/ConexionOdbc.h"

namespace varlo::db {
namespace {

// A TCP port on 127.0.0.1 that takes connections into its backlog and never
// says a word, like a server that hangs.
class PuertoMudo {
 public:
  PuertoMudo() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0 ||
        ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&dir), &largo) != 0) {
      return;
    }
    puerto_ = ntohs(dir.sin_port);
  }
  ~PuertoMudo() {
    if (fd_ >= 0) ::close(fd_);
  }
  PuertoMudo(const PuertoMudo&) = delete;
  PuertoMudo& operator=(const PuertoMudo&) = delete;
  int Puerto() const { return puerto_; }

 private:
  int fd_ = -1;
  int puerto_ = 0;
};

struct Intento {
  ErrorVarlo error{0, "", ""};
  bool abrio = false;
  double segundos = 0;
};

Intento IntentaAbrir(const std::string& cadena) {
  Intento r;
  const auto inicio = std::chrono::steady_clock::now();
  try {
    AbreOdbc(cadena);
    r.abrio = true;
  } catch (const ErrorVarlo& e) {
    r.error = e;
  }
  r.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  return r;
}

std::string CadenaFreeTds(int puerto) {
  return "Driver={FreeTDS};Server=127.0.0.1;Port=" + std::to_string(puerto) +
         ";Database=Varlo;UID=sa;PWD=Otra.Clave-99;TDS_Version=7.4;";
}

TEST(OdbcFreeTds, ServidorInalcanzableFallaEnseguidaSinLaClave) {
  const Intento r = IntentaAbrir(CadenaFreeTds(1));
  ASSERT_FALSE(r.abrio);
  EXPECT_EQ(r.error.Numero(), -2147467259);
  // FreeTDS itself answered: the driver was found and loaded.
  EXPECT_EQ(r.error.Fuente(), "FreeTDS");
  EXPECT_NE(r.error.Descripcion().find("SQLSTATE 08001"), std::string::npos) << r.error.Descripcion();
  EXPECT_EQ(r.error.Descripcion().find("Otra.Clave"), std::string::npos) << r.error.Descripcion();
  EXPECT_NE(r.error.Descripcion().find("PWD=***"), std::string::npos) << r.error.Descripcion();
  EXPECT_LT(r.segundos, 5.0);
}

TEST(OdbcFreeTds, ServidorMudoAgotaElTiempoDeConexion) {
  PuertoMudo mudo;
  ASSERT_NE(mudo.Puerto(), 0) << "no se pudo abrir un puerto de escucha en 127.0.0.1";
  const Intento r = IntentaAbrir(CadenaFreeTds(mudo.Puerto()));
  ASSERT_FALSE(r.abrio);
  EXPECT_LT(r.error.Numero(), 0);
  EXPECT_NE(r.error.Descripcion().find("SQLSTATE HYT00"), std::string::npos) << r.error.Descripcion();
  EXPECT_EQ(r.error.Descripcion().find("Otra.Clave"), std::string::npos) << r.error.Descripcion();
  // The login timeout, not the driver's own much longer default, ends the wait.
  EXPECT_GE(r.segundos, 10.0);
  EXPECT_LT(r.segundos, 30.0);
}

}  // namespace
}  // namespace varlo::db
