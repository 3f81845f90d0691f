#pragma once
#include <string>
namespace varlo {
class frmMain;
// Offers to generate a definitions file from the live database; returns its
// path, or "" when none was made.
std::string CreaArchivoDefiniciones(frmMain& f);

// The text that starts the connection dialog.
inline constexpr const char* kSemillaConexion =
    "User ID=;Initial Catalog=;Data Source=;Aplication Name=";
}  // namespace varlo
