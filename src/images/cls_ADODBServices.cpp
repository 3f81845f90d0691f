#include "images/cls_ADODBServices.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "common/ErrorVarlo.h"
#include "common/Plataforma.h"
#include "common/Ventana.h"
#include "db/Corrida.h"
#include "db/Recordset.h"

namespace varlo {

namespace fs = std::filesystem;

namespace {

// Tries before giving up on a folder full of temporary names.
constexpr int kIntentosTemporal = 1000;

struct CierraArchivo {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using Archivo = std::unique_ptr<std::FILE, CierraArchivo>;

// Removes a temporary file when the scope ends, however it ends.
class TemporalBorrable {
 public:
  explicit TemporalBorrable(std::string ruta) : ruta_(std::move(ruta)) {}
  ~TemporalBorrable() {
    std::error_code ec;
    fs::remove(ruta_, ec);
  }
  TemporalBorrable(const TemporalBorrable&) = delete;
  TemporalBorrable& operator=(const TemporalBorrable&) = delete;
  const std::string& Ruta() const { return ruta_; }

 private:
  std::string ruta_;
};

[[noreturn]] void ErrorDeAcceso(const std::string& ruta) {
  LanzaErrorEn(errores::ErrorAcceso, ruta);
}

Archivo AbreLectura(const std::string& ruta) {
  std::error_code ec;
  const fs::file_status estado = fs::status(ruta, ec);
  if (!fs::exists(estado)) LanzaErrorEn(errores::ArchivoNoEncontrado, ruta);
  // A folder, a pipe or a device is no picture file (and a pipe would block).
  if (!fs::is_regular_file(estado)) ErrorDeAcceso(ruta);
  Archivo f(std::fopen(ruta.c_str(), "rb"));
  if (!f) ErrorDeAcceso(ruta);
  return f;
}

// Reads exactly `cuantos` bytes, or fewer at the end of the file.
db::Bytes LeeTrozo(std::FILE* f, std::size_t cuantos, const std::string& ruta) {
  db::Bytes trozo(cuantos);
  const std::size_t leidos = cuantos == 0 ? 0 : std::fread(trozo.data(), 1, cuantos, f);
  if (std::ferror(f)) LanzaErrorEn(errores::ErrorEntradaSalida, ruta);
  trozo.resize(leidos);
  return trozo;
}

db::Bytes LeeArchivoCompleto(const std::string& ruta) {
  Archivo f = AbreLectura(ruta);
  db::Bytes todo;
  for (;;) {
    db::Bytes trozo = LeeTrozo(f.get(), 64 * 1024, ruta);
    if (trozo.empty()) break;
    todo.insert(todo.end(), trozo.begin(), trozo.end());
  }
  return todo;
}

Archivo AbreEscritura(const std::string& ruta) {
  Archivo f(std::fopen(ruta.c_str(), "wb"));
  if (!f) ErrorDeAcceso(ruta);
  return f;
}

void Escribe(std::FILE* f, const db::Bytes& datos, const std::string& ruta) {
  if (!datos.empty() && std::fwrite(datos.data(), 1, datos.size(), f) != datos.size())
    LanzaErrorEn(errores::ErrorEntradaSalida, ruta);
}

void Cierra(Archivo& f, const std::string& ruta) {
  if (std::fclose(f.release()) != 0) LanzaErrorEn(errores::ErrorEntradaSalida, ruta);
}

// The binary value of a field; a NULL or a value of another kind is refused.
const db::Bytes& BytesDelCampo(const db::Recordset& rs, int campo) {
  const db::Valor& v = rs.Value(campo);
  if (db::EsNulo(v)) LanzaError(errores::UsoNoValidoDeNull);
  const db::Bytes* b = std::get_if<db::Bytes>(&v);
  if (!b) LanzaError(errores::TiposNoCoinciden);
  return *b;
}

void EscribeArchivo(const std::string& ruta, const db::Bytes& datos) {
  Archivo f = AbreEscritura(ruta);
  Escribe(f.get(), datos, ruta);
  Cierra(f, ruta);
}

// Puts `origen` in the place of `destino`, replacing it even when it is
// read-only. A rename replaces in one step; between file systems the bytes
// are copied.
void MueveSobre(const std::string& origen, const std::string& destino) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(destino, ec))) {
    if (fs::is_directory(destino, ec)) ErrorDeAcceso(destino);
    fs::permissions(destino, fs::perms::owner_write, fs::perm_options::add, ec);
  }
  ec.clear();
  fs::rename(origen, destino, ec);
  if (!ec) return;
  ec.clear();
  fs::copy_file(origen, destino, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    // A read-only destination that the copy cannot open for writing.
    std::error_code ec2;
    fs::remove(destino, ec2);
    ec.clear();
    fs::copy_file(origen, destino, fs::copy_options::overwrite_existing, ec);
  }
  if (ec) ErrorDeAcceso(destino);
  fs::remove(origen, ec);
}

}  // namespace

cls_ADODBServices::cls_ADODBServices(Ventana& ventana)
    : ventana_(ventana), aleatorio_(std::random_device{}()) {}

cls_ADODBServices::cls_ADODBServices(Ventana& ventana, unsigned semilla)
    : ventana_(ventana), aleatorio_(semilla) {}

void cls_ADODBServices::MuestraError(const std::string& descripcion) {
  ventana_.MuestraMensaje("ERROR: " + descripcion, Botones::Aceptar, Icono::Ninguno,
                          kTituloAplicacion);
}

