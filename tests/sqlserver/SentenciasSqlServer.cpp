// Writes every statement the SQL Server dialect renders for the shipped
// examples and for a table whose columns are all reserved words, each once,
// separated by NUL bytes, for an independent T-SQL parser to judge.
//
// No SQL Server runs here: the statements run on SQLite instead, which reads
// square brackets itself, once TOP and the ODBC date escapes are put in its
// terms. The examples are each imported twice, so that the second run finds
// its rows and renders the updates too.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/VentanaFalsa.h"
#include "app/frmMain.h"
#include "common/Plataforma.h"
#include "db/ConexionGenerica.h"
#include "db/Dialecto.h"
#include "db/odbc/ConexionOdbc.h"
#include "db/sqlite/ConexionSQLite.h"
#include "images/AsignaFotos.h"
#include "import/Jerarquia.h"
#include "support/BaseDatosPrueba.h"
#include "support/CarpetaTemporal.h"

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
    static const std::regex top("^(select )top ([0-9]+) (.*)$",
                                std::regex::icase | std::regex::extended);
    static const std::regex fecha("\\{d '([^']*)'\\}"), fechaHora("\\{ts '([^']*)'\\}");
    s.texto = std::regex_replace(s.texto, fecha, "'$1 00:00:00'");
    s.texto = std::regex_replace(s.texto, fechaHora, "'$1'");
    std::smatch m;
    if (std::regex_match(s.texto, m, top)) s.texto = m.str(1) + m.str(3) + " limit " + m.str(2);
    return s;
  }

  std::unique_ptr<db::Backend> sqlite_;
  std::vector<std::string>& textos_;
};

std::string Reemplaza(std::string texto, const std::string& de, const std::string& a) {
  for (std::size_t p = 0; (p = texto.find(de, p)) != std::string::npos; p += a.size())
    texto.replace(p, de.size(), a);
  return texto;
}

// Runs the whole run sequence twice over the database at `ruta`, with the
// definitions `ini` already written.
// `peorSalida`: the worst exit status the run may end with (the demo rejects
// some lines on purpose).
void Importa(const CarpetaTemporal& tmp, const std::string& ini, const std::string& ruta,
             std::vector<std::string>& textos, int peorSalida) {
  for (int vez = 0; vez < 2; ++vez) {
    VentanaFalsa v;
    frmMain f(v, ini);
    f.EstableceConexion(std::make_unique<db::ConexionGenerica>(
        std::make_unique<TextosSqlServer>(db::AbreSQLite(ruta), textos)));
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

void Ejemplos(std::vector<std::string>& textos) {
  const std::string raiz = std::string(VARLODI_SOURCE_DIR) + "/examples";
  for (const auto& e : fs::directory_iterator(raiz + "/definiciones")) {
    if (e.path().extension() != ".ini") continue;
    CarpetaTemporal tmp;
    EstableceCarpetaPrograma(tmp.Ruta());
    const std::string ruta = BaseNueva(tmp);
    for (const auto& f : fs::directory_iterator(raiz + "/definiciones"))
      if (f.path().extension() == ".txt")
        fs::copy_file(f.path(), tmp.Archivo(f.path().filename().string()));
    // the examples name /var/lib/varlodi as the program's folder and varlo.db there
    fs::rename(ruta, tmp.Archivo("varlo.db"));
    const std::string ini = tmp.Archivo(e.path().filename().string());
    EscribeBytes(ini, Reemplaza(LeeBytes(e.path().string()), "/var/lib/varlodi", tmp.Ruta()));
    Importa(tmp, ini, tmp.Archivo("varlo.db"), textos, 0);
  }
  // the demo: a hierarchy, employees with pictures, the absence planning
  CarpetaTemporal tmp;
  EstableceCarpetaPrograma(tmp.Ruta());
  const std::string ruta = BaseNueva(tmp);
  fs::copy(raiz + "/demo", tmp.Archivo("datos"), fs::copy_options::recursive);
  const std::string ini = tmp.Archivo("demo.ini");
  EscribeBytes(ini, Reemplaza(Reemplaza(LeeBytes(raiz + "/demo/demo.ini"), "@BASE@", ruta),
                              "@DATOS@", tmp.Archivo("datos")));
  Importa(tmp, ini, ruta, textos, 1);
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
  std::string ini = "[Base de Datos]\r\nConexion=Provider=SQLite;Data Source=" + ruta +
                    "\r\n[Tablas]\r\nTotal=1\r\nTabla1=Reservadas\r\n[Reservadas]\r\nOrigen=" +
                    tmp.Archivo("Reservadas.txt") +
                    "\r\nFormato=3\r\nFormatoFecha=DD/MM/YYYY\r\nNombreIndice=[Key]\r\nColumnas=" +
                    std::to_string(columnas.size()) + "\r\n";
  for (std::size_t i = 0; i < columnas.size(); ++i)
    ini += "CampoColumna" + std::to_string(i + 1) + "=" +
           (i % 2 ? columnas[i] : "[" + columnas[i] + "]") + "\r\n";
  EscribeBytes(tmp.Archivo("defs.ini"), ini);
  EscribeBytes(tmp.Archivo("Reservadas.txt"),
               "A,1,ana,03/08/2006,g,s,p,t\r\nB'1,2,beto,04/08/2006,g,s,p,t\r\n");
  Importa(tmp, tmp.Archivo("defs.ini"), ruta, textos, 0);
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
