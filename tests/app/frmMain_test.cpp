// The run sequence, the run options and the progress log.
#include "app/frmMain.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "app/VentanaFalsa.h"
#include "common/Fechas.h"
#include "common/Interrupcion.h"
#include "common/Plataforma.h"
#include "support/CarpetaTemporal.h"
#include "support/RelojFijo.h"

namespace varlo {
namespace {

using prueba::CarpetaTemporal;
using prueba::EscribeBytes;
using prueba::LeeBytes;

class RunSequence : public ::testing::Test {
 protected:
  RunSequence() {
    std::setlocale(LC_TIME, "C");
    EstableceCarpetaPrograma(tmp.Ruta());
  }
  std::string Log() { return LeeBytes(tmp.Archivo("Log/VarloDI_Aug2006.log")); }
  bool HayLog() { return std::filesystem::exists(tmp.Archivo("Log")); }
  // A definitions file whose run imports nothing: no table, no absence planning.
  std::string Definiciones(const std::string& opciones) {
    std::string ruta = tmp.Archivo("defs.ini");
    EscribeBytes(ruta, "[Opciones]\r\n" + opciones + "[Tablas]\r\nTotal=0\r\n");
    return ruta;
  }
  prueba::RelojFijo reloj;
  CarpetaTemporal tmp;
  VentanaFalsa ventana;
};

TEST_F(RunSequence, LoadResetsTheWindowAndOnlyTheFirstActivationRuns) {
  std::string defs = Definiciones("ReporteLog=0\r\n");
  frmMain f(ventana, defs);
  ventana.EstableceEstado("x");
  ventana.EstableceValor(40);
  f.Form_Load();
  EXPECT_EQ(ventana.Estado(), "");
  EXPECT_EQ(ventana.Valor(), 0);
  EXPECT_TRUE(f.PrimeraActivacion);
  f.Form_Activate();
  EXPECT_FALSE(f.PrimeraActivacion);
  EXPECT_EQ(f.ArchivoDefiniciones, defs);
  EXPECT_TRUE(f.Terminado());

  f.ArchivoDefiniciones = "otro";
  f.Form_Activate();  // a re-activation only services events
  EXPECT_EQ(f.ArchivoDefiniciones, "otro");
  EXPECT_GE(ventana.eventosProcesados, 2);
}

// Without a path the Open dialog asks for one; cancelled, and the offer to
// generate a file declined, the run ends without a log.
TEST_F(RunSequence, WithoutAPathTheOpenDialogAsksForOne) {
  frmMain f(ventana, "");
  f.Form_Load();
  f.Form_Activate();
  EXPECT_TRUE(f.SinDefiniciones());
  EXPECT_TRUE(f.Terminado());
  EXPECT_FALSE(HayLog());

  // A blank line asks too, and the dialog's answer is the path.
  std::string defs = Definiciones("ReporteLog=0\r\n");
  ventana.archivosAbrir.push_back(defs);
  frmMain g(ventana, "   ");
  g.Form_Load();
  g.Form_Activate();
  ASSERT_EQ(ventana.dialogosAbrir.size(), 2u);
  const DialogoArchivo& d = ventana.dialogosAbrir[1];
  EXPECT_EQ(d.titulo, "Archivo de definiciones");
  EXPECT_EQ(d.extension, ".ini");
  EXPECT_EQ(d.carpetaInicial, tmp.Ruta());
  EXPECT_EQ(d.filtro, "Archivos de definiciones (*.ini)|*.ini");
  EXPECT_EQ(g.ArchivoDefiniciones, defs);
  EXPECT_FALSE(g.SinDefiniciones());

  // Only TABs: not empty, but no argument; no Open dialog this time.
  frmMain h(ventana, "\t\t");
  h.Form_Load();
  h.Form_Activate();
  EXPECT_EQ(ventana.dialogosAbrir.size(), 2u);
  EXPECT_TRUE(h.SinDefiniciones());
}

TEST_F(RunSequence, OptionsAreNumbersRoundedHalfToEven) {
  const std::pair<std::string, std::int16_t> casos[] = {
      {"1.5", 2}, {"0.5", 0}, {"1abc", 1}, {"", 0}, {"1.0", 1}, {"01", 1}, {"-3", -3}};
  for (const auto& [valor, esperado] : casos) {
    frmMain f(ventana, Definiciones("ReporteLog=" + valor + "\r\nMostrarMensajes=2\r\n"));
    f.Form_Load();
    f.Form_Activate();
    EXPECT_EQ(f.ReporteLog, esperado) << valor;
    EXPECT_EQ(f.MostrarMensajes, 2);
  }
}

// A log line is stamped with the general date, without the time at
// midnight; a box shows it, as logged, only when MostrarMensajes is exactly 1.
TEST_F(RunSequence, LogLinesAndTheirMessages) {
  frmMain f(ventana, "");
  f.ReporteLog = 2;  // off
  f.MostrarMensajes = 1;
  f.EscribeLog(">Inicio de importación");
  ASSERT_EQ(ventana.mensajes.size(), 1u);
  EXPECT_EQ(ventana.mensajes[0].texto, ">Inicio de importación");
  EXPECT_EQ(ventana.mensajes[0].titulo, "VarloDI");
  EXPECT_EQ(ventana.mensajes[0].botones, Botones::Aceptar);
  EXPECT_FALSE(HayLog());

  f.ReporteLog = 1;  // both: the stamped line is written, then shown
  f.EscribeLog("No se logró conectar con la base de datos");
  ASSERT_EQ(ventana.mensajes.size(), 2u);
  EXPECT_EQ(ventana.mensajes[1].texto,
            "No se logró conectar con la base de datos (8/3/2006 5:28:36 PM)");
  f.MostrarMensajes = 2;
  reloj.Pon(FechaHora{2006, 8, 31, 0, 0, 0});
  f.EscribeLog("");
  EXPECT_EQ(Log(),
            "No se logr\xF3 conectar con la base de datos (8/3/2006 5:28:36 PM)\r\n"
            " (8/31/2006)\r\n");
  f.MostrarMensajes = 0;
  f.ReporteLog = 0;
  f.EscribeLog("nada");
  EXPECT_EQ(ventana.mensajes.size(), 2u);
}

// Each letter notes one event of a run: a rejected record, an import not
// done, an error line, the database lost, an error that stopped the
// program, SIGINT, SIGTERM.
TEST_F(RunSequence, ExitStatusIsTheFirstThatApplies) {
  const std::map<char, std::function<void(frmMain&)>> notas = {
      {'r', [](frmMain& f) { f.NotaRechazo(); }},
      {'n', [](frmMain& f) { f.NotaError(); }},
      {'e',
       [](frmMain& f) { f.EscribeError(ErrorVarlo(13, "VarloDI", "No coinciden los tipos")); }},
      {'b', [](frmMain& f) { f.NotaBaseDatosPerdida(); }},
      {'f', [](frmMain& f) { f.NotaErrorFatal(); }},
      {'i', [](frmMain&) { PideInterrupcion(SIGINT); }},
      {'t', [](frmMain&) { PideInterrupcion(SIGTERM); }},
  };
  const std::pair<std::string, int> casos[] = {{"", 0},    {"r", 1},  {"nr", 4},   {"e", 4},
                                               {"rnb", 3}, {"bf", 2}, {"fi", 130}, {"t", 143}};
  for (const auto& [eventos, estado] : casos) {
    frmMain f(ventana, "");
    for (char c : eventos) notas.at(c)(f);
    EXPECT_EQ(f.EstadoSalida(), estado) << eventos;
    PideInterrupcion(0);
  }
}

}  // namespace
}  // namespace varlo
