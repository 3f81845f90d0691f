#pragma once
#include <string>
namespace varlo {
class Corrida;
// Offers to generate a definitions file from the live database; returns its
// path, or "" when none was made.
std::string CreaArchivoDefiniciones(Corrida& f);

// The text that starts the connection dialog.
inline constexpr const char* kSemillaConexion =
    "User ID=;Initial Catalog=;Data Source=;Aplication Name=";
}  // namespace varlo
