#pragma once
// Pictures between files, decoded images and binary columns. Every method
// but RecordLocation handles its own failures: it shows "ERROR: " and the
// description in a message box (printed and passed over on the console)
// and returns normally.
#include <optional>
#include <random>
#include <string>

#include "images/Imagen.h"

namespace varlo {
class Ventana;
namespace db {
class Recordset;
}

class cls_ADODBServices {
 public:
  explicit cls_ADODBServices(Ventana& ventana);
  // With a fixed seed the temporary names repeat from run to run (tests).
  cls_ADODBServices(Ventana& ventana, unsigned semilla);

  // The whole file's bytes become the pending value of field `campo` of the
  // current row; the caller updates the row. False (after the message) when
  // the file could not be read or the column refused it: the field then
  // keeps its previous value.
  bool PutImageInField(db::Recordset& rs, int campo, const std::string& File);
  std::optional<Imagen> GetImageFromField(db::Recordset& rs, int campo);
  // The same in 1024-byte chunks: first the remainder, then whole chunks.
  bool PutLargeImageInField(db::Recordset& rs, int campo, const std::string& File);
  std::optional<Imagen> GetLargeImageFromField(db::Recordset& rs, int campo);
  // "Title" + position + " de " + count; "" at BOF/EOF; "VOID" on any error.
  std::string RecordLocation(const db::Recordset& rs, const std::string& Title);
  bool PutPictureInField(db::Recordset& rs, int campo, const Imagen& pic);
  // Writes the field's bytes to `FileJPG`, replacing it even when read-only.
  bool SaveImageToFile(db::Recordset& rs, int campo, const std::string& FileJPG);

  // Size of the pieces of the chunked methods.
  static constexpr std::size_t kTamanoTrozo = 1024;

  // A new, empty file "nnnnnnnn.tmp" in the temporary folder ($TMPDIR), created
  // exclusively: a name already in use is never taken. Error 75 when the
  // folder cannot hold it.
  std::string BuildTempFileName();

 private:
  void MuestraError(const std::string& descripcion);
  // Runs `accion`; any error is shown as "ERROR: " + its description and
  // `siFalla` comes back instead.
  template <class R, class Accion>
  R ConMensaje(R siFalla, Accion&& accion);

  Ventana& ventana_;
  std::mt19937 aleatorio_;
};

}  // namespace varlo
