#pragma once
// The few operating-system services the program needs beyond the standard
// library, kept in one place so that a Windows build only touches this file.
#include <cstdio>
#include <string>
#include <string_view>

#include "common/CarpetaPrograma.h"

namespace varlo {

// Native separator between a folder and a name.
#ifdef _WIN32
inline constexpr char kSeparador = '\\';
#else
inline constexpr char kSeparador = '/';
#endif

// The program's folder, without a final separator: the one the front end
// set, else the one EligeCarpetaPrograma picks for this process. Tests of
// in-process engines point it elsewhere; "" goes back to the choice.
std::string CarpetaPrograma();
// Where temporary files go: $TMPDIR, else the system's temporary folder.
std::string CarpetaTemporales();
void EstableceCarpetaPrograma(std::string carpeta);

// What the choice of the program's folder depends on in this process; a
// relative `opcion` or VARLODI_CARPETA is taken from the current folder.
FuentesCarpeta FuentesDelProceso(const std::string& opcion);

// Creates the folder (and its parents) when missing and checks that the
// program may write in it: "" when it can be used, else the system's reason.
std::string PreparaCarpeta(const std::string& carpeta);

// Why `ruta` cannot be read as a regular file ("" when it can). Only a
// regular file is opened, and without waiting, so a FIFO or a device never blocks.
std::string MotivoNoLegible(const std::string& ruta);

// A closed standard descriptor is reopened on /dev/null, so the next file
// the program opens never takes its number (and gets the console's text).
void AbreDescriptoresEstandar();

// Folder + separator + name, with no doubled separator.
std::string UneRuta(const std::string& carpeta, const std::string& nombre);

// Everything before the last separator ("" when there is none).
std::string CarpetaPadre(const std::string& ruta);

bool EntradaEsTerminal();
bool ErroresEsTerminal();

// Replaces `destino` by `temporal` in one step (rename), so a reader sees the
// old or the new file, never half of one.
bool ReemplazaAtomico(const std::string& temporal, const std::string& destino);

// Appends `datos` to `f` in one system call where the system takes it so,
// not cut where the C library's buffer ends: a process killed meanwhile
// leaves all of it or none (only the system itself may stop it short). The
// C library must hold nothing of `f` unwritten. false on an error, the
// file then as it was (on POSIX; a volume that fills takes part of it).
bool EscribeDeUnaVez(std::FILE* f, std::string_view datos);
// Writes what `f` holds out of the C library and waits until the disk has
// it, so that a rename after it never publishes an empty or partial file
// after a crash: 0, or the system's error number.
int LlevaADisco(std::FILE* f);
// The same for a folder's entries (a rename done in it); best effort.
void LlevaCarpetaADisco(const std::string& carpeta);

// Permissions rw for the owner only (a file that holds a password).
void SoloPropietario(const std::string& ruta);

}  // namespace varlo
