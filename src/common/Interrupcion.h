#pragma once
// A run asked to stop (SIGINT, SIGTERM, and SIGHUP where there is one).
// The handlers only note the signal; the engines ask between records and
// stop after finishing or rolling back the batch in hand, and the front end
// then exits with 128 + the signal. A second signal of the same kind ends
// the program at once.
namespace varlo {

// Installs the handlers and ignores SIGPIPE, so that a closed pipe on stderr
// (varlodi defs.ini 2>&1 | head -1) never stops the work.
void InstalaManejadoresInterrupcion();

bool InterrupcionPedida();
// The signal that asked to stop; 0 when none did.
int SenalInterrupcion();

// Notes a request as the handler would (for tests); 0 forgets it.
void PideInterrupcion(int senal);

}  // namespace varlo
