#include "app/LineaComandos.h"

#include <iostream>

namespace varlo {

Argumentos LeeArgumentos(const std::vector<std::string>& args) {
  Argumentos a;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& s = args[i];
    if (s.rfind("--", 0) != 0) break;
    if (s == "--") {
      ++i;
      break;
    }
    if (s == "--help") {
      a.ayuda = true;
    } else if (s == "--version") {
      a.version = true;
    } else if (s == "--fotos") {
      a.fotos = true;
    } else {
      a.error = "opción desconocida: " + s;
      return a;
    }
  }
  for (std::size_t j = i; j < args.size(); ++j) {
    if (j > i) a.texto += ' ';
    a.texto += args[j];
  }
  if (a.fotos && a.texto.empty() && !a.ayuda && !a.version)
    a.error = "--fotos necesita un archivo de definiciones";
  return a;
}

std::optional<int> AtiendeOpciones(const Argumentos& a, const std::string& programa) {
  if (!a.error.empty()) {
    std::cerr << programa << ": " << a.error << "\n\n" << TextoUso(programa);
    return 2;
  }
  if (a.ayuda) {
    std::cout << TextoUso(programa);
    return 0;
  }
  if (a.version) {
    std::cout << "VarloDI " << VARLODI_VERSION << "\n";
    return 0;
  }
  return std::nullopt;
}

std::string TextoUso(const std::string& programa) {
  return "Importador de datos Varlo\n"
         "Uso: " +
         programa +
         " [ARCHIVO_DEFINICIONES]\n"
         "     " +
         programa +
         " --fotos ARCHIVO_DEFINICIONES\n"
         "     " +
         programa +
         " --help | --version\n"
         "\n"
         "Importa las tablas y la planeación de faltas que describe el archivo de\n"
         "definiciones (INI). Sin archivo, lo pide y ofrece generar uno nuevo a partir\n"
         "de la base de datos (en la ventana, o en la consola cuando hay terminal).\n"
         "  --fotos    asigna las fotografías de los empleados (sección \"Empleado\",\n"
         "             claves \"DirectorioFotos\" y \"NombreFotos\") en Fotos_Empleados\n"
         "  --help     muestra esta ayuda\n"
         "  --version  muestra la versión\n"
         "\n"
         "La bitácora y los archivos de resultado (_Ok.txt, _Er.txt) quedan en la\n"
         "carpeta Log junto al programa.\n"
         "Estado de salida: 0 sin errores; 1 hubo registros rechazados o errores en la\n"
         "bitácora; 2 error que detuvo el programa o falta de archivo de definiciones.\n";
}

}  // namespace varlo
