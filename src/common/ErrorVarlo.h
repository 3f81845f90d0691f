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

// Every error number the program uses. The runtime's numbers keep their
// usual Spanish texts (DescripcionError); the database layer's keep the
// numbers the OLE DB provider gave, negative where the database reported them.
namespace errores {
inline constexpr long ArgumentoNoValido = 5;
inline constexpr long Desbordamiento = 6;
inline constexpr long MemoriaInsuficiente = 7;
inline constexpr long SubindiceFueraDeIntervalo = 9;
inline constexpr long TiposNoCoinciden = 13;
inline constexpr long NombreArchivoIncorrecto = 52;
inline constexpr long ArchivoNoEncontrado = 53;
inline constexpr long ErrorEntradaSalida = 57;
inline constexpr long DiscoLleno = 61;
inline constexpr long PermisoDenegado = 70;
inline constexpr long ErrorAcceso = 75;
inline constexpr long RutaNoEncontrada = 76;
inline constexpr long VariableObjeto = 91;
inline constexpr long UsoNoValidoDeNull = 94;
inline constexpr long ImagenNoValida = 481;
inline constexpr long SinRegistroActual = 3021;
inline constexpr long OperacionNoPermitida = 3219;  // an update no condition can place
inline constexpr long ElementoNoEncontrado = 3265;
inline constexpr long ObjetoCerrado = 3704;   // the row set is closed
inline constexpr long DatosTruncados = 8152;  // text longer than its column: SQL Server's number

// An exception that is not the program's own (the standard library's, a
// driver's): always this number, with the exception's own text.
inline constexpr long ExcepcionAjena = ArgumentoNoValido;

// Negative: as the provider reported them.
inline constexpr long FalloProveedor = -2147467259;       // E_FAIL
inline constexpr long ErrorEnComando = -2147217900;       // DB_E_ERRORSINCOMMAND
inline constexpr long ViolacionIntegridad = -2147217873;  // DB_E_INTEGRITYVIOLATION
inline constexpr long FilaNoEncontrada = -2147217864;     // row cannot be located for updating
}  // namespace errores

// Source of the errors the program finds by itself.
inline constexpr const char* kFuentePrograma = "VarloDI";

// The usual Spanish description of one of the runtime errors above.
std::string DescripcionError(long numero);

// Raises one of the runtime errors above with its usual Spanish description,
// with a description of its own, or with the usual one followed by " (detalle)".
[[noreturn]] void LanzaError(long numero);
[[noreturn]] void LanzaError(long numero, std::string descripcion);
[[noreturn]] void LanzaErrorEn(long numero, const std::string& detalle);

// Inside a catch block: the error being handled as the program's error type.
// Foreign exceptions become errores::ExcepcionAjena with their own text.
ErrorVarlo ErrorCapturado();

// "Error " number ": " description: how a front end reports an error that
// stops the program or a dialog's action.
std::string TextoError(const ErrorVarlo& e);

// "[" source "] Error: " number " " description: the line every handler logs.
std::string LineaError(const ErrorVarlo& e);

}  // namespace varlo
