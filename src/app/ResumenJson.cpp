#include "app/ResumenJson.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/frmMain.h"
#include "common/ArchivoRegular.h"
#include "common/ErrorSistema.h"
#include "common/Plataforma.h"
#include "common/Resumen.h"
#include "common/Ventana.h"

namespace varlo {

namespace fs = std::filesystem;
// Keys keep the order they are written in, so a person reading the file
// finds the run first and its imports after.
using Json = nlohmann::ordered_json;

namespace {

// The local time as the C library reads it (mktime takes the zone's rules
// for that day, summer time included); the fields themselves taken as UTC
// give the offset.
struct MomentoLocal {
  long long unix = 0;
  long long desfase = 0;  // seconds east of UTC
};

MomentoLocal Momento(const FechaHora& f) {
  std::tm tm = ATm(f);
  tm.tm_isdst = -1;  // the C library decides whether summer time was in force
  const long long comoUtc =
      DiasDesdeEpoca(f) * 86400LL + f.hora * 3600LL + f.minuto * 60LL + f.segundo;
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return {comoUtc, 0};
  return {static_cast<long long>(t), comoUtc - static_cast<long long>(t)};
}

Json TextoONulo(const std::string& texto) {
  return texto.empty() ? Json(nullptr) : Json(texto);
}

// Absolute (a relative one taken from `base`, else from the current
// folder) and without "." or ".." steps; null for "" (not written).
Json Ruta(const std::string& ruta, const std::string& base = "") {
  if (ruta.empty()) return nullptr;
  std::error_code ec;
  fs::path p = base.empty() ? fs::absolute(ruta, ec) : fs::path(base) / ruta;
  if (ec) p = ruta;
  return p.lexically_normal().string();
}

// Milliseconds are enough for a monitor, and keep the numbers short.
double Redondea(double segundos) {
  return std::round(segundos * 1000.0) / 1000.0;
}

Json Importacion(const ImportacionCorrida& i, const std::string& carpeta) {
  const ResumenImportacion& c = i.cuentas;
  Json j;
  j["tipo"] = c.porDias ? "planeacion" : "tabla";
  j["nombre"] = i.nombre;
  j["estado"] = NombreEstado(i.estado);
  j["motivo"] = TextoONulo(i.motivo);
  j["leidas"] = c.leidas;
  j["omitidas"] = c.omitidas;
  j["agregadas"] = c.agregadas;
  j["actualizadas"] = c.actualizadas;
  j["rechazadas"] = c.rechazadas;
  j["sin_procesar"] = c.sinProcesar;
  j["segundos"] = Redondea(c.segundos);
  j["archivo_ok"] = Ruta(c.archivoOk, carpeta);
  j["archivo_er"] = Ruta(c.archivoEr, carpeta);
  return j;
}

// Removes the temporary file unless it was renamed.
class Temporal {
 public:
  explicit Temporal(std::string ruta) : ruta_(std::move(ruta)) {}
  ~Temporal() {
    std::error_code ec;
    if (!ruta_.empty()) fs::remove(ruta_, ec);
  }
  Temporal(const Temporal&) = delete;
  Temporal& operator=(const Temporal&) = delete;
  const std::string& Ruta() const { return ruta_; }
  void Renombrado() { ruta_.clear(); }

 private:
  std::string ruta_;
};

// "" when `texto` is in `destino`, else the system's reason.
std::string Escribe(const std::string& destino, const std::string& texto) {
  std::string ruta;
  ArchivoC f = CreaTemporalJunto(destino, ruta);
  if (!f) return TextoErrorSistema(errno);
  Temporal temporal(ruta);
  if (std::fwrite(texto.data(), 1, texto.size(), f.get()) != texto.size())
    return TextoErrorSistema(errno != 0 ? errno : EIO);
  if (int e = LlevaADisco(f.get()); e != 0) return TextoErrorSistema(e);
  errno = 0;
  if (std::fclose(f.release()) != 0) return TextoErrorSistema(errno != 0 ? errno : EIO);
  std::error_code ec;
  fs::rename(temporal.Ruta(), destino, ec);
  if (ec) return TextoErrorSistema(ec.value());
  temporal.Renombrado();
  LlevaCarpetaADisco(fs::path(destino).parent_path().string());
  return "";
}

}  // namespace

std::string FechaIso8601(const FechaHora& local) {
  const long long desfase = Momento(local).desfase;
  const long long minutos = (desfase < 0 ? -desfase : desfase) / 60;
  char texto[64];
  std::snprintf(texto, sizeof texto, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld", local.anio,
                local.mes, local.dia, local.hora, local.minuto, local.segundo,
                desfase < 0 ? '-' : '+', minutos / 60, minutos % 60);
  return texto;
}

long long SegundosUnix(const FechaHora& local) {
  return Momento(local).unix;
}

std::string DocumentoResumen(const frmMain& f, int estado, const std::string& errorFatal,
                             const FechaHora& fin) {
  const Json carpeta = Ruta(CarpetaPrograma());
  Json d;
  d["formato"] = 1;
  d["programa"] = kTituloAplicacion;
  d["version"] = VARLODI_VERSION;
  d["inicio"] = FechaIso8601(f.Inicio());
  d["fin"] = FechaIso8601(fin);
  d["fin_unix"] = SegundosUnix(fin);
  d["segundos"] = Redondea(f.SegundosDesdeInicio());
  d["estado_salida"] = estado;
  d["motivo_fin"] = TextoONulo(f.MotivoFin());
  d["error"] = TextoONulo(errorFatal);
  d["modo"] = f.ModoFotos() ? "fotos" : "importacion";
  d["simulacion"] = f.opciones.simular;
  d["carpeta_programa"] = carpeta;
  d["archivo_definiciones"] = Ruta(f.ArchivoDefiniciones);
  d["bitacora"] = Ruta(f.Bitacora());
  Json importaciones = Json::array();
  for (const ImportacionCorrida& i : f.Importaciones())
    importaciones.push_back(Importacion(i, CarpetaPrograma()));
  d["importaciones"] = std::move(importaciones);
  // Text that is not valid UTF-8 (a path's bytes) is written with U+FFFD
  // rather than making the document unreadable.
  return d.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool EscribeResumenCorrida(const std::string& ruta, const frmMain& f, int estado,
                           const std::string& errorFatal, std::ostream& err) {
  if (ruta.empty()) return true;
  std::string motivo;
  try {
    motivo = Escribe(ruta, DocumentoResumen(f, estado, errorFatal, Ahora()));
  } catch (const std::exception& e) {
    motivo = e.what();
  }
  if (motivo.empty()) return true;
  err << "No se pudo escribir el resumen (" << ruta << "): " << motivo << "\n";
  err.flush();
  return false;
}

}  // namespace varlo
