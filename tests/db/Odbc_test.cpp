// The ODBC backend: refused connections (unixODBC, PostgreSQL, FreeTDS with
// no SQL Server running) end cleanly, with a negative number and without the
// password; text crosses to and from the UTF-16 of the wide calls.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "common/ErrorVarlo.h"
#include "db/odbc/ConexionOdbc.h"
#include "db/odbc/TextoOdbc.h"

namespace varlo::db {
namespace {

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

TEST(OdbcConexion, CadenaErroneaDaNumeroNegativoSinLaClave) {
  struct Caso {
    std::string cadena, fuente, estado;
  };
  const Caso casos[] = {
      // nothing listens on port 1
      {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=varlodi;Uid=varlodi;"
       "Pwd=Clave.Secreta-77;",
       "ODBC", "SQLSTATE 08001"},
      {"Driver={FreeTDS};Server=127.0.0.1;Port=1;Database=Varlo;UID=sa;PWD=Clave.Secreta-77;"
       "TDS_Version=7.4;",
       "FreeTDS", "SQLSTATE 08001"},
      {"Driver={Controlador Inexistente};Server=x;PWD={a;Clave.Secreta-77}", "unixODBC",
       "SQLSTATE 01000"},
      {"DSN=FuenteQueNoExiste;Password=Clave.Secreta-77", "unixODBC", "SQLSTATE IM002"},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.cadena);
    const Intento r = IntentaAbrir(caso.cadena);
    ASSERT_FALSE(r.abrio);
    EXPECT_EQ(r.error.Numero(), -2147467259);
    EXPECT_EQ(r.error.Fuente(), caso.fuente);
    EXPECT_NE(r.error.Descripcion().find(caso.estado), std::string::npos) << r.error.Descripcion();
    EXPECT_EQ(r.error.Descripcion().find("Clave.Secreta"), std::string::npos);
    EXPECT_NE(r.error.Descripcion().find("=***"), std::string::npos) << r.error.Descripcion();
    EXPECT_LT(r.segundos, 5.0);
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
  const Intento r = IntentaAbrir("Driver={FreeTDS};Server=127.0.0.1;Port=" +
                                 std::to_string(ntohs(dir.sin_port)) +
                                 ";UID=sa;PWD=Otra.Clave-99;TDS_Version=7.4;");
  ::close(fd);
  ASSERT_TRUE(escucha);
  ASSERT_FALSE(r.abrio);
  EXPECT_LT(r.error.Numero(), 0);
  EXPECT_NE(r.error.Descripcion().find("SQLSTATE HYT00"), std::string::npos) << r.error.Descripcion();
  EXPECT_EQ(r.error.Descripcion().find("Otra.Clave"), std::string::npos);
  // the login timeout, not the driver's own much longer default, ends the wait
  EXPECT_GE(r.segundos, 10.0);
  EXPECT_LT(r.segundos, 30.0);
}

TEST(OdbcTexto, IdaYVueltaEntreUtf8YUtf16) {
  for (const std::string t : {"", "Peña Ñandú é", "日本語", "😀 y 𝄞"})
    EXPECT_EQ(odbc::Utf16AUtf8(odbc::Utf8AUtf16(t)), t);
  EXPECT_EQ(odbc::Utf8AUtf16(std::string("a\0ñ", 4)), std::u16string(u"a\0ñ", 3));
  EXPECT_EQ(odbc::Utf8AUtf16("😀"), std::u16string({char16_t(0xD83D), char16_t(0xDE00)}));
  // malformed input, either way, becomes U+FFFD
  EXPECT_EQ(odbc::Utf8AUtf16("a\x80z\xC3z\xC0\xAF\xED\xA0\x80!"), u"a\uFFFDz\uFFFDz\uFFFD\uFFFD!");
  EXPECT_EQ(odbc::Utf8AUtf16("\xE6\x97"), u"\uFFFD");
  EXPECT_EQ(odbc::Utf16AUtf8(std::u16string({char16_t(0xD83D), u'x', char16_t(0xDE00)})),
            "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

}  // namespace
}  // namespace varlo::db
