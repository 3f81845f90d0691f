#include "images/cls_ADODBServices.h"

#include "app/Ventana.h"
#include "db/Recordset.h"

namespace varlo {
// Placeholder until the image services are written.
void cls_ADODBServices::PutImageInField(db::Recordset&, int, const std::string&) {}
std::optional<Imagen> cls_ADODBServices::GetImageFromField(db::Recordset&, int) { return std::nullopt; }
void cls_ADODBServices::PutLargeImageInField(db::Recordset&, int, const std::string&) {}
std::optional<Imagen> cls_ADODBServices::GetLargeImageFromField(db::Recordset&, int) { return std::nullopt; }
std::string cls_ADODBServices::RecordLocation(const db::Recordset&, const std::string&) { return "VOID"; }
void cls_ADODBServices::PutPictureInField(db::Recordset&, int, const Imagen&) {}
bool cls_ADODBServices::SaveImageToFile(db::Recordset&, int, const std::string&) { return false; }
std::string cls_ADODBServices::BuildTempFileName() { return ""; }
void cls_ADODBServices::MuestraError(const std::string&) { (void)ventana_; }
}  // namespace varlo
