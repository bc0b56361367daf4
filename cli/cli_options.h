#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/stored_modes.h"

namespace quillon::cli {

// Exit statuses (the sysexits values scripts know).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;        // an action failed or was refused
inline constexpr int kExitUsage = 64;        // the command line cannot be used
inline constexpr int kExitNoInput = 66;      // an input file is missing or unreadable
inline constexpr int kExitUnavailable = 69;  // no board, and the action needs one
inline constexpr int kExitCantCreate = 74;   // an output file cannot be written
inline constexpr int kExitTempFail = 75;     // another station holds the settings file
inline constexpr int kExitConfig = 78;       // a settings error
inline constexpr int kExitSignalBase = 128;  // + the signal that stopped the run

enum class ClockKind { Real, Virtual };

struct CliAction {
    std::string name;
    std::vector<std::string> args;
};

struct CliOptions {
    std::filesystem::path settingsPath;
    std::filesystem::path iniFolder;
    ClockKind clock = ClockKind::Real;
    bool json = false;
    bool waitForSettings = false;  // --wait: wait while another station holds the settings
    std::string record;            // --record URI|FILE; empty: QUILLON_RECORD, else no records
    std::optional<FastFlash> fastFlash;  // --fast: FastFlash for this run; none: the setting
    // --board N: the board's device index, 0 to 15 (else $QUILLON_BOARD, else 0).
    int boardIndex = 0;
    std::vector<CliAction> actions;
    bool help = false;
    bool version = false;
};

// A command line that cannot be used, and why.
struct UsageError {
    std::string text;
};

// A whole number of at most nine digits (a count the command line takes).
bool IsCount(const std::string& word);

struct ParsedCommandLine {
    CliOptions options;
    std::string error;  // non-empty: a usage error
};

// quillon-cli [--board N] [--settings PATH] [--wait] [--ini-dir DIR] [--clock real|virtual]
//             [--json] [--record URI|FILE] [--fast off|blank|changed] ACTION...
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text (complete enough to make a manual page from).
std::string HelpText();

// "on" / "off".
bool OnOffValue(const std::string& word);

// The four step boxes a "steps" list names, in the order erase, check, program, verify.
struct StepSelection {
    bool erase = false;
    bool check = false;
    bool program = false;
    bool verify = false;
};
StepSelection ParseStepList(const std::string& list);

}  // namespace quillon::cli
