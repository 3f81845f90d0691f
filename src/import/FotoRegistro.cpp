#include "import/FotoRegistro.h"

#include <filesystem>

#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Identificadores.h"
#include "db/Recordset.h"
#include "images/NombreFoto.h"
#include "images/cls_ADODBServices.h"

namespace varlo {

std::string RutaFoto(const std::string& directorioOrigen, const std::string& tabla,
                     const std::string& columna, const std::string& llave) {
  const std::string nombre = Recorta(llave);
  if (auto motivo = MotivoNombreFoto(nombre))
    throw ErrorLlaveFoto(errores::NombreArchivoIncorrecto, kFuentePrograma, *motivo);
  return UneRuta(directorioOrigen + tabla + "_" + columna, nombre + ".jpg");
}

void AsignaFotoRegistro(cls_ADODBServices& imagenes, db::Recordset& rs, int indiceFoto,
                        const std::string& columnaDefinida, const DefinicionTabla& d) {
  int indiceLlave = rs.IndiceCampo(QuitaCorchetes(d.NombreIndice));
  const std::string llave = rs.Texto(indiceLlave);
  const std::string& reportada = rs.Field(indiceFoto).nombre;
  std::error_code ec;
  std::string ruta = RutaFoto(d.DirectorioOrigen, db::NombreDeArchivos(d.Tabla), reportada, llave);
  if (!std::filesystem::is_regular_file(ruta, ec) && reportada != columnaDefinida &&
      IgualSinCaso(reportada, columnaDefinida))
    ruta = RutaFoto(d.DirectorioOrigen, db::NombreDeArchivos(d.Tabla), columnaDefinida, llave);
  if (std::filesystem::is_regular_file(ruta, ec)) imagenes.PutImageInField(rs, indiceFoto, ruta);
}

}  // namespace varlo
