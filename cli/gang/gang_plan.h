#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace quillon::cli {

// What a gang runs: the boards, where each board's settings are kept, and the one station
// command line every board runs.
struct GangPlan {
    std::vector<int> boards;
    // --settings-dir: board N keeps its settings in DIR/board-N.sqlite. None: each board's
    // own default settings file (--board N chooses it).
    std::optional<std::filesystem::path> settingsFolder;
    // The station's options and actions, the same for every board (no --board, --settings
    // or --json: ChildArguments adds them).
    std::vector<std::string> stationWords;
    bool json = false;  // --json: the gang writes every board's events
};

// The gang action's words (`gang --boards LIST [--settings-dir DIR] [OPTION]... ACTION...`)
// with the options given before it: the plan, or UsageError. The station options may stand
// before `gang` or after its own options; the action line is checked here, once, as a
// single station would check it.
GangPlan ParseGang(const std::vector<std::string>& words, const CliOptions& before);

// The command line of board `board`'s station (after the program's name).
std::vector<std::string> ChildArguments(const GangPlan& plan, int board, bool events);

// The settings file of board `board` in `folder`: folder/board-N.sqlite.
std::filesystem::path BoardSettingsFile(const std::filesystem::path& folder, int board);

}  // namespace quillon::cli
