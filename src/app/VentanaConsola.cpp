#include "app/VentanaConsola.h"

#include <algorithm>
#include <iostream>
#include <sstream>
#include <utility>

#include "common/Plataforma.h"
#include "common/Texto.h"
#include "definitions/ComposicionConexion.h"

namespace varlo {

namespace {
constexpr auto kIntervalo = std::chrono::milliseconds(100);  // at most 10 redraws a second
constexpr auto kIntervaloLineas = std::chrono::seconds(1);   // counter lines in a log
constexpr std::size_t kAnchoBarra = 20;
}  // namespace

VentanaConsola::VentanaConsola()
    : VentanaConsola(EntradaEsTerminal() ? std::make_unique<Terminal>() : nullptr, std::cerr,
                     ErroresEsTerminal()) {}

VentanaConsola::VentanaConsola(std::unique_ptr<Terminal> terminal, std::ostream& salida,
                               bool salidaTerminal)
    : VentanaConsola(std::cin, salida, terminal && terminal->Abierta(), salidaTerminal) {
  if (entradaTerminal_) terminal_ = std::move(terminal);
}

VentanaConsola::VentanaConsola(std::istream& entrada, std::ostream& salida, bool entradaTerminal,
                               bool salidaTerminal)
    : entrada_(entrada),
      salida_(salida),
      entradaTerminal_(entradaTerminal),
      salidaTerminal_(salidaTerminal) {}

VentanaConsola::~VentanaConsola() {
  Termina();
}

void VentanaConsola::EstadoCambiado() {
  if (silencioso_ || terminada_) return;
  if (salidaTerminal_) {
    if (Estado() == linea_ && !cerrada_) return;
    // A new stage first finishes the line of the one before it.
    const std::size_t etapa = Etapa(Estado()).size();
    if (std::string_view(Estado()).substr(0, etapa) != EtapaDe(linea_, etapaLinea_)) {
      CierraLinea();
      inicioEtapa_ = std::chrono::steady_clock::now();
    }
    linea_ = Estado();
    etapaLinea_ = etapa;
    cerrada_ = false;
    dibujada_ = false;
    Dibuja(false);
    return;
  }
  // A new stage is printed at once, after the last counter of the stage
  // before it; counters within a stage at most once a second.
  if (Etapa(Estado()) != EtapaDe(ultimoImpreso_, etapaImpreso_)) {
    if (pendiente_) ImprimeLinea(textoPendiente_);
    ImprimeLinea(Estado());
  } else if (Estado() != ultimoImpreso_) {
    textoPendiente_ = Estado();
    pendiente_ = true;
    Dibuja(false);
  }
}

void VentanaConsola::ProgresoCambiado() {
  // Only a stage that counts shows the bar.
  if (!salidaTerminal_ || silencioso_ || terminada_ || !LineaCuenta()) return;
  cerrada_ = false;
  dibujada_ = false;
  Dibuja(false);
}

void VentanaConsola::MuestraError(const std::string& linea) {
  // The stage's line is finished above it, so no bar is left to be redrawn
  // over or below it.
  CierraLinea();
  salida_ << linea << '\n' << std::flush;
  ultimaLinea_ = linea;
}

void VentanaConsola::MuestraFin(const std::string& titular) {
  if (terminada_) return;
  if (salidaTerminal_) {
    if (linea_ != titular || cerrada_) CierraLinea();
    salida_ << "\r\x1b[K" << titular << '\n';
  } else {
    CierraLinea();
    if (titular != ultimaLinea_) salida_ << titular << '\n';
    ultimaLinea_ = titular;
  }
  salida_ << std::flush;
  abierta_ = false;
  pendiente_ = false;
  terminada_ = true;
}

void VentanaConsola::ProcesaEventos() {
  if (pendiente_) Dibuja(false);
}

std::string_view VentanaConsola::Etapa(std::string_view texto) {
  // "Importando datos (Empleado)... (3 de 120)" belongs to the stage
  // "Importando datos (Empleado)..."; a view into the text, as every
  // record's status is looked at here.
  const std::size_t abre = texto.rfind('(');
  if (abre == std::string_view::npos || texto.back() != ')') return texto;
  const std::string_view dentro = texto.substr(abre + 1, texto.size() - abre - 2);
  const std::size_t de = dentro.find(" de ");
  if (de == std::string_view::npos || de == 0) return texto;
  auto esNumero = [](std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(),
                                     [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
  };
  if (!esNumero(dentro.substr(0, de)) || !esNumero(dentro.substr(de + 4))) return texto;
  const std::string_view etapa = texto.substr(0, abre);
  const std::size_t fin = etapa.find_last_not_of(' ');
  return fin == std::string_view::npos ? std::string_view() : etapa.substr(0, fin + 1);
}

void VentanaConsola::ImprimeLinea(const std::string& texto) {
  if (texto != ultimoImpreso_) {
    salida_ << texto << '\n' << std::flush;
    ultimaLinea_ = texto;
  }
  ultimoImpreso_ = texto;
  etapaImpreso_ = Etapa(ultimoImpreso_).size();
  ultimoDibujo_ = std::chrono::steady_clock::now();
  pendiente_ = false;
}

std::string VentanaConsola::Renglon() const {
  if (!LineaCuenta()) return linea_;
  double max = Maximo() > 0 ? Maximo() : 1;
  double fraccion = Valor() / max;
  if (fraccion < 0) fraccion = 0;
  if (fraccion > 1) fraccion = 1;
  std::size_t llenos = static_cast<std::size_t>(fraccion * kAnchoBarra);
  std::string barra(kAnchoBarra, '-');
  barra.replace(0, llenos, llenos, '#');
  // Elapsed time and rate of the stage, once there is something to tell;
  // last, so a narrow terminal clips them before the counter.
  std::string ritmo;
  const double segundos =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - inicioEtapa_).count();
  if (Valor() > 0 && segundos >= 1)
    ritmo = "  " + std::to_string(static_cast<long>(segundos)) + " s, " +
            std::to_string(static_cast<long>(Valor() / segundos)) + " por s";
  return "[" + barra + "] " + linea_ + ritmo;
}

void VentanaConsola::Dibuja(bool forzar) {
  auto ahora = std::chrono::steady_clock::now();
  if (!salidaTerminal_) {
    if (pendiente_ && (forzar || ahora - ultimoDibujo_ >= kIntervaloLineas))
      ImprimeLinea(textoPendiente_);
    return;
  }
  if (terminada_ || linea_.empty() || cerrada_ || dibujada_) {
    pendiente_ = false;
    return;
  }
  if (!forzar && ahora - ultimoDibujo_ < kIntervalo) {
    pendiente_ = true;
    return;
  }
  ultimoDibujo_ = ahora;
  pendiente_ = false;
  if (LineaCuenta()) {
    // Redrawn many times: clipped at the terminal's edge (auto-wrap off
    // while it is written), so a carriage return always reaches its start.
    salida_ << "\r\x1b[K\x1b[?7l" << Renglon() << "\x1b[?7h";
  } else {
    // Drawn once; a long one may wrap.
    salida_ << (abierta_ ? "\r\x1b[K" : "") << linea_;
  }
  salida_ << std::flush;
  abierta_ = true;
  dibujada_ = true;
}

void VentanaConsola::CierraLinea() {
  if (!salidaTerminal_) {
    if (pendiente_) ImprimeLinea(textoPendiente_);
    return;
  }
  if (linea_.empty() || cerrada_) return;
  if (LineaCuenta())
    salida_ << "\r\x1b[K" << Renglon() << '\n';  // whole, where it may wrap
  else if (abierta_ && dibujada_)
    salida_ << '\n';
  else
    salida_ << (abierta_ ? "\r\x1b[K" : "") << linea_ << '\n';
  salida_ << std::flush;
  abierta_ = false;
  cerrada_ = true;
  pendiente_ = false;
}

void VentanaConsola::Termina() {
  if (terminada_) return;
  CierraLinea();
  salida_ << std::flush;
}

void VentanaConsola::Dice(const std::string& texto) {
  CierraLinea();
  if (terminal_)
    terminal_->Escribe(texto);
  else
    salida_ << texto << std::flush;
}

std::string VentanaConsola::Pregunta(const std::string& texto, bool eco) {
  if (terminal_) {
    CierraLinea();
    return terminal_->Pregunta(texto, eco).value_or("");
  }
  Dice(texto);
  std::string linea;
  if (!std::getline(entrada_, linea)) return "";
  return linea;
}

Respuesta VentanaConsola::MuestraMensaje(const std::string& texto, Botones botones, Icono,
                                         const std::string& titulo) {
  CierraLinea();
  std::string plano = titulo + ": " + texto + '\n';
  for (char& c : plano)
    if (c == '\r') c = '\n';
  // A question is asked where it is answered; without anyone to answer, it
  // is only reported.
  const bool pregunta = botones != Botones::Aceptar && entradaTerminal_;
  if (pregunta)
    Dice(plano);
  else
    salida_ << plano << std::flush;
  if (botones == Botones::Aceptar) return Respuesta::Aceptar;
  if (!pregunta) return Respuesta::No;
  std::string r = Recorta(Pregunta("[s/N] "));
  return (!r.empty() && (r[0] == 's' || r[0] == 'S' || r[0] == 'y' || r[0] == 'Y')) ? Respuesta::Si
                                                                                    : Respuesta::No;
}

std::string VentanaConsola::MuestraAbrir(const DialogoArchivo& d) {
  if (!entradaTerminal_) return "";
  return Recorta(Pregunta(d.titulo + " (" + d.filtro.substr(0, d.filtro.find('|')) + "): "));
}

std::string VentanaConsola::MuestraGuardar(const DialogoArchivo& d) {
  if (!entradaTerminal_) return "";
  std::string r = Recorta(Pregunta(d.titulo + ": "));
  if (!r.empty() && !d.extension.empty() &&
      r.find('.', r.find_last_of(kSeparador) + 1) == std::string::npos)
    r += d.extension;
  return r;
}

std::optional<std::string> VentanaConsola::ComponeConexion(const std::string& semilla,
                                                           ProbarConexion probar) {
  if (!entradaTerminal_) return std::nullopt;
  CierraLinea();
  DatosConexion d = LeeSemilla(semilla);
  // Each prompt shows the value already known; an empty answer keeps it.
  auto campo = [this](const std::string& texto, std::string& valor) {
    std::string r = Recorta(Pregunta(texto + (valor.empty() ? "" : " [" + valor + "]") + ": "));
    if (!r.empty()) valor = r;
  };
  while (true) {
    Dice(
        "Conexión con la base de datos: 1) SQL Server  2) SQLite  3) Cadena ODBC  "
        "4) PostgreSQL\n");
    std::string clase = Recorta(Pregunta("Opción (vacío para cancelar): "));
    if (clase == "1") {
      d.clase = ClaseConexion::SqlServer;
      campo("Servidor", d.servidor);
      campo("Base de datos", d.baseDatos);
      std::string usuario = Recorta(Pregunta("Usuario (vacío: seguridad integrada): "));
      d.seguridadIntegrada = usuario.empty();
      d.usuario = usuario;
      d.clave = d.seguridadIntegrada ? "" : Pregunta("Contraseña: ", false);
    } else if (clase == "2") {
      d.clase = ClaseConexion::SQLite;
      campo("Archivo", d.archivoSQLite);
    } else if (clase == "3") {
      d.clase = ClaseConexion::Odbc;
      campo("Cadena ODBC", d.cadenaOdbc);
    } else if (clase == "4") {
      d.clase = ClaseConexion::PostgreSql;
      DatosPostgreSql pg = d.postgreSql.value_or(DatosPostgreSql{});
      campo("Servidor", pg.servidor);
      if (pg.puerto.empty()) pg.puerto = "5432";
      campo("Puerto", pg.puerto);
      campo("Base de datos", pg.baseDatos);
      campo("Usuario", pg.usuario);
      pg.clave = Pregunta("Contraseña: ", false);
      d.postgreSql = std::move(pg);
    } else if (clase.empty()) {
      return std::nullopt;
    } else {
      continue;
    }
    std::string fallo = DatoFaltante(d);
    if (fallo.empty() && probar) fallo = probar(ComponeCadena(d));
    if (fallo.empty()) return ComponeCadena(d);
    Dice("La prueba de conexión falló: " + fallo + '\n');
  }
}

std::optional<std::vector<bool>> VentanaConsola::LeeSeleccionTablas(const std::string& respuesta,
                                                                    std::size_t total) {
  std::vector<bool> marcadas(total, false);
  const std::string r = Recorta(respuesta);
  if (r == "*" || IgualSinCaso(r, "todas")) return std::vector<bool>(total, true);
  std::istringstream piezas(r);
  std::string pieza;
  while (piezas >> pieza) {
    for (const std::string& n : Divide(pieza, ",")) {
      if (n.empty()) continue;
      if (n.find_first_not_of("0123456789") != std::string::npos || n.size() > 9)
        return std::nullopt;
      const std::size_t k = std::stoul(n);
      if (k < 1 || k > total) return std::nullopt;
      marcadas[k - 1] = true;
    }
  }
  return marcadas;
}

std::vector<bool> VentanaConsola::EligeTablas(const std::vector<std::string>& tablas) {
  std::vector<bool> marcadas(tablas.size(), false);
  if (!entradaTerminal_) return marcadas;
  CierraLinea();
  std::string lista = "Selección de tablas destino\n";
  for (std::size_t i = 0; i < tablas.size(); ++i)
    lista += "  " + std::to_string(i + 1) + ") " + tablas[i] + '\n';
  Dice(lista);
  // An answer that cannot be read is asked again; an empty one chooses nothing.
  for (;;) {
    const std::string respuesta =
        Pregunta("Números de las tablas (separados por espacios o comas, * para todas): ");
    if (auto leidas = LeeSeleccionTablas(respuesta, tablas.size())) {
      marcadas = *leidas;
      break;
    }
    Dice("No se entiende la respuesta: use números del 1 al " + std::to_string(tablas.size()) +
         ", o *\n");
  }
  std::string elegidas;
  for (std::size_t i = 0; i < tablas.size(); ++i)
    if (marcadas[i]) elegidas += (elegidas.empty() ? "" : ", ") + tablas[i];
  Dice("Tablas elegidas: " + (elegidas.empty() ? std::string("ninguna") : elegidas) + "\n");
  return marcadas;
}

}  // namespace varlo
