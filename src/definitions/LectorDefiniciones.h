#pragma once
// Reads one key of the definitions file with its default and its
// conversion. Every engine reads its keys through here, at the moment it
// needs them, so an edited file is read as it stands at each read.
#include <cstdint>
#include <string>

#include "common/Kelto_API_INIFiles.h"

namespace varlo {

class LectorDefiniciones {
 public:
  LectorDefiniciones(const Kelto_API_INIFiles& ini, std::string archivo)
      : ini_(ini), archivo_(std::move(archivo)) {}

  const std::string& Archivo() const { return archivo_; }

  // The value, trimmed; the default when the key is missing.
  std::string Texto(const std::string& seccion, const std::string& clave,
                    const std::string& porDefecto) const;
  // The leading number, rounded half to even, as 16 bits (error 6 outside).
  std::int16_t Numero(const std::string& seccion, const std::string& clave,
                      const std::string& porDefecto) const;
  // The same held in 32 bits.
  std::int32_t Numero32(const std::string& seccion, const std::string& clave,
                        const std::string& porDefecto) const;
  // The leading number rounded down, as 16 bits.
  std::int16_t EnteroTruncado(const std::string& seccion, const std::string& clave,
                              const std::string& porDefecto) const;
  // The whole text must be a number (error 13 otherwise), rounded half to even, 16 bits.
  std::int16_t NumeroEstricto(const std::string& seccion, const std::string& clave,
                              const std::string& porDefecto) const;
  // A number whose value 1 means on.
  bool Interruptor(const std::string& seccion, const std::string& clave,
                   const std::string& porDefecto) const;
  // Only the text "1" means on.
  bool InterruptorTexto(const std::string& seccion, const std::string& clave,
                        const std::string& porDefecto) const;

  // "Tabla" + 1 gives "Tabla1": the number in decimal, no padding.
  // The separator of a source layout: 2 TAB, 3 comma, 4 the text of "Otro"
  // in "Formatos Archivo Fuente"; any other layout becomes 1 (fixed widths),
  // without one.
  std::string SeparadorDeFormato(std::int16_t& formato) const;

  static std::string ClaveNumerada(const std::string& raiz, long numero);

 private:
  const Kelto_API_INIFiles& ini_;
  std::string archivo_;
};

}  // namespace varlo
