#pragma once

#include <optional>
#include <string>

#include "cli/cli_panel.h"
#include "station/station.h"

namespace quillon::cli {

// After a board action failed: finds whether the board was pulled out or the target was
// switched off, names it (CauseOfFailure) on standard error and brings the status lines up to date
// (the window learns both from plug events and its connection check; the command line asks once,
// here). Returns the exit status when the board is gone; nothing otherwise.
std::optional<int> NameFailureCause(Station& station, CliPanel& panel, const std::string& action);

}  // namespace quillon::cli
