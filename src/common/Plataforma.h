#pragma once
// The few operating-system services the program needs beyond the standard
// library, kept in one place so that a Windows build only touches this file.
#include <string>

namespace varlo {

// Native separator between a folder and a name.
#ifdef _WIN32
inline constexpr char kSeparador = '\\';
#else
inline constexpr char kSeparador = '/';
#endif

// Folder of the running executable, without a final separator. Tests of
// in-process engines may point it elsewhere.
std::string CarpetaPrograma();
void EstableceCarpetaPrograma(std::string carpeta);

// Folder + separator + name, with no doubled separator.
std::string UneRuta(const std::string& carpeta, const std::string& nombre);

// Everything before the last separator ("" when there is none).
std::string CarpetaPadre(const std::string& ruta);

bool EntradaEsTerminal();
bool ErroresEsTerminal();

// Replaces `destino` by `temporal` in one step (rename), so a reader sees the
// old or the new file, never half of one.
bool ReemplazaAtomico(const std::string& temporal, const std::string& destino);

// Permissions rw for the owner only (a file that holds a password).
void SoloPropietario(const std::string& ruta);

}  // namespace varlo
