// Writes every statement the SQL Server dialect renders for the shipped
// examples and for a table whose columns are all reserved words, each once,
// separated by NUL bytes, for an independent T-SQL parser to judge.
//
// No SQL Server runs here: the statements run on SQLite instead, which reads
// square brackets itself, once TOP, the ODBC date escapes and the joined
// UPDATE of a batch are put in its terms. The examples are each imported
// twice, so that the second run finds its rows and renders the updates too;
// and each import is done one statement per record and with the batched
// statements, which must leave the same rows and result files.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "common/Texto.h"
#include "db/ConexionGenerica.h"
#include "db/Dialecto.h"
#include "db/odbc/ConexionOdbc.h"
#include "db/sqlite/ConexionSQLite.h"
#include "images/AsignaFotos.h"
#include "import/Jerarquia.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"
#include "support/ConexionDelegada.h"
#include "support/Definiciones.h"

namespace varlo::prueba {
namespace {

namespace fs = std::filesystem;

// A SQL Server backend as far as the engines can tell: it keeps each text
// it is given and runs it on SQLite.
class TextosSqlServer final : public db::Backend {
 public:
  TextosSqlServer(std::unique_ptr<db::Backend> sqlite, std::vector<std::string>& textos)
      : sqlite_(std::move(sqlite)), textos_(textos) {}

  db::Motor MotorBD() const override { return db::Motor::SqlServer; }
  bool Abierta() const override { return sqlite_->Abierta(); }
  db::ResultadoConsulta Consulta(const db::SentenciaSql& s, long maxRegistros) override {
    textos_.push_back(s.texto);
    return sqlite_->Consulta(EnSQLite(s), maxRegistros);
  }
  long Ejecuta(const db::SentenciaSql& s) override {
    textos_.push_back(s.texto);
    return sqlite_->Ejecuta(EnSQLite(s));
  }
  std::vector<std::string> TablasBase() override { return sqlite_->TablasBase(); }
  void IniciaTransaccion() override { sqlite_->IniciaTransaccion(); }
  void ConfirmaTransaccion() override { sqlite_->ConfirmaTransaccion(); }
  void DeshaceTransaccion() noexcept override { sqlite_->DeshaceTransaccion(); }
  bool EnTransaccion() const override { return sqlite_->EnTransaccion(); }
  std::optional<bool> TieneLocalizador(const std::string&) override { return false; }
  std::optional<std::vector<std::string>> NombreCatalogo(
      const std::vector<std::string>& partes) override {
    return sqlite_->NombreCatalogo(partes);
  }
  void Cierra() override { sqlite_->Cierra(); }

 private:
  // SQLite has LIMIT for TOP and stores a date as "YYYY-MM-DD HH:MM:SS".
  static db::SentenciaSql EnSQLite(db::SentenciaSql s) {
    if (s.texto.rfind("update [t] set ", 0) == 0) s.texto = UpdateEnSQLite(s.texto);
    static const std::regex top("^(select )top ([0-9]+) (.*)$",
                                std::regex::icase | std::regex::extended);
    static const std::regex fecha("\\{d '([^']*)'\\}"), fechaHora("\\{ts '([^']*)'\\}");
    s.texto = std::regex_replace(s.texto, fecha, "'$1 00:00:00'");
    s.texto = std::regex_replace(s.texto, fechaHora, "'$1'");
    std::smatch m;
    if (std::regex_match(s.texto, m, top)) s.texto = m.str(1) + m.str(3) + " limit " + m.str(2);
    return s;
  }

  // SQL Server's joined UPDATE in SQLite's terms: the target named with its
  // alias, only the VALUES list in FROM, its columns named by a SELECT.
  //   update [t] set S from T as [t], (values V) as [v] (N) where W
  //   update T as [t] set S from (select column1 as N1, ... from (values V)) as [v] where W
  static std::string UpdateEnSQLite(const std::string& texto) {
    const std::string inicio = "update [t] set ", valores = " as [t], (values ",
                      alias = ") as [v] (", donde = ") where ";
    const std::size_t de = texto.find(" from "), v = texto.find(valores, de);
    const std::size_t a = texto.find(alias, v), w = texto.find(donde, a);
    if (de == std::string::npos || v == std::string::npos || a == std::string::npos ||
        w == std::string::npos)
      throw std::runtime_error("UPDATE de forma inesperada: " + texto);
    const std::string tabla = texto.substr(de + 6, v - de - 6);
    std::string columnas;
    std::size_t n = 0;
    for (std::size_t p = a + alias.size(); p < w;) {
      const std::size_t fin = texto.find(']', p) + 1;
      columnas +=
          (n ? ", column" : "column") + std::to_string(n + 1) + " as " + texto.substr(p, fin - p);
      ++n;
      p = fin + 2;  // past ", "
    }
    return "update " + tabla + " as [t] set " + texto.substr(inicio.size(), de - inicio.size()) +
           " from (select " + columnas + " from (values " +
           texto.substr(v + valores.size(), a - v - valores.size()) + ")) as [v] where " +
           texto.substr(w + donde.size());
  }

