#include "support/BaseDatosPrueba.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/Conexion.h"

namespace varlo::prueba {

namespace {

std::atomic<int> contador{0};

[[noreturn]] void Falla(const std::string& mensaje) {
  ADD_FAILURE() << mensaje;
  throw std::runtime_error(mensaje);
}

std::string LeeArchivo(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  if (!f) Falla("No se puede leer " + ruta);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

std::string BaseDatosPrueba::ArchivoEsquema(const std::string& nombre) {
  return std::string(VARLODI_SOURCE_DIR) + "/examples/schema/" + nombre;
}

std::vector<std::string> BaseDatosPrueba::Sentencias(const std::string& archivo) {
  std::string sinComentarios;
  std::istringstream lineas(LeeArchivo(archivo));
  for (std::string l; std::getline(lineas, l);) {
    if (Recorta(l).rfind("--", 0) == 0) continue;
    sinComentarios += l + "\n";
  }
  std::vector<std::string> r;
  for (const std::string& s : Divide(sinComentarios, ";"))
    if (s.find_first_not_of(" \t\r\n") != std::string::npos) r.push_back(s);
  return r;
}

std::string BaseDatosPrueba::SQLite(const std::string& carpeta) {
  std::filesystem::create_directories(carpeta);
  std::string ruta = UneRuta(carpeta, "varlo_" + std::to_string(++contador) + ".db");
  std::filesystem::remove(ruta);
  std::filesystem::remove(ruta + "-wal");
  std::filesystem::remove(ruta + "-shm");
  { std::ofstream vacio(ruta, std::ios::binary); }  // an empty file is an empty database
  std::string cadena = "Provider=SQLite;Data Source=" + ruta;
  auto cn = db::Conexion::Abre(cadena);
  for (const std::string& s : Sentencias(ArchivoEsquema("sqlite.sql"))) cn->Execute(s);
  cn->Close();
  return cadena;
}

BaseDatosPrueba BaseDatosPrueba::PostgreSql(Acceso acceso) {
  const char* variable = acceso == Acceso::Odbc ? "VARLODI_PG_ODBC" : "VARLODI_PG_NATIVO";
  const char* base = std::getenv(variable);
  if (!base || !*base)
    Falla(std::string(variable) +
          " no está definida: inicie el servidor de pruebas con "
          "`scripts/pg-cluster start DIR` y `eval \"$(scripts/pg-cluster env DIR)\"` (scripts/test "
          "lo hace)");
  std::string cadenaBase = base;
  std::random_device azar;
  char nombre[48];
  std::snprintf(nombre, sizeof nombre, "t_%08x_%d", azar(), ++contador);

  BaseDatosPrueba b;
  b.admin_ = db::Conexion::Abre(cadenaBase);
  b.esquema_ = nombre;
  b.admin_->Execute("create schema " + b.esquema_);
  b.admin_->Execute("set search_path to " + b.esquema_);
  for (const std::string& s : Sentencias(ArchivoEsquema("postgresql.sql"))) b.admin_->Execute(s);
  if (!cadenaBase.empty() && cadenaBase.back() != ';') cadenaBase += ';';
  b.cadena_ =
      cadenaBase +
      (acceso == Acceso::Odbc ? "BoolsAsChar=0;ConnSettings=SET search_path TO " + b.esquema_
                              : "options=-c search_path=" + b.esquema_) +
      ";";
  return b;
}

BaseDatosPrueba::BaseDatosPrueba(BaseDatosPrueba&& o) noexcept
    : admin_(std::move(o.admin_)), esquema_(std::move(o.esquema_)), cadena_(std::move(o.cadena_)) {
  o.esquema_.clear();
}

BaseDatosPrueba& BaseDatosPrueba::operator=(BaseDatosPrueba&& o) noexcept {
  if (this != &o) {
    Elimina();
    admin_ = std::move(o.admin_);
    esquema_ = std::move(o.esquema_);
    cadena_ = std::move(o.cadena_);
    o.esquema_.clear();
  }
  return *this;
}

BaseDatosPrueba::~BaseDatosPrueba() {
  Elimina();
}

void BaseDatosPrueba::Elimina() noexcept {
  if (!admin_ || esquema_.empty()) return;
  try {
    admin_->Execute("drop schema " + esquema_ + " cascade");
    admin_->Close();
  } catch (...) {
    // the cluster is thrown away with its data anyway
  }
  admin_.reset();
  esquema_.clear();
}

}  // namespace varlo::prueba
