#include "definitions/LectorDefiniciones.h"

#include "common/ErrorVarlo.h"
#include "common/Numeros.h"

namespace varlo {

std::string LectorDefiniciones::Texto(const std::string& seccion, const std::string& clave,
                                      const std::string& porDefecto) const {
  return ini_.API_GetPrivateProfileString(archivo_, seccion, clave, porDefecto);
}

std::int16_t LectorDefiniciones::Numero(const std::string& seccion, const std::string& clave,
                                        const std::string& porDefecto) const {
  return AEntero16(LeeNumero(Texto(seccion, clave, porDefecto)));
}

std::int32_t LectorDefiniciones::Numero32(const std::string& seccion, const std::string& clave,
                                          const std::string& porDefecto) const {
  return AEntero32(LeeNumero(Texto(seccion, clave, porDefecto)));
}

std::int16_t LectorDefiniciones::EnteroTruncado(const std::string& seccion,
                                                const std::string& clave,
                                                const std::string& porDefecto) const {
  return TruncaEntero16(LeeNumero(Texto(seccion, clave, porDefecto)));
}

std::int16_t LectorDefiniciones::NumeroEstricto(const std::string& seccion,
                                                const std::string& clave,
                                                const std::string& porDefecto) const {
  auto n = varlo::NumeroEstricto(Texto(seccion, clave, porDefecto));
  if (!n) LanzaError(errores::TiposNoCoinciden);
  return AEntero16(*n);
}

bool LectorDefiniciones::Interruptor(const std::string& seccion, const std::string& clave,
                                     const std::string& porDefecto) const {
  return Numero(seccion, clave, porDefecto) == 1;
}

bool LectorDefiniciones::InterruptorTexto(const std::string& seccion, const std::string& clave,
                                          const std::string& porDefecto) const {
  return Texto(seccion, clave, porDefecto) == "1";
}

std::string LectorDefiniciones::ClaveNumerada(const std::string& raiz, long numero) {
  return raiz + std::to_string(numero);
}

std::string LectorDefiniciones::SeparadorDeFormato(std::int16_t& formato) const {
  switch (formato) {
    case 2:
      return "\t";
    case 3:
      return ",";
    case 4:
      return Texto("Formatos Archivo Fuente", "Otro", "");
    default:
      formato = 1;
      return "";
  }
}

}  // namespace varlo
