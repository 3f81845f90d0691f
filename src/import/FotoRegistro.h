#pragma once
// The photo step: a picture column that a record leaves empty receives the
// JPEG file named after the row's key, from a folder beside the source
// file: <source folder><Tabla>_<column>/<key>.jpg.
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "common/ErrorVarlo.h"
#include "import/DefinicionTabla.h"

namespace varlo {
class cls_ADODBServices;
namespace db {
class Recordset;
}

// A key that cannot name a photograph (it would lead out of the folder):
// the record is refused at the key's column.
class ErrorLlaveFoto : public ErrorVarlo {
 public:
  using ErrorVarlo::ErrorVarlo;
};

// The picture files of a table's folders, listed once per table: looking
// for a file per record costs a file-system lookup, and most keys have none.
// A folder too large to hold in memory is asked file by file.
class ArchivosFotos {
 public:
  // Whether `ruta` is a regular file (as std::filesystem::is_regular_file),
  // as its folder was when first listed.
  bool Existe(const std::string& ruta);

 private:
  // per folder listed, its files; nothing: asked file by file
  using Carpeta = std::optional<std::unordered_set<std::string>>;
  std::unordered_map<std::string, Carpeta> carpetas_;        // nodes stay where they are
  std::pair<const std::string, Carpeta>* ultima_ = nullptr;  // the folder asked for last
};

// Stores the file of the row's key in field `indiceFoto` when it exists; the
// key is the current value of the field named "NombreIndice" (error 3265
// when no field has that name, as with a compound key). The folder is named
// after the column as the database reports it, or, where the database folds
// names to lower case, as the definitions file writes it (`columnaDefinida`).
void AsignaFotoRegistro(cls_ADODBServices& imagenes, db::Recordset& rs, int indiceFoto,
                        const std::string& columnaDefinida, const DefinicionTabla& d,
                        ArchivosFotos& archivos);

}  // namespace varlo
