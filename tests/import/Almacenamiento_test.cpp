// A database that cannot store anything (a full volume, a read-only file or
// mount, a read-only server), goes away or stays locked is the run's fault,
// not each record's: one error line, exit status 3, the open batch rolled
// back and not reported, the lines not reached neither imported nor
// rejected, and every reported line has its row.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "EntornoImportacion.h"
#include "app/ProgramaPrueba.h"

namespace varlo::prueba {
namespace {

namespace fs = std::filesystem;

// A mount made for one test and undone after it, whatever happened.
class Montaje {
 public:
  // A tmpfs of `tamano` at `carpeta`.
  static bool Tmpfs(Montaje& m, const std::string& carpeta, const std::string& tamano) {
    fs::create_directories(carpeta);
    const std::string opciones = "size=" + tamano;
    if (mount("tmpfs", carpeta.c_str(), "tmpfs", 0, opciones.c_str()) != 0) return false;
    m.puntos_.push_back(carpeta);
    return true;
  }
  // A file seen read-only at its own place.
  static bool ArchivoSoloLectura(Montaje& m, const std::string& ruta) {
    if (mount(ruta.c_str(), ruta.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    m.puntos_.push_back(ruta);
    return mount(nullptr, ruta.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }
  // A tmpfs mounted here turned read-only (nothing may be open on it for writing).
  static bool VolumenSoloLectura(const std::string& carpeta) {
    return mount(nullptr, carpeta.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  Montaje() = default;
  Montaje(const Montaje&) = delete;
  Montaje& operator=(const Montaje&) = delete;
  ~Montaje() {
    for (auto p = puntos_.rbegin(); p != puntos_.rend(); ++p) umount2(p->c_str(), MNT_DETACH);
  }

 private:
  std::vector<std::string> puntos_;
};

#define SALTA_SIN_MONTAJE(hecho)                                        \
  if (!(hecho))                                                         \
  GTEST_SKIP() << "no se permite montar aquí (" << std::strerror(errno) \
               << "): la prueba necesita root o CAP_SYS_ADMIN, como en la integración continua"

constexpr const char* kCreaNotas = "CREATE TABLE Notas (ID INT NOT NULL PRIMARY KEY, Texto TEXT)";

V Notas(int n, std::size_t ancho) {
  V r;
  for (int i = 1; i <= n; ++i) r.push_back(std::to_string(i) + "," + std::string(ancho, 'x'));
  return r;
}

// Notas (created by `creaNotas`), then Turno: a fault of the run leaves Turno untried.
void Prepara(EntornoImportacion& e, const std::string& cadena, db::Conexion& base, const V& notas,
             const std::string& creaNotas = kCreaNotas) {
  base.Execute(creaNotas);
  base.Execute(kCreaTurno);
  EscribeBytes(e.Archivo("defs.ini"), "[Base de Datos]\r\nConexion=" + cadena + "\r\n" +
                                          ListaTablas({"Notas", "Turno"}) +
                                          e.Seccion("Notas", "ID", {"ID", "Texto"}) +
                                          e.Seccion("Turno", "ID", {"ID", "Nombre"}));
  e.Fuente("Notas.txt", notas);
  e.Fuente("Turno.txt", {"1,T"});
}

long CuentaFilas(db::Conexion& cn, const std::string& tabla) {
  return static_cast<long>(LeeFilas(cn, tabla, {"ID"}).size());
}

// What every storage fault must leave: the run ends with one error line that
// names the cause, no rejection, and exactly the committed lines reported.
void CompruebaFallaDeCorrida(EntornoImportacion& e, int estado, db::Conexion& base,
                             const std::string& causa) {
  EXPECT_EQ(estado, 3);
  const V log = e.Log();
  long lineasError = 0;
  for (const std::string& l : log)
    if (l.find("] Error: ") != std::string::npos) {
      ++lineasError;
      EXPECT_NE(l.find(causa), std::string::npos) << l;
    }
  EXPECT_EQ(lineasError, 1) << Une(log, "\n");
  EXPECT_EQ(e.Resultado("Notas_Er.txt"), V{});
  const V ok = e.Resultado("Notas_Ok.txt");
  EXPECT_EQ(CuentaFilas(base, "Notas"), static_cast<long>(ok.size()));
  EXPECT_EQ(CuentaFilas(base, "Turno"), 0);
  ASSERT_EQ(e.importaciones.size(), 1u);
  EXPECT_EQ(e.importaciones[0].estado, EstadoImportacion::Incompleta);
  EXPECT_EQ(e.importaciones[0].cuentas.rechazadas, 0);
  EXPECT_EQ(e.importaciones[0].cuentas.agregadas, static_cast<long>(ok.size()));
}

// The server ends the run's session after 25 records (batches of 10): the
// committed batches are reported, nothing else.
TEST(FallasBaseDatos, ConexionPerdidaTerminaLaCorridaConUnaSolaLinea) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  Prepara(e, e.Cadena(), e.Base(), Notas(40, 1));
  auto corrida = db::Conexion::Abre(e.Cadena());
  corrida->Execute("CREATE TABLE SesionCorrida AS SELECT pg_backend_pid() AS pid");
  int consultas = 0;
  const int estado = e.Importa(
      Lote(10),
      [&] {
        if (++consultas == 26)
          e.Base().Execute("SELECT pg_terminate_backend(pid) FROM SesionCorrida");
        return false;
      },
      std::move(corrida));
  CompruebaFallaDeCorrida(e, estado, e.Base(), "] Error: -");
  EXPECT_EQ(e.Log().size(), 3u) << Une(e.Log(), "\n");
  EXPECT_EQ(e.Resultado("Notas_Ok.txt"), Notas(20, 1));
  EXPECT_EQ(e.Resumenes(), (V{"Resumen Notas: 40 leídas, 20 agregadas, 0 actualizadas, "
                              "0 rechazadas, 20 sin procesar"}));
}

// Another program holds the database past the wait allowed: each table meets
// the lock once, one error line per table, not a rejection per record.
TEST(FallasBaseDatos, BloqueoQueNoCedeTerminaLaTablaNoCadaRegistro) {
  EntornoImportacion e;
  Prepara(e, e.Cadena(), e.Base(), Notas(5, 1));
  db::Esperas corta;
  corta.bloqueo = std::chrono::milliseconds(50);
  auto corrida = db::Conexion::Abre(e.Cadena(), corta);
  auto otra = db::Conexion::Abre(e.Cadena());
  otra->Execute("BEGIN EXCLUSIVE");
  const int estado = e.Importa({}, {}, std::move(corrida));
  otra->Execute("ROLLBACK");

  EXPECT_EQ(estado, 3);
  const V log = e.Log();
  ASSERT_EQ(log.size(), 4u) << Une(log, "\n");
  for (int i : {1, 2}) EXPECT_NE(log[i].find("database is locked"), std::string::npos) << log[i];
  EXPECT_EQ(e.Resultado("Notas_Er.txt"), V{});
  EXPECT_EQ(CuentaFilas(e.Base(), "Notas"), 0);
  EXPECT_EQ(e.Resumenes()[0],
            "Resumen Notas: 5 leídas, 0 agregadas, 0 actualizadas, 0 rechazadas, 5 sin procesar");
}

// A server that stops answering (here: a statement that waits on a lock
// nobody releases) is bounded by the statement wait, never waited on for ever.
TEST(FallasBaseDatos, SentenciaSinRespuestaSeCortaAlAgotarSuEspera) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  Prepara(e, e.Cadena(), e.Base(), Notas(3, 1));
  db::Esperas corta;
  corta.sentencia = std::chrono::seconds(1);
  auto corrida = db::Conexion::Abre(e.Cadena(), corta);
  auto otra = db::Conexion::Abre(e.Cadena());
  otra->BeginTrans();
  otra->Execute("LOCK TABLE Notas IN ACCESS EXCLUSIVE MODE");
  const int estado = e.Importa({}, {}, std::move(corrida));
  otra->RollbackTrans();
  EXPECT_EQ(estado, 3);
  const V log = e.Log();
  ASSERT_GE(log.size(), 3u) << Une(log, "\n");
  EXPECT_NE(log[1].find("] Error: -"), std::string::npos) << log[1];
  EXPECT_EQ(e.Resultado("Notas_Er.txt"), V{});
}

// The console program, as an operator runs it, on a database whose volume
// fills up.
TEST(Almacenamiento, ElProgramaTerminaConEstadoTresAlLlenarseElVolumen) {
  EntornoImportacion e;
  Montaje m;
  const std::string volumen = e.Archivo("volumen");
  SALTA_SIN_MONTAJE(Montaje::Tmpfs(m, volumen, "1m"));
  const std::string cadena = BaseDatosPrueba::SQLite(volumen);
  auto base = db::Conexion::Abre(cadena);
  Prepara(e, cadena, *base, Notas(3000, 1000));
  CarpetaTemporal salidas;
  Ejecucion corrida;
  corrida.args = {"-q", "--lote", "100", e.Archivo("defs.ini")};
  corrida.carpeta = e.Archivo("");
  const Salida s = Ejecuta(salidas, corrida);

  EXPECT_EQ(s.estado, 3) << s.err;
  std::size_t lineasError = 0;
  for (std::size_t k = 0; (k = s.err.find("] Error: ", k)) != std::string::npos; ++k) ++lineasError;
  EXPECT_EQ(lineasError, 1u) << s.err;
  EXPECT_NE(s.err.find("database or disk is full"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find(" 0 rechazadas, "), std::string::npos) << s.err;
  EXPECT_EQ(e.Resultado("Notas_Er.txt"), V{});
  EXPECT_EQ(CuentaFilas(*base, "Notas"), static_cast<long>(e.Resultado("Notas_Ok.txt").size()));
}

// PostgreSQL whose table lives on a full volume (a tablespace on a small
// tmpfs): the server's disk_full is the run's fault as SQLite's is.
TEST(Almacenamiento, ServidorSinEspacioTerminaLaCorrida) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  std::string cadena = e.Cadena();
  const std::size_t uid = cadena.find("Uid=varlodi");
  ASSERT_NE(uid, std::string::npos) << cadena;
  cadena.replace(uid, 11, "Uid=postgres");
  std::unique_ptr<db::Conexion> super;
  try {
    super = db::Conexion::Abre(cadena);
  } catch (const ErrorVarlo& error) {
    GTEST_SKIP() << "sin acceso de superusuario al servidor de pruebas: " << error.Descripcion();
  }
  // the server's own user must own the tablespace's folder
  const passwd* servidor = getpwnam("postgres");
  if (!servidor) servidor = getpwnam("varlodi");
  if (!servidor) GTEST_SKIP() << "no se sabe con qué usuario corre el servidor";
  Montaje m;
  const std::string volumen = e.Archivo("espacio");
  SALTA_SIN_MONTAJE(Montaje::Tmpfs(m, volumen, "2m"));
  ASSERT_EQ(chown(volumen.c_str(), servidor->pw_uid, servidor->pw_gid), 0);
  fs::permissions(e.Archivo(""), fs::perms::others_exec, fs::perm_options::add);
  const std::string espacio = "lleno_" + std::to_string(getpid());
  super->Execute("CREATE TABLESPACE " + espacio + " LOCATION '" + volumen + "'");
  struct Quita {
    db::Conexion& super;
    db::Conexion& base;
    std::string espacio;
    ~Quita() {
      try {
        base.Execute("DROP TABLE IF EXISTS Notas");
        super.Execute("DROP TABLESPACE " + espacio);
      } catch (...) {
        // the cluster is thrown away with its data anyway
      }
    }
  } quita{*super, e.Base(), espacio};
  super->Execute("GRANT CREATE ON TABLESPACE " + espacio + " TO varlodi");
  // 3 MB of text that does not compress, for 2 MiB
  V lineas;
  std::uint32_t azar = 12345;
  for (int i = 1; i <= 3000; ++i) {
    std::string texto;
    for (int k = 0; k < 1000; ++k) {
      azar = azar * 1103515245u + 12345u;
      texto += static_cast<char>('a' + (azar >> 16) % 26);
    }
    lineas.push_back(std::to_string(i) + "," + texto);
  }
  Prepara(e, e.Cadena(), e.Base(), lineas, std::string(kCreaNotas) + " TABLESPACE " + espacio);
  const int estado = e.Importa(Lote(100));
  CompruebaFallaDeCorrida(e, estado, e.Base(), "53100");
}

TEST(Almacenamiento, ArchivoDeSoloLecturaTerminaLaCorridaSinRechazarRegistros) {
  // The file read-only, its folder writable (it takes the journal).
  EntornoImportacion e;
  Montaje m;
  const std::string volumen = e.Archivo("volumen");
  SALTA_SIN_MONTAJE(Montaje::Tmpfs(m, volumen, "8m"));
  const std::string cadena = BaseDatosPrueba::SQLite(volumen);
  auto base = db::Conexion::Abre(cadena);
  Prepara(e, cadena, *base, Notas(300, 10));
  SALTA_SIN_MONTAJE(
      Montaje::ArchivoSoloLectura(m, cadena.substr(cadena.find("Data Source=") + 12)));
  const int estado = e.Importa(Lote(100));
  CompruebaFallaDeCorrida(e, estado, *base, "readonly");
  EXPECT_EQ(e.Resultado("Notas_Ok.txt"), V{});
}

// A database on a read-only volume cannot even be opened for the run: the
// same one error line and exit status, nothing written.
TEST(Almacenamiento, VolumenDeSoloLecturaNoSeAbre) {
  EntornoImportacion e;
  Montaje m;
  const std::string volumen = e.Archivo("volumen");
  SALTA_SIN_MONTAJE(Montaje::Tmpfs(m, volumen, "8m"));
  const std::string cadena = BaseDatosPrueba::SQLite(volumen);
  auto base = db::Conexion::Abre(cadena);
  Prepara(e, cadena, *base, Notas(300, 10));
  base.reset();
  SALTA_SIN_MONTAJE(Montaje::VolumenSoloLectura(volumen));
  EXPECT_EQ(e.Importa(), 3);
  const V log = e.Log();
  ASSERT_EQ(log.size(), 3u) << Une(log, "\n");
  EXPECT_NE(log[1].find("] Error: -"), std::string::npos) << log[1];
  EXPECT_FALSE(fs::exists(e.Archivo("Log/Notas_Ok.txt")));
  EXPECT_FALSE(fs::exists(e.Archivo("Log/Notas_Er.txt")));
}

TEST(Almacenamiento, ServidorDeSoloLecturaTerminaLaCorrida) {
  EntornoImportacion e(MotorPrueba::PostgreSql);
  Prepara(e, e.Cadena(), e.Base(), Notas(300, 10));
  auto corrida = db::Conexion::Abre(e.Cadena());
  // a standby, or a database an administrator made read-only
  corrida->Execute("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
  const int estado = e.Importa(Lote(100), {}, std::move(corrida));
  CompruebaFallaDeCorrida(e, estado, e.Base(), "read-only");
  EXPECT_EQ(e.Resultado("Notas_Ok.txt"), V{});
}

// A reload ("Borrar antes de importar") replaces the rows and the result
// files together: when the new result files cannot be written whole, the
// table does not commit, the last run's rows and files stay as they were,
// and its summary counts nothing as imported.
TEST(Almacenamiento, RecargaSinEspacioParaSusResultadosNoSeConfirma) {
  EntornoImportacion e;
  Montaje m;
  SALTA_SIN_MONTAJE(Montaje::Tmpfs(m, e.Archivo("Log"), "512k"));
  e.Base().Execute(kCreaNotas);
  e.Tabla("Notas", "ID", {"ID", "Texto"}, "Borrar antes de importar=1\r\n");
  e.Fuente("Notas.txt", Notas(50, 100));
  ASSERT_EQ(e.Importa(), 0);
  const V okAnterior = e.Resultado("Notas_Ok.txt");
  ASSERT_EQ(okAnterior.size(), 50u);

  // 1 MB of lines to report, all of them in the last batch, for half a MiB
  e.Fuente("Notas.txt", Notas(1000, 1000));
  EXPECT_EQ(e.Importa(), 4);
  EXPECT_EQ(e.Lee("Notas", {"ID"}).size(), 50u);
  EXPECT_EQ(e.Resultado("Notas_Ok.txt"), okAnterior);
  EXPECT_FALSE(fs::exists(e.Archivo("Log/Notas_Ok.txt.pendiente")));
  EXPECT_FALSE(fs::exists(e.Archivo("Log/Notas_Er.txt.pendiente")));
  ASSERT_EQ(e.importaciones.size(), 1u);
  const ImportacionCorrida& i = e.importaciones[0];
  EXPECT_EQ(i.estado, EstadoImportacion::Deshecha);
  EXPECT_EQ(i.cuentas.agregadas + i.cuentas.actualizadas + i.cuentas.rechazadas, 0);
  EXPECT_EQ(i.cuentas.sinProcesar, 1000);
  EXPECT_EQ(e.Resumenes().back(),
            "Resumen Notas: 1000 leídas, deshecha: ninguna línea quedó en la base de datos, "
            "1000 sin procesar");
}

// Once a reload committed, result files that cannot take the old ones'
// place are not lost and the run says where they are, loudly.
TEST(Almacenamiento, RecargaConfirmadaCuyosResultadosNoReemplazanLosViejosLoDice) {
  EntornoImportacion e;
  e.Base().Execute(kCreaNotas);
  e.Tabla("Notas", "ID", {"ID", "Texto"}, "Borrar antes de importar=1\r\n");
  e.Fuente("Notas.txt", Notas(3, 5));
  // what stands at the place of the "_Ok.txt" file cannot be replaced by a file
  fs::create_directories(e.Archivo("Log/Notas_Ok.txt"));
  EscribeBytes(e.Archivo("Log/Notas_Ok.txt/otro"), "x");

  EXPECT_EQ(e.Importa(), 4);
  EXPECT_EQ(e.Lee("Notas", {"ID"}).size(), 3u);
  EXPECT_EQ(e.Resultado("Notas_Ok.txt.pendiente"), Notas(3, 5));
  const V log = e.Log();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Los archivos de resultado de la tabla Notas no reemplazaron a los de la "
                      "corrida anterior: las líneas de esta corrida están en " +
                          e.Archivo("Log/Notas_Ok.txt.pendiente")),
            log.end())
      << Une(log, "\n");
  ASSERT_EQ(e.avisos.size(), 1u);
  ASSERT_EQ(e.importaciones.size(), 1u);
  EXPECT_EQ(e.importaciones[0].cuentas.agregadas, 3);
}

}  // namespace
}  // namespace varlo::prueba
