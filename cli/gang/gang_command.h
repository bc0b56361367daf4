#pragma once

#include "cli/cli_actions.h"

namespace quillon::cli {

// The gang action's row of the action table: `gang --boards LIST [--settings-dir DIR]
// ACTION...` runs the same action line on several boards at once, one station per board.
ActionSpec GangAction();

// The "Several boards at once (gang):" part of --help.
const char* GangHelp();

}  // namespace quillon::cli
