// The console's connection prompts: the PostgreSQL choice writes the native
// provider's string, read back by the database layer's own parser.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/VentanaConsola.h"
#include "db/CadenaConexion.h"

namespace varlo {
namespace {

TEST(ConsoleConnection, PostgreSqlPromptsWriteTheNativeString) {
  // the first try lacks the database and is not tried; the second is
  // refused by the server; the third opens (the port kept at its default)
  std::istringstream entrada(
      "4\ndb.local\n\n\nana\nx\n"
      "4\n\n\nno_existe\n\n x;y \n"
      "4\n\n\nrh\n\n x;y \n");
  std::ostringstream salida;
  std::vector<std::string> probadas;
  auto probar = [&](const std::string& c) {
    probadas.push_back(c);
    return c.find("no_existe") != std::string::npos ? std::string("no existe") : std::string();
  };
  VentanaConsola v(entrada, salida, true, false);
  const std::optional<std::string> cadena = v.ComponeConexion("", probar);
  const std::string esperada =
      "Provider=PostgreSQL;Data Source=db.local;Port=5432;Initial Catalog=rh;User ID=ana;"
      "Password=\" x;y \"";
  EXPECT_EQ(cadena, esperada);
  EXPECT_EQ(probadas.size(), 2u);
  const std::string s = salida.str();
  EXPECT_NE(s.find("La prueba de conexión falló: Falta la base de datos.\n"), std::string::npos)
      << s;
  EXPECT_NE(s.find("La prueba de conexión falló: no existe\n"), std::string::npos) << s;
  std::map<std::string, std::string> leidos;
  for (const auto& [clave, valor] : db::LeePares(cadena.value_or(""))) leidos[clave] = valor;
  EXPECT_EQ(leidos["Password"], " x;y ");
  EXPECT_EQ(leidos["Initial Catalog"], "rh");
}

}  // namespace
}  // namespace varlo
