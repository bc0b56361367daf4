#pragma once

#include <vector>

#include "cli/cli_actions.h"

namespace quillon::cli {

// The rows of the action table for the two actions that work on a line's records and need no
// station, with this build's help:
//   report URI|FILE [--since TIME] [--json] [--html OUT]
//   flush-records [URI] [--record URI]   (default: --record, else QUILLON_RECORD)
std::vector<ActionSpec> RecordsActions();

}  // namespace quillon::cli