std::string cls_ADODBServices::BuildTempFileName() {
  const std::string carpeta = CarpetaTemporales();
  std::uniform_int_distribution<unsigned long> numero(0, 99999999UL);
  for (int intento = 0; intento < kIntentosTemporal; ++intento) {
    char nombre[16];
    std::snprintf(nombre, sizeof nombre, "%08lu.tmp", numero(aleatorio_));
    const std::string ruta = UneRuta(carpeta, nombre);
    errno = 0;
    // "x": created here or not at all, so another run's file is never taken.
    Archivo f(std::fopen(ruta.c_str(), "wbx"));
    if (f) {
      Cierra(f, ruta);
      return ruta;
    }
    if (errno != EEXIST) {
      std::error_code ec;
      if (!fs::is_directory(carpeta, ec)) LanzaErrorEn(errores::RutaNoEncontrada, carpeta);
      ErrorDeAcceso(ruta);
    }
  }
  ErrorDeAcceso(carpeta);
}

template <class R, class Accion>
R cls_ADODBServices::ConMensaje(R siFalla, Accion&& accion) {
  try {
    return accion();
  } catch (...) {
    MuestraError(ErrorCapturado().Descripcion());
  }
  return siFalla;
}

bool cls_ADODBServices::PutImageInField(db::Recordset& rs, int campo, const std::string& File) {
  return ConMensaje<bool>(false, [&]() -> bool {
    rs.Asigna(campo, db::Valor(LeeArchivoCompleto(File)));
    return true;
  });
}

std::optional<Imagen> cls_ADODBServices::GetImageFromField(db::Recordset& rs, int campo) {
  return ConMensaje<std::optional<Imagen>>(std::nullopt, [&]() -> std::optional<Imagen> {
    const db::Bytes& datos = BytesDelCampo(rs, campo);
    TemporalBorrable temporal(BuildTempFileName());
    EscribeArchivo(temporal.Ruta(), datos);
    return CargaImagen(temporal.Ruta());
  });
}

bool cls_ADODBServices::PutLargeImageInField(db::Recordset& rs, int campo,
                                             const std::string& File) {
  std::optional<db::Valor> anterior;
  const bool hecho = ConMensaje<bool>(false, [&]() -> bool {
    Archivo f = AbreLectura(File);
    std::error_code ec;
    const auto n = static_cast<std::size_t>(fs::file_size(File, ec));
    if (ec) ErrorDeAcceso(File);
    const std::size_t bloques = n / kTamanoTrozo;
    const std::size_t resto = n % kTamanoTrozo;

    anterior = rs.Value(campo);
    // The chunks build the value from nothing, whatever the field held.
    rs.Asigna(campo, db::Valor(db::Bytes{}));
    rs.AppendChunk(campo, LeeTrozo(f.get(), resto, File));
    for (std::size_t i = 0; i < bloques; ++i)
      rs.AppendChunk(campo, LeeTrozo(f.get(), kTamanoTrozo, File));
    return true;
  });
  if (hecho) return true;
  // A file that failed half-way must not leave half a picture behind.
  if (anterior) {
    try {
      rs.Asigna(campo, *anterior);
    } catch (const std::exception&) {
    }
  }
  return false;
}

std::optional<Imagen> cls_ADODBServices::GetLargeImageFromField(db::Recordset& rs, int campo) {
  return ConMensaje<std::optional<Imagen>>(std::nullopt, [&]() -> std::optional<Imagen> {
    BytesDelCampo(rs, campo);
    TemporalBorrable temporal(BuildTempFileName());
    Archivo f = AbreEscritura(temporal.Ruta());
    const long tamano = rs.ActualSize(campo);
    const std::size_t n = tamano > 0 ? static_cast<std::size_t>(tamano) : 0;
    const std::size_t bloques = n / kTamanoTrozo;
    const std::size_t resto = n % kTamanoTrozo;
    if (resto > 0) Escribe(f.get(), rs.GetChunk(campo, resto), temporal.Ruta());
    for (std::size_t i = 0; i < bloques; ++i)
      Escribe(f.get(), rs.GetChunk(campo, kTamanoTrozo), temporal.Ruta());
    Cierra(f, temporal.Ruta());
    return CargaImagen(temporal.Ruta());
  });
}

std::string cls_ADODBServices::RecordLocation(const db::Recordset& rs, const std::string& Title) {
  try {
    if (rs.EOF_() || rs.BOF()) return "";
    return Title + std::to_string(rs.AbsolutePosition()) + " de " +
           std::to_string(rs.RecordCount());
  } catch (...) {
    return "VOID";
  }
}

bool cls_ADODBServices::PutPictureInField(db::Recordset& rs, int campo, const Imagen& pic) {
  return ConMensaje<bool>(false, [&]() -> bool {
    TemporalBorrable temporal(BuildTempFileName());
    GuardaImagenBmp(pic, temporal.Ruta());
    rs.Asigna(campo, db::Valor(LeeArchivoCompleto(temporal.Ruta())));
    return true;
  });
}

bool cls_ADODBServices::SaveImageToFile(db::Recordset& rs, int campo, const std::string& FileJPG) {
  return ConMensaje<bool>(false, [&]() -> bool {
    const db::Bytes& datos = BytesDelCampo(rs, campo);
    TemporalBorrable temporal(BuildTempFileName());
    EscribeArchivo(temporal.Ruta(), datos);
    MueveSobre(temporal.Ruta(), FileJPG);
    return true;
  });
}

}  // namespace varlo
