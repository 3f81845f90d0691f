#pragma once
// The file of a photograph is named after a key or a name column, inside the
// photo folder. That text is data, so it must not lead out of the folder: a
// name holding a folder separator or ".." is refused, never opened.
#include <optional>
#include <string>

namespace varlo {
class Corrida;

// Why `nombre` cannot name a photograph in its folder ("/", and "\\" on
// Windows, or ".."); nothing when it can.
std::optional<std::string> MotivoNombreFoto(const std::string& nombre);

// The bulk assignment's file for one employee; for a refused name, the log
// says why, the run notes a rejection and the result is "" (no file).
std::string ArchivoFotoEmpleado(Corrida& f, const std::string& carpeta, const std::string& nombre,
                                const std::string& idEmpleado);

}  // namespace varlo
