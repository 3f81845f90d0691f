#pragma once
// The error type every layer raises: a number, a source and a description,
// as the original runtime reported them. Positive numbers are the program's
// own; negative numbers come from the database.
#include <stdexcept>
#include <string>

namespace varlo {

class ErrorVarlo : public std::runtime_error {
 public:
  ErrorVarlo(long numero, std::string fuente, std::string descripcion);

  long Numero() const noexcept { return numero_; }
  const std::string& Fuente() const noexcept { return fuente_; }
  const std::string& Descripcion() const noexcept { return descripcion_; }

 private:
  long numero_;
  std::string fuente_;
  std::string descripcion_;
};

// Numbers of the runtime errors the program raises itself.
namespace errores {
inline constexpr long ArgumentoNoValido = 5;
inline constexpr long Desbordamiento = 6;
inline constexpr long SubindiceFueraDeIntervalo = 9;
inline constexpr long TiposNoCoinciden = 13;
inline constexpr long ArchivoNoEncontrado = 53;
inline constexpr long RutaNoEncontrada = 76;
inline constexpr long ElementoNoEncontrado = 3265;
inline constexpr long SinRegistroActual = 3021;
}  // namespace errores

// Source of the errors the program finds by itself.
inline constexpr const char* kFuentePrograma = "VarloDI";

// The usual Spanish description of one of the runtime errors above.
std::string DescripcionError(long numero);

// Raises one of the runtime errors above with its usual Spanish description.
[[noreturn]] void LanzaError(long numero);
[[noreturn]] void LanzaError(long numero, std::string descripcion);

// "[" source "] Error: " number " " description: the line every handler logs.
std::string LineaError(const ErrorVarlo& e);

}  // namespace varlo