  std::unique_ptr<db::Backend> sqlite_;
  std::vector<std::string>& textos_;
};

// The connection as a backend without batches sees it: every lookup and
// every write one statement per record. The reference the batches must match.
using UnoPorUno = ConexionDelegada;

std::string Reemplaza(const std::string& texto, const std::string& de, const std::string& a) {
  return Une(Divide(texto, de), a);
}

// Runs the whole run sequence twice over the database at `ruta`, with the
// definitions `ini` already written, `lote` records per transaction (0: the
// program's default), with or without the batched statements.
// `peorSalida`: the worst exit status the run may end with (the demo rejects
// some lines on purpose).
void Importa(const CarpetaTemporal& tmp, const std::string& ini, const std::string& ruta, long lote,
             bool enLotes, std::vector<std::string>& textos, int peorSalida) {
  for (int vez = 0; vez < 2; ++vez) {
    VentanaFalsa v;
    frmMain f(v, ini);
    f.opciones.lote = lote;
    auto cn = std::make_unique<db::ConexionGenerica>(
        std::make_unique<TextosSqlServer>(db::AbreSQLite(ruta), textos));
    if (enLotes)
      f.EstableceConexion(std::move(cn));
    else
      f.EstableceConexion(std::make_unique<UnoPorUno>(std::move(cn)));
    f.Form_Load();
    f.Form_Activate();
    if (f.EstadoSalida() > peorSalida)
      throw std::runtime_error("la corrida de " + ini + " terminó con " +
                               std::to_string(f.EstadoSalida()) + " (" + tmp.Ruta() + ")");
  }
}

std::string BaseNueva(const CarpetaTemporal& tmp, const std::string& ddl = "") {
  const std::string cadena = BaseDatosPrueba::SQLite(tmp.Ruta());
  const std::string ruta = cadena.substr(cadena.find('=', cadena.find("Data Source")) + 1);
  if (!ddl.empty()) db::AbreSQLite(ruta)->Ejecuta({ddl, {}});
  return ruta;
}

// What the runs left: every table's rows (in any order) and every result file.
std::string Huella(const CarpetaTemporal& tmp, const std::string& ruta) {
  std::string r;
  {
    auto base = db::AbreSQLite(ruta);
    for (const std::string& tabla : base->TablasBase()) {
      db::ResultadoConsulta q = base->Consulta({"select * from \"" + tabla + "\"", {}}, 0);
      std::vector<std::string> filas;
      for (const auto& fila : q.filas) {
        std::string t;
        for (const db::Valor& v : fila) t += db::ValorComoTexto(v) + "|";
        filas.push_back(t);
      }
      std::sort(filas.begin(), filas.end());
      r += "== tabla " + tabla + "\n";
      for (const std::string& f : filas) r += f + "\n";
    }
  }
  std::vector<fs::path> archivos;
  for (const auto& e : fs::recursive_directory_iterator(tmp.Ruta())) {
    const std::string n = e.path().filename().string();
    if (n.ends_with("_Ok.txt") || n.ends_with("_Er.txt")) archivos.push_back(e.path());
  }
  std::sort(archivos.begin(), archivos.end());
  for (const fs::path& a : archivos)
    r += "== " + fs::relative(a, tmp.Ruta()).string() + "\n" + LeeBytes(a.string());
  return r;
}

// Prepares a program folder and returns the definitions file and the database.
using Prepara = std::function<std::pair<std::string, std::string>(const CarpetaTemporal&)>;

// The same import one statement per record (the reference), and with the
// batched statements at one record per transaction and in the default
// batches: every line must get the same verdict, leaving the same rows and
// result files.
void Compara(const std::string& nombre, const Prepara& prepara, int peorSalida,
             std::vector<std::string>& textos) {
  struct Corrida {
    long lote;
    bool enLotes;
    const char* nombre;
  };
  const Corrida corridas[] = {{1, false, "sin sentencias en lote, --lote 1"},
                              {1, true, "--lote 1"},
                              {0, true, "el lote por omisión"}};
  std::string referencia;
  for (const Corrida& c : corridas) {
    CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    const auto [ini, ruta] = prepara(tmp);
    Importa(tmp, ini, ruta, c.lote, c.enLotes, textos, peorSalida);
    const std::string huella = Huella(tmp, ruta);
    if (!c.enLotes) {
      referencia = huella;
      continue;
    }
    if (huella == referencia) continue;
    std::size_t p = 0;
    while (p < huella.size() && p < referencia.size() && huella[p] == referencia[p]) ++p;
    p = referencia.rfind('\n', p) == std::string::npos ? 0 : referencia.rfind('\n', p) + 1;
    throw std::runtime_error(nombre + ": " + c.nombre + " difiere de " + corridas[0].nombre +
                             " desde\n" + huella.substr(p, 300) + "\n--- frente a ---\n" +
                             referencia.substr(p, 300));
  }
}

void Ejemplos(std::vector<std::string>& textos) {
  const std::string raiz = std::string(VARLODI_SOURCE_DIR) + "/examples";
  for (const auto& e : fs::directory_iterator(raiz + "/definiciones")) {
    if (e.path().extension() != ".ini") continue;
    Compara(
        e.path().filename().string(),
        [&](const CarpetaTemporal& tmp) {
          const std::string ruta = BaseNueva(tmp);
          for (const auto& f : fs::directory_iterator(raiz + "/definiciones"))
            if (f.path().extension() == ".txt")
              fs::copy_file(f.path(), tmp.Archivo(f.path().filename().string()));
          // the examples name /var/lib/varlodi as the program's folder and varlo.db there
          fs::rename(ruta, tmp.Archivo("varlo.db"));
          const std::string ini = tmp.Archivo(e.path().filename().string());
          EscribeBytes(ini, Reemplaza(LeeBytes(e.path().string()), "/var/lib/varlodi", tmp.Ruta()));
          return std::pair{ini, tmp.Archivo("varlo.db")};
        },
        0, textos);
  }
  // the demo: a hierarchy, employees with pictures, the absence planning
  Compara(
      "demo.ini",
      [&](const CarpetaTemporal& tmp) {
        const std::string ruta = BaseNueva(tmp);
        fs::copy(raiz + "/demo", tmp.Archivo("datos"), fs::copy_options::recursive);
        const std::string ini = tmp.Archivo("demo.ini");
        EscribeBytes(ini, Reemplaza(Reemplaza(LeeBytes(raiz + "/demo/demo.ini"), "@BASE@", ruta),
                                    "@DATOS@", tmp.Archivo("datos")));
        return std::pair{ini, ruta};
      },
      1, textos);
}

// A table whose every column is a reserved word of SQL Server, keyed by "Key".
void Reservadas(std::vector<std::string>& textos) {
  CarpetaTemporal tmp;
  EstableceCarpetaPrograma(tmp.Ruta());
  const std::vector<std::string> columnas = {"Key",   "Order",  "User",    "Date",
                                             "Group", "Select", "Percent", "Table"};
  std::string ddl = "CREATE TABLE \"Reservadas\" (\"Key\" VARCHAR(10) NOT NULL PRIMARY KEY";
  for (std::size_t i = 1; i < columnas.size(); ++i)
    ddl += ", \"" + columnas[i] + "\"" + (columnas[i] == "Date" ? " DATE" : " VARCHAR(20)");
  const std::string ruta = BaseNueva(tmp, ddl + ")");
  std::vector<std::string> nombradas;  // every other one in brackets
  for (std::size_t i = 0; i < columnas.size(); ++i)
    nombradas.push_back(i % 2 ? columnas[i] : "[" + columnas[i] + "]");
  EscribeBytes(tmp.Archivo("defs.ini"),
               "[Base de Datos]\r\nConexion=Provider=SQLite;Data Source=" + ruta + "\r\n" +
                   ListaTablas({"Reservadas"}) +
                   SeccionComas("Reservadas", tmp.Archivo("Reservadas.txt"), "[Key]", nombradas));
  EscribeBytes(tmp.Archivo("Reservadas.txt"),
               "A,1,ana,03/08/2006,g,s,p,t\r\nB'1,2,beto,04/08/2006,g,s,p,t\r\n");
  Importa(tmp, tmp.Archivo("defs.ini"), ruta, 0, true, textos, 0);
}

// Keys repeated within a batch (a later line changes the row an earlier one
// wrote) and values refused by the layer (too long, not a number, a date
// that does not exist) or by the database only (a second row with the same
// "Numero", a "Numero" over 99), where the batched write fails and the batch
// is done again one record at a time. A second table has no primary key and
// two rows of one key: a line with that key changes neither.
void Repetidas(std::vector<std::string>& textos) {
  Compara(
      "Repetidas",
      [](const CarpetaTemporal& tmp) {
        const std::string ruta =
            BaseNueva(tmp,
                      "CREATE TABLE \"Repetidas\" (\"Clave\" VARCHAR(10) NOT NULL PRIMARY KEY, "
                      "\"Nombre\" VARCHAR(5), \"Numero\" INTEGER UNIQUE CHECK (\"Numero\" < 100), "
                      "\"Fecha\" DATE)");
        EscribeBytes(
            tmp.Archivo("defs.ini"),
            "[Base de Datos]\r\nConexion=Provider=SQLite;Data Source=" + ruta + "\r\n" +
                ListaTablas({"Repetidas", "Dobles"}) +
                SeccionComas("Repetidas", tmp.Archivo("Repetidas.txt"), "Clave",
                             {"Clave", "Nombre", "Numero", "Fecha"}) +
                SeccionComas("Dobles", tmp.Archivo("Dobles.txt"), "Clave", {"Clave", "Nombre"}));
        auto base = db::AbreSQLite(ruta);
        base->Ejecuta(
            {"CREATE TABLE \"Dobles\" (\"Clave\" VARCHAR(10), \"Nombre\" VARCHAR(10))", {}});
        base->Ejecuta({"INSERT INTO \"Dobles\" VALUES ('X', 'x1'), ('X', 'x2'), ('Y', 'y')", {}});
        EscribeBytes(tmp.Archivo("Dobles.txt"), "Y,y1\r\nX,nuevo\r\nZ,z\r\nY,y2\r\nX,otro\r\n");
        EscribeBytes(tmp.Archivo("Repetidas.txt"),
                     "A,ana,1,03/08/2006\r\n"
                     "B,beto,2,04/08/2006\r\n"
                     "A,anita,3,05/08/2006\r\n"
                     "C,demasiado,4,01/01/2006\r\n"
                     "D,dora,x,01/01/2006\r\n"
                     "E,eva,5,31/02/2006\r\n"
                     "B,bea,6,06/08/2006\r\n"
                     "G,gil,6,01/01/2006\r\n"
                     "H,hugo,150,01/01/2006\r\n"
                     "O'K,oka,7,02/01/2006\r\n"
                     "A,ana,8,07/08/2006\r\n"
                     "F,fe,9,01/01/2006\r\n"
                     "B,bo,9,08/08/2006\r\n"
                     "I,ines,10,09/08/2006\r\n");
        return std::pair{tmp.Archivo("defs.ini"), ruta};
      },
      1, textos);
}

// Statements rendered outside an import run.
void Sueltas(std::vector<std::string>& textos) {
  auto d = db::CreaDialecto(db::Motor::SqlServer);
  textos.push_back(d->Select(ConsultaEmpleados()).texto);
  textos.push_back(d->Select(ConsultaFotoEmpleado("O'Brien")).texto);
  textos.push_back(d->Select(ConsultaJerarquia("_1NORTE")).texto);
  textos.push_back(d->DeleteFrom("[rrhh].[Empleado]"));
  textos.push_back(db::kNombreCatalogoSqlServer);
  textos.push_back(db::kEstadoTransaccionSqlServer);
  textos.push_back(
      d->Update("dbo.Empleado", {{"Nombre", std::string("x")}},
                {db::Predicado{"ID_Empleado", db::ClaseLiteral::Numero, std::string("7")}})
          .texto);
}

}  // namespace
}  // namespace varlo::prueba

int main(int argc, char** argv) {
  using namespace varlo::prueba;
  if (argc != 2) {
    std::cerr << "uso: " << argv[0] << " ARCHIVO\n";
    return 2;
  }
  try {
    std::vector<std::string> textos;
    Ejemplos(textos);
    Reservadas(textos);
    Repetidas(textos);
    Sueltas(textos);
    varlo::EstableceCarpetaPrograma("");
    std::set<std::string> vistas;
    std::ofstream salida(argv[1], std::ios::binary);
    for (const std::string& t : textos)
      if (vistas.insert(t).second) salida << t << '\0';
    salida.close();
    if (!salida) throw std::runtime_error(std::string("no se pudo escribir ") + argv[1]);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
  } catch (...) {
    std::cerr << "error\n";
  }
  return 1;
}
