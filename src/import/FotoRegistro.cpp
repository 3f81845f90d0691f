#include "import/FotoRegistro.h"

#include <filesystem>
#include <string_view>

#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Identificadores.h"
#include "db/Recordset.h"
#include "images/NombreFoto.h"
#include "images/cls_ADODBServices.h"

namespace varlo {

namespace {
constexpr std::size_t kMaximoListados = 200000;

// DirectorioOrigen ends in a separator (or is empty for the current folder).
// A key holding "/" or ".." is refused: error 52.
std::string RutaFoto(const DefinicionTabla& d, const std::string& columna,
                     const std::string& llave) {
  const std::string nombre = Recorta(llave);
  if (auto motivo = MotivoNombreFoto(nombre))
    throw ErrorLlaveFoto(errores::NombreArchivoIncorrecto, kFuentePrograma, *motivo);
  return UneRuta(d.DirectorioOrigen + db::NombreDeArchivos(d.Tabla) + "_" + columna,
                 nombre + ".jpg");
}

// The regular files of a folder (none when it does not exist); nothing when
// it cannot be read or holds too many to keep.
std::optional<std::unordered_set<std::string>> ListaCarpeta(std::string_view nombreCarpeta) {
  namespace fs = std::filesystem;
  std::unordered_set<std::string> archivos;
  std::error_code ec;
  const fs::path carpeta = nombreCarpeta.empty() ? fs::path(".") : fs::path(nombreCarpeta);
  if (!fs::exists(carpeta, ec)) return archivos;
  for (fs::directory_iterator it(carpeta, ec), fin; !ec && it != fin; it.increment(ec)) {
    std::error_code tipo;
    if (it->is_regular_file(tipo)) archivos.insert(it->path().filename().string());
    if (archivos.size() > kMaximoListados) return std::nullopt;
  }
  if (ec) return std::nullopt;
  return archivos;
}
}  // namespace

bool ArchivosFotos::Existe(const std::string& ruta) {
  // the folder and the name as the path writes them (no path object per record)
  const std::string_view todo = ruta;
  const std::size_t corte = todo.find_last_of(kSeparador);
  const std::string_view nombreCarpeta = todo.substr(0, corte == todo.npos ? 0 : corte);
  const std::string_view nombre = todo.substr(corte == todo.npos ? 0 : corte + 1);
  if (!ultima_ || ultima_->first != nombreCarpeta) {
    const auto [carpeta, nueva] = carpetas_.try_emplace(std::string(nombreCarpeta));
    ultima_ = &*carpeta;
    if (nueva) carpeta->second = ListaCarpeta(nombreCarpeta);
  }
  if (!ultima_->second) {
    std::error_code ec;
    return std::filesystem::is_regular_file(ruta, ec);
  }
  return ultima_->second->count(std::string(nombre)) > 0;
}

void AsignaFotoRegistro(cls_ADODBServices& imagenes, db::Recordset& rs, int indiceFoto,
                        const std::string& columnaDefinida, const DefinicionTabla& d,
                        ArchivosFotos& archivos) {
  const std::string llave = rs.Texto(rs.IndiceCampo(QuitaCorchetes(d.NombreIndice)));
  const std::string& reportada = rs.Field(indiceFoto).nombre;
  std::string ruta = RutaFoto(d, reportada, llave);
  if (!archivos.Existe(ruta) && reportada != columnaDefinida &&
      IgualSinCaso(reportada, columnaDefinida))
    ruta = RutaFoto(d, columnaDefinida, llave);
  if (archivos.Existe(ruta)) imagenes.PutImageInField(rs, indiceFoto, ruta);
}

}  // namespace varlo
