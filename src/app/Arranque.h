#pragma once
// What both front ends do around the run sequence: prepare the process, set
// the program's folder, hand the options to the run, and report its end.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/LineaComandos.h"

namespace varlo {

class frmMain;

// Standard descriptors open, SIGPIPE ignored, SIGINT/SIGTERM noted.
void PreparaProceso();

// Chooses the program's folder for these options, creates it when missing
// and makes it the folder of the run. When it cannot be used: one line with
// the system's reason on stderr, and status 2.
std::optional<int> FijaCarpetaPrograma(const Argumentos& a, const std::string& programa);

void AplicaArgumentos(frmMain& f, const Argumentos& a);

// How a run ended, in the lines a front end prints last: the error that
// stopped it and why it ended before importing, each on its own line, then
// the headline, which names the log when the status is not 0 and the run
// wrote one (a scheduler's mail then ends with the log's path).
struct FinCorrida {
  std::vector<std::string> avisos;
  std::string titular;  // "" for a run that exited 0 when no headline was asked for it
};
FinCorrida DescribeFin(const frmMain& f, int estado, const std::string& errorFatal,
                       bool titularSiLimpia);

// The end of a run as lines on `err`, without a headline for a clean run.
void InformaFin(const frmMain& f, int estado, const std::string& errorFatal, std::ostream& err);

}  // namespace varlo
