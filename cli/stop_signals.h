#pragma once

#include <string>

namespace quillon::cli {

// The signals that end a run: SIGINT (Ctrl+C), SIGTERM (timeout, service managers) and SIGHUP
// (the terminal went away); on Windows also SIGBREAK (Ctrl+Break, 21). The first acts as the
// Stop button: the current operation stops at its next check, the failure tail, the record
// and the close sequence run, and the program exits 128 + the signal's number. A second one
// within kSecondSignalWindowMs ends the program at once. SIGPIPE is ignored: a closed
// standard output never ends a run.
void InstallStopSignals();
inline constexpr long long kSecondSignalWindowMs = 3000;

// The signal that asked the run to stop; 0 when none came.
int StopSignal();
// The cause a step stopped by `signal` reports: "stopped by signal N".
std::string StopSignalCause(int signal);

}  // namespace quillon::cli
