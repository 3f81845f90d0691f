#include "images/NombreFoto.h"

#include "common/Plataforma.h"
#include "db/Corrida.h"

namespace varlo {

std::optional<std::string> MotivoNombreFoto(const std::string& nombre) {
  bool separador = nombre.find('/') != std::string::npos;
#ifdef _WIN32
  separador = separador || nombre.find('\\') != std::string::npos;
#endif
  if (!separador && nombre.find("..") == std::string::npos) return std::nullopt;
  return "El nombre de fotografía \"" + nombre +
         "\" saldría de su carpeta: no puede llevar \"/\" ni \"..\"";
}

std::string ArchivoFotoEmpleado(Corrida& f, const std::string& carpeta, const std::string& nombre,
                                const std::string& idEmpleado) {
  if (auto motivo = MotivoNombreFoto(nombre)) {
    f.EscribeAviso("No se pudo asignar la fotografía del empleado " + idEmpleado + ": " + *motivo);
    f.NotaRechazo();
    return std::string();
  }
  return UneRuta(carpeta, nombre + ".jpg");
}

}  // namespace varlo
