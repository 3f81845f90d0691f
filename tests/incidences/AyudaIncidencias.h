#pragma once
// Shared pieces of the absence-planning tests: a definitions file written
// from INI text and read back as the import reads it.
#include <string>

#include "common/Kelto_API_INIFiles.h"
#include "definitions/LectorDefiniciones.h"
#include "incidences/DefinicionIncidencias.h"
#include "support/CarpetaTemporal.h"

namespace varlo::prueba {

// The section as the generator writes it, fixed width, widths 15/16/16/15.../50.
inline const char* kSeccionGenerada =
    "[Planeacion Faltas]\r\n"
    "Formato=1\r\nFormatoFecha=YYYY-MM-DD\r\nColumnas=11\r\n"
    "CampoColumna1=ID_Empleado\r\nCampoColumna2=Fecha1\r\nCampoColumna3=Fecha2\r\n"
    "CampoColumna4=ID_Tipo\r\nCampoColumna5=Dato0_FAL\r\nCampoColumna6=Dato1_FAL\r\n"
    "CampoColumna7=Dato2_FAL\r\nCampoColumna8=Dato3_FAL\r\nCampoColumna9=Dato4_FAL\r\n"
    "CampoColumna10=Dato5_FAL\r\nCampoColumna11=Referencia\r\n"
    "LongitudColumna1=15\r\nLongitudColumna2=16\r\nLongitudColumna3=16\r\n"
    "LongitudColumna4=15\r\nLongitudColumna5=15\r\nLongitudColumna6=15\r\n"
    "LongitudColumna7=15\r\nLongitudColumna8=15\r\nLongitudColumna9=15\r\n"
    "LongitudColumna10=15\r\nLongitudColumna11=50\r\n";

struct DefinicionLeida {
  DefinicionIncidencias d;
  LecturaDefinicion lectura;
};

inline DefinicionLeida LeeDefinicionDe(const CarpetaTemporal& tmp, const std::string& ini) {
  std::string ruta = tmp.Archivo("defs.ini");
  EscribeBytes(ruta, ini);
  Kelto_API_INIFiles perfil;
  DefinicionLeida r;
  r.lectura = LeeDefinicion(LectorDefiniciones(perfil, ruta), r.d);
  return r;
}

// A source line in the generated fixed-width layout.
inline std::string LineaFija(const std::string& empleado, const std::string& desde,
                             const std::string& hasta, const std::string& tipo,
                             const std::string& dato0 = "", const std::string& referencia = "") {
  auto ancho = [](std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
  };
  return ancho(empleado, 15) + ancho(desde, 16) + ancho(hasta, 16) + ancho(tipo, 15) +
         ancho(dato0, 15) + std::string(75, ' ') + ancho(referencia, 50);
}

}  // namespace varlo::prueba
