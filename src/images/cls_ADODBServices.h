#pragma once
// Pictures between files, decoded images and binary columns.
#include <string>

namespace varlo {
class Ventana;
namespace db {
class Recordset;
}

class cls_ADODBServices {
 public:
  explicit cls_ADODBServices(Ventana& ventana) : ventana_(ventana) {}

 private:
  Ventana& ventana_;
};

}  // namespace varlo
