#include "app/LineaComandos.h"

#include <getopt.h>

#include <charconv>
#include <iostream>

#include "common/Plataforma.h"

namespace varlo {

namespace {
// Values of the long options that have no short form.
enum : int { kFotos = 256, kCarpeta, kSimular, kLote, kMaxRechazos, kResumen };

const option kOpciones[] = {{"help", no_argument, nullptr, 'h'},
                            {"version", no_argument, nullptr, 'V'},
                            {"silencioso", no_argument, nullptr, 'q'},
                            {"fotos", no_argument, nullptr, kFotos},
                            {"carpeta", required_argument, nullptr, kCarpeta},
                            {"simular", no_argument, nullptr, kSimular},
                            {"lote", required_argument, nullptr, kLote},
                            {"max-rechazos", required_argument, nullptr, kMaxRechazos},
                            {"resumen", required_argument, nullptr, kResumen},
                            {nullptr, 0, nullptr, 0}};

std::string NombreOpcion(int valor) {
  for (const option& o : kOpciones)
    if (o.name && o.val == valor) return std::string("--") + o.name;
  return std::string("-") + static_cast<char>(valor);
}

// A whole number above zero, digits only.
std::optional<long> Positivo(const std::string& s) {
  long n = 0;
  auto [fin, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || fin != s.data() + s.size() || n < 1) return std::nullopt;
  return n;
}
}  // namespace

Argumentos LeeArgumentos(const std::vector<std::string>& args) {
  Argumentos a;
  std::vector<std::string> copia{"varlodi"};
  copia.insert(copia.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : copia) argv.push_back(s.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(copia.size());

  // "+": options end at the first argument that is not one; ":": a missing
  // value is told apart from an unknown option. optind 0 starts afresh.
  opterr = 0;
  optind = 0;
  int c;
  while (a.error.empty() &&
         (c = getopt_long(argc, argv.data(), "+:hVq", kOpciones, nullptr)) != -1) {
    auto numero = [&](long& destino) {
      if (auto n = Positivo(optarg))
        destino = *n;
      else
        a.error = "valor no válido para " + NombreOpcion(c) + ": '" + optarg +
                  "' (se espera un número entero mayor que cero)";
    };
    switch (c) {
      case 'h':
        a.ayuda = true;
        break;
      case 'V':
        a.version = true;
        break;
      case 'q':
        a.opciones.silencioso = true;
        break;
      case kFotos:
        a.fotos = true;
        break;
      case kCarpeta:
        a.carpeta = optarg;
        if (a.carpeta.empty()) a.error = "--carpeta necesita una carpeta";
        break;
      case kSimular:
        a.opciones.simular = true;
        break;
      case kLote:
        numero(a.opciones.lote);
        break;
      case kMaxRechazos:
        numero(a.opciones.maxRechazos);
        break;
      case kResumen:
        a.resumen = optarg;
        if (a.resumen.empty()) a.error = "--resumen necesita un archivo";
        break;
      case ':':
        a.error = "falta el valor de " + NombreOpcion(optopt);
        break;
      default: {
        // A long option (unknown, ambiguous or with a value it does not
        // take) has been passed over already; a short one is in optopt.
        const std::string anterior = argv[optind - 1];
        const bool larga = optopt == 0 || optopt >= kFotos || anterior.starts_with("--");
        a.error = "opción no reconocida: " + (larga ? anterior : NombreOpcion(optopt));
      }
    }
  }
  if (!a.error.empty()) return a;
  for (int j = optind; j < argc; ++j) {
    if (j > optind) a.texto += ' ';
    a.texto += copia[static_cast<std::size_t>(j)];
  }
  if (a.fotos && a.texto.empty() && !a.ayuda && !a.version)
    a.error = "--fotos necesita un archivo de definiciones";
  return a;
}

std::optional<int> AtiendeOpciones(const Argumentos& a, const std::string& programa) {
  if (!a.error.empty()) {
    std::cerr << programa << ": " << a.error << "\nPruebe '" << programa << " --help'\n";
    return 2;
  }
  if (a.ayuda) {
    std::cout << TextoUso(programa, EligeCarpetaPrograma(FuentesDelProceso(a.carpeta)));
    return 0;
  }
  if (a.version) {
    std::cout << "VarloDI " << VARLODI_VERSION << "\n";
    return 0;
  }
  return std::nullopt;
}

std::string TextoUso(const std::string& programa, const std::string& carpeta) {
  return "Importador de datos Varlo\n"
         "Uso: " +
         programa + " [OPCIONES] [ARCHIVO_DEFINICIONES]\n" + "     " + programa +
         " [OPCIONES] --fotos ARCHIVO_DEFINICIONES\n"
         "\n"
         "Importa las tablas y la planeación de faltas que describe el archivo de\n"
         "definiciones (INI). Sin archivo, lo pide y ofrece generar uno nuevo a partir\n"
         "de la base de datos (en la ventana, o en la consola cuando hay terminal).\n"
         "Las opciones van primero; el resto de la línea es la ruta del archivo.\n"
         "\n"
         "  -h, --help             muestra esta ayuda\n"
         "  -V, --version          muestra la versión\n"
         "      --fotos            asigna las fotografías de los empleados (sección\n"
         "                         \"Empleado\", claves \"DirectorioFotos\" y \"NombreFotos\")\n"
         "      --carpeta CARPETA  carpeta del programa (también VARLODI_CARPETA)\n"
         "      --simular          deshace todos los cambios; escribe los archivos de\n"
         "                         resultado y el resumen sin reemplazar los de una\n"
         "                         corrida real\n"
         "      --lote N           registros por transacción\n"
         "      --max-rechazos N   una tabla se detiene tras N registros rechazados\n"
         "  -q, --silencioso       sin avance: sólo errores y resúmenes\n"
         "      --resumen ARCHIVO  al terminar, escribe en ARCHIVO el resumen de la\n"
         "                         corrida como un documento JSON (reemplazo atómico)\n"
         "\n"
         "Carpeta del programa: " +
         (carpeta.empty() ? "(no se puede determinar)" : carpeta) +
         "\n"
         "  Ahí quedan la carpeta Log (bitácora, _Ok.txt, _Er.txt), los archivos de\n"
         "  origen por omisión y las fotografías. Es, en este orden: --carpeta o\n"
         "  VARLODI_CARPETA; STATE_DIRECTORY (systemd); la carpeta del ejecutable si se\n"
         "  puede escribir en ella y no es la de instalación; $XDG_STATE_HOME/varlodi\n"
         "  (~/.local/state/varlodi), o /var/lib/varlodi para root. Una sola corrida\n"
         "  a la vez por carpeta.\n"
         "\n"
         "Estado de salida (si aplican varios, el primero de 2, 5, 3, 4, 1):\n"
         "  0    sin errores y sin registros rechazados\n"
         "  1    hubo registros rechazados\n"
         "  4    una tabla o la planeación de faltas no se pudo importar, o hubo una\n"
         "       línea de error en la bitácora\n"
         "  3    no se pudo conectar con la base de datos, se perdió la conexión, o la\n"
         "       base no puede guardar nada (volumen lleno, solo lectura)\n"
         "  5    otra corrida usa la misma carpeta del programa (no se hizo nada)\n"
         "  2    error de uso, falta el archivo de definiciones, o un error detuvo el\n"
         "       programa\n"
         "  130  interrumpido con SIGINT (Ctrl+C), 143 con SIGTERM, 129 con SIGHUP\n"
         "       (terminal cerrada), antes que cualquier otro estado\n";
}

}  // namespace varlo
