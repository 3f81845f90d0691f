#include "db/odbc/ErrorOdbc.h"

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <type_traits>
#include <vector>

#include "common/ErrorVarlo.h"
#include "db/ErrorBaseDatos.h"
#include "db/ErroresBD.h"
#include "db/EstadosSql.h"
#include "db/odbc/TextoOdbc.h"

namespace varlo::db::odbc {

static_assert(std::is_same_v<HandleOdbc, SQLHANDLE>);
static_assert(std::is_same_v<RetornoOdbc, SQLRETURN>);
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
static_assert(static_cast<short>(ClaseHandle::Entorno) == SQL_HANDLE_ENV);
static_assert(static_cast<short>(ClaseHandle::Conexion) == SQL_HANDLE_DBC);
static_assert(static_cast<short>(ClaseHandle::Sentencia) == SQL_HANDLE_STMT);

namespace {
struct RegistroDiagnostico {
  std::string estado;
  SQLINTEGER nativo = 0;
  std::string mensaje;
};

// `texto` without any occurrence of the secret; a very short one would blank
// out ordinary letters and is left alone.
std::string BorraSecreto(std::string texto, std::string_view secreto) {
  if (secreto.size() < 3) return texto;
  for (std::size_t p = texto.find(secreto); p != std::string::npos;
       p = texto.find(secreto, p + 3)) {
    texto.replace(p, secreto.size(), "***");
  }
  return texto;
}

// Reads the records until the driver says there are no more, and never asks
// past that answer: some drivers crash when asked again.
std::vector<RegistroDiagnostico> LeeDiagnosticos(ClaseHandle clase, HandleOdbc handle) {
  std::vector<RegistroDiagnostico> registros;
  if (handle == nullptr) return registros;
  constexpr SQLSMALLINT kMaxRegistros = 16;
  for (SQLSMALLINT i = 1; i <= kMaxRegistros; ++i) {
    SQLWCHAR estado[6] = {};
    SQLINTEGER nativo = 0;
    std::u16string mensaje(1024, u'\0');
    SQLSMALLINT largo = 0;
    const SQLRETURN rc = SQLGetDiagRecW(static_cast<SQLSMALLINT>(clase), handle, i, estado, &nativo,
                                        reinterpret_cast<SQLWCHAR*>(mensaje.data()),
                                        static_cast<SQLSMALLINT>(mensaje.size()), &largo);
    if (!SQL_SUCCEEDED(rc)) break;
    mensaje.resize(std::min<std::size_t>(largo > 0 ? largo : 0, mensaje.size() - 1));
    std::u16string estado16(reinterpret_cast<const char16_t*>(estado), 5);
    RegistroDiagnostico r;
    r.estado = Utf16AUtf8(estado16.c_str());
    r.nativo = nativo;
    r.mensaje = Utf16AUtf8(mensaje);
    registros.push_back(std::move(r));
  }
  return registros;
}

// "[unixODBC][Driver Manager]..." names its component first.
std::string FuenteDe(const std::vector<RegistroDiagnostico>& registros) {
  if (!registros.empty()) {
    const std::string& m = registros.front().mensaje;
    const std::size_t cierre = m.find(']');
    if (!m.empty() && m.front() == '[' && cierre != std::string::npos && cierre > 1) {
      return m.substr(1, cierre - 1);
    }
  }
  return "ODBC";
}
}  // namespace

namespace {
bool Contiene(const std::string& texto, std::string_view parte) {
  return texto.find(parte) != std::string::npos;
}

// What one diagnostic record means for the run.
ErrorBaseDatos::Clase ClaseDeRegistro(const RegistroDiagnostico& r, ClaseHandle handle) {
  const std::string_view e = r.estado;
  if (const ErrorBaseDatos::Clase c = ClaseDeEstado(e); c != ErrorBaseDatos::Clase::Otro) return c;
  // psqlODBC reports a dead socket under a general state
  if (Contiene(r.mensaje, "could not send data") ||
      Contiene(r.mensaje, "no connection to the server") ||
      Contiene(r.mensaje, "server closed the connection unexpectedly") ||
      Contiene(r.mensaje, "terminating connection due to administrator command"))
    return ErrorBaseDatos::Clase::ConexionPerdida;
  // the login timed out: the server did not answer
  if (e == "HYT00" && handle != ClaseHandle::Sentencia)
    return ErrorBaseDatos::Clase::ConexionPerdida;
  // SQL Server's deadlock victim (1205)
  if (r.nativo == 1205) return ErrorBaseDatos::Clase::TransaccionPerdida;
  // a statement timeout; SQL Server's lock timeout (1222)
  if (e == "HYT00" || r.nativo == 1222) return ErrorBaseDatos::Clase::Bloqueo;
  // SQL Server: a full filegroup (1105), a full log (9002), a read-only database (3906)
  if (r.nativo == 1105 || r.nativo == 9002 || r.nativo == 3906)
    return ErrorBaseDatos::Clase::Almacenamiento;
  // SQL Server's duplicate key (2627, 2601)
  if (e == "23000" && (r.nativo == 2627 || r.nativo == 2601))
    return ErrorBaseDatos::Clase::ClaveDuplicada;
  return ErrorBaseDatos::Clase::Otro;
}

// A lost connection outweighs whatever else the records say; otherwise the first one tells.
ErrorBaseDatos::Clase ClaseDeError(const std::vector<RegistroDiagnostico>& registros,
                                   ClaseHandle handle) {
  ErrorBaseDatos::Clase clase = ErrorBaseDatos::Clase::Otro;
  for (std::size_t i = 0; i < registros.size(); ++i) {
    const ErrorBaseDatos::Clase c = ClaseDeRegistro(registros[i], handle);
    if (c == ErrorBaseDatos::Clase::ConexionPerdida) return c;
    if (i == 0) clase = c;
  }
  return clase;
}
}  // namespace

RetornoOdbc Comprueba(RetornoOdbc rc, ClaseHandle clase, HandleOdbc handle,
                      std::string_view contexto, std::string_view secreto) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA || rc == SQL_NEED_DATA) return rc;

  const std::vector<RegistroDiagnostico> registros = rc == SQL_INVALID_HANDLE
                                                         ? std::vector<RegistroDiagnostico>{}
                                                         : LeeDiagnosticos(clase, handle);
  std::string descripcion;
  for (const RegistroDiagnostico& r : registros) {
    if (!descripcion.empty()) descripcion += " / ";
    descripcion += r.mensaje + " (SQLSTATE " + r.estado;
    if (r.nativo != 0) descripcion += ", nativo " + std::to_string(r.nativo);
    descripcion += ")";
  }
  if (descripcion.empty()) {
    descripcion = rc == SQL_INVALID_HANDLE ? "Identificador ODBC no válido"
                                           : "El controlador ODBC no informó del error";
  }
  if (!registros.empty()) {
    const std::string glosa = GlosaDeEstado(registros.front().estado);
    if (!glosa.empty()) descripcion = glosa + ": " + descripcion;
  }
  if (!contexto.empty()) descripcion += " - " + std::string(contexto);
  const long numero =
      registros.empty() ? errores_bd::FalloProveedor : NumeroDeEstado(registros.front().estado);
  throw ErrorBaseDatos(numero, FuenteDe(registros),
                       BorraSecreto(MensajeEnUnaLinea(descripcion), secreto),
                       ClaseDeError(registros, clase));
}

}  // namespace varlo::db::odbc
