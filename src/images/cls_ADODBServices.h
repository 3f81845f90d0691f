#pragma once
// Pictures between files, decoded images and binary columns. Every method
// but RecordLocation handles its own failures: it shows "ERROR: " and the
// description in a message box (printed and passed over on the console)
// and returns normally.
#include <optional>
#include <string>

#include "images/Imagen.h"

namespace varlo {
class Ventana;
namespace db {
class Recordset;
}

class cls_ADODBServices {
 public:
  explicit cls_ADODBServices(Ventana& ventana) : ventana_(ventana) {}

  // The whole file's bytes become the pending value of field `campo` of the
  // current row; the caller updates the row.
  void PutImageInField(db::Recordset& rs, int campo, const std::string& File);
  std::optional<Imagen> GetImageFromField(db::Recordset& rs, int campo);
  // The same in 1024-byte chunks: first the remainder, then whole chunks.
  void PutLargeImageInField(db::Recordset& rs, int campo, const std::string& File);
  std::optional<Imagen> GetLargeImageFromField(db::Recordset& rs, int campo);
  // "Title" + position + " de " + count; "" at BOF/EOF; "VOID" on any error.
  std::string RecordLocation(const db::Recordset& rs, const std::string& Title);
  void PutPictureInField(db::Recordset& rs, int campo, const Imagen& pic);
  bool SaveImageToFile(db::Recordset& rs, int campo, const std::string& FileJPG);

 private:
  std::string BuildTempFileName();
  void MuestraError(const std::string& descripcion);

  Ventana& ventana_;
};

}  // namespace varlo
