#pragma once
// What both front ends do around the run sequence: prepare the process, set
// the program's folder, hand the options to the run, and report its end.
#include <iosfwd>
#include <optional>
#include <string>

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

// The end of a run on `err`: the error that stopped it, why it ended before
// importing, and, when the status is not 0, the log file it wrote.
void InformaFin(const frmMain& f, int estado, const std::string& errorFatal, std::ostream& err);

}  // namespace varlo
