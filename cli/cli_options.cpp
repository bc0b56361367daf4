#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "cli/cli_actions.h"
#include "cli/gang/gang_command.h"
#include "cli/records_help.h"
#include "config/board_index.h"

namespace quillon::cli {

namespace {

bool IsHexByte(const std::string& word) {
    return !word.empty() && word.size() <= 2 && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// The words of one action, as its table entry takes them, from arguments[i] on.
void TakeArguments(const ActionSpec& spec, const std::vector<std::string>& arguments,
                   std::size_t& i, CliAction& action) {
    switch (spec.shape) {
        case ArgShape::OptionalCount:
            if (i < arguments.size() && IsCount(arguments[i])) {
                action.args.push_back(arguments[i++]);
                if (std::stoi(action.args[0]) < 1) {
                    throw UsageError{action.name + ": N must be at least 1"};
                }
            }
            return;
        case ArgShape::StatusBytes:
            // Up to two hexadecimal bytes, then "continue" after the second.
            while (action.args.size() < 2 && i < arguments.size() && IsHexByte(arguments[i])) {
                action.args.push_back(arguments[i++]);
            }
            if (action.args.size() == 2 && i < arguments.size() && arguments[i] == "continue") {
                action.args.push_back(arguments[i++]);
            }
            return;
        case ArgShape::Rest:
            action.args.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
            i = arguments.size();
            if (spec.check) {
                spec.check(action);
            }
            return;
        case ArgShape::Fixed:
            break;
    }
    for (int n = 0; n < spec.arity; ++n) {
        if (i >= arguments.size()) {
            throw UsageError{action.name + " needs " + std::to_string(spec.arity) + " argument(s)"};
        }
        action.args.push_back(arguments[i++]);
    }
    if (spec.check) {
        spec.check(action);
    }
    for (const auto& arg : action.args) {
        if (arg.empty()) {
            throw UsageError{action.name + ": an empty argument"};
        }
    }
}

// The names a "steps" list takes, and the box each one ticks.
struct StepName {
    const char* name;
    bool StepSelection::*box;
};
constexpr StepName kStepNames[] = {
    {"erase", &StepSelection::erase},
    {"check", &StepSelection::check},
    {"program", &StepSelection::program},
    {"verify", &StepSelection::verify},
};

ClockKind ClockValue(const std::string& kind) {
    if (kind == "real") {
        return ClockKind::Real;
    }
    if (kind == "virtual") {
        return ClockKind::Virtual;
    }
    throw UsageError{"--clock is real or virtual, not '" + kind + "'"};
}

// --fast's words, in the order of the FastFlash values.
constexpr const char* kFastWords[] = {"off", "blank", "changed"};

FastFlash FastValue(const std::string& word) {
    for (int32_t value = 0; value < static_cast<int32_t>(std::size(kFastWords)); ++value) {
        if (word == kFastWords[value]) {
            return static_cast<FastFlash>(value);
        }
    }
    throw UsageError{"--fast is off, blank or changed, not '" + word + "'"};
}

// The options before the actions. A flag takes no value; the others take one, as the next
// word or after "=".
struct GlobalOption {
    const char* name;
    bool takesValue;
    void (*apply)(CliOptions& options, const std::string& value);
};

// clang-format off
const GlobalOption kGlobalOptions[] = {
    {"--help", false, [](CliOptions& o, const std::string&) { o.help = true; }},
    {"--version", false, [](CliOptions& o, const std::string&) { o.version = true; }},
    {"--json", false, [](CliOptions& o, const std::string&) { o.json = true; }},
    {"--wait", false, [](CliOptions& o, const std::string&) { o.waitForSettings = true; }},
    {"--settings", true, [](CliOptions& o, const std::string& v) { o.settingsPath = v; }},
    {"--ini-dir", true, [](CliOptions& o, const std::string& v) { o.iniFolder = v; }},
    {"--record", true, [](CliOptions& o, const std::string& v) { o.record = v; }},
    {"--clock", true, [](CliOptions& o, const std::string& v) { o.clock = ClockValue(v); }},
    {"--fast", true, [](CliOptions& o, const std::string& v) { o.fastFlash = FastValue(v); }},
    {"--board", true, [](CliOptions&, const std::string&) {}},  // taken by ParseCommandLine
};
// clang-format on

const GlobalOption& FindGlobalOption(const std::string& name) {
    for (const GlobalOption& option : kGlobalOptions) {
        if (name == option.name) {
            return option;
        }
    }
    throw UsageError{"unknown option '" + name + "'"};
}

}  // namespace

bool IsCount(const std::string& word) {
    return !word.empty() && word.size() <= 9 && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

bool OnOffValue(const std::string& word) {
    return word == "on";
}

StepSelection ParseStepList(const std::string& list) {
    StepSelection selection;
    if (list == "none") {
        return selection;
    }
    std::stringstream stream(list);
    std::string step;
    while (std::getline(stream, step, ',')) {
        const auto named = std::find_if(std::begin(kStepNames), std::end(kStepNames),
                                        [&](const StepName& entry) { return step == entry.name; });
        if (named == std::end(kStepNames)) {
            throw UsageError{"steps: '" + step +
                             "' is not one of erase, check, program, verify (or none)"};
        }
        selection.*named->box = true;
    }
    return selection;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    std::optional<std::string> boardWord;
    try {
        std::size_t i = 0;
        for (; i < arguments.size(); ++i) {
            std::string word = arguments[i];
            if (word == "--") {
                ++i;
                break;
            }
            if (word.rfind("--", 0) != 0) {
                break;
            }
            std::optional<std::string> value;
            if (const auto eq = word.find('='); eq != std::string::npos) {
                value = word.substr(eq + 1);
                word = word.substr(0, eq);
                if (value->empty()) {
                    throw UsageError{word + " needs a value"};
                }
            }
            const GlobalOption& option = FindGlobalOption(word);
            if (!option.takesValue && value) {
                throw UsageError{word + " takes no value"};
            }
            if (option.takesValue && !value) {
                if (i + 1 >= arguments.size()) {
                    throw UsageError{word + " needs a value"};
                }
                value = arguments[++i];
            }
            if (word == "--board") {
                boardWord = value;
            }
            option.apply(options, value.value_or(""));
        }
        if (options.help || options.version) {
            return parsed;
        }
        try {
            options.boardIndex = ChooseBoardIndex(boardWord);
        } catch (const std::invalid_argument& error) {
            throw UsageError{error.what()};
        }
        while (i < arguments.size()) {
            CliAction action{arguments[i++], {}};
            const ActionSpec* spec = FindAction(action.name);
            if (!spec) {
                throw UsageError{"unknown action '" + action.name + "'"};
            }
            if (spec->alone && !options.actions.empty()) {
                throw UsageError{action.name + " runs alone, without other actions"};
            }
            TakeArguments(*spec, arguments, i, action);
            options.actions.push_back(std::move(action));
        }
        if (options.actions.empty()) {
            throw UsageError{"no action given (see --help)"};
        }
    } catch (const UsageError& error) {
        parsed.error = error.text;
    }
    return parsed;
}

namespace {
// Where the settings live: a file here, a registry key on Windows. The start of --settings:
#ifdef _WIN32
constexpr const char* kSettingsOptionStart =
    R"(  --settings KEY         settings key below HKEY_CURRENT_USER (default:
                         $QUILLON_SETTINGS, else SOFTWARE\Kavo\Vessa_Quillon,
                         for board N > 0 SOFTWARE\Kavo\Vessa_Quillon-board-N).
                         A settings key belongs to one station at a time
                         (quillon-cli holds it for its whole run): with several
)";
constexpr const char* kSettingsKind = "key";
// The virtual board is the driver library itself there, playing a scenario file.
constexpr const char* kVirtualBoardEnvironment =
    "VESSA_SIM_SCENARIO (the scenario the\n  virtual board's KavoVessadll.dll plays)";
#else
constexpr const char* kSettingsOptionStart =
    R"(  --settings PATH        settings file (default: $QUILLON_SETTINGS, else
                         $XDG_CONFIG_HOME/quillon/settings.sqlite, for board
                         N > 0 settings-board-N.sqlite). A settings
                         file belongs to one station at a time (the window or
                         quillon-cli holds it for its whole run): with several
)";
constexpr const char* kSettingsKind = "file";
constexpr const char* kVirtualBoardEnvironment = "VESSA_SIM_SOCKET (the virtual board's\n  socket)";
#endif

// The rest of --settings, and --wait, on either platform.
std::string SettingsOptionsHelp() {
    return std::string(kSettingsOptionStart) +
           R"(                         boards on one computer, give each station its own
                         --settings
  --wait                 when another station holds the settings )" +
           kSettingsKind + R"(, wait
                         for it to end instead of refusing at once (exit 75)
)";
}
}  // namespace

std::string HelpText() {
    const RecordsHelp& records = BuildRecordsHelp();
    return std::string(R"(Usage: quillon-cli [OPTION]... ACTION...
Run the Quillon programming station without a window: the start-up sequence,
then the ACTIONs in order, then the close sequence. A script does exactly what
the window's buttons do.

Options:
  --board N              the board to work with: the device index of its
                         driver, 0 to 15 (default: $QUILLON_BOARD, else 0).
                         With several boards on one computer, one station
                         runs per board; a board other than 0 has a default
                         settings )") +
           kSettingsKind + R"( and record spool of its own
)" + SettingsOptionsHelp() +
           R"(  --ini-dir DIR          folder of the parameter (INI) files (default:
                         $QUILLON_INI_DIR, else INI beside the program)
  --clock real|virtual   real (the default) sleeps the waits; virtual counts
                         them without sleeping (virtual board, benchmarks)
  --json                 standard output carries one JSON object per event
)" + records.recordOption +
           R"(  --fast off|blank|changed
                         FastFlash for this run, whatever the setting holds
                         (set FastFlash=0|1|2 stores it): Auto's erase reads
                         each used block first; blank skips the erase of a
                         blank block, changed also leaves a block that holds
                         the image unerased and unwritten. Every block left
                         so is read again before Auto says OK. Connect modes
                         1 to 3; Flash via PD_CC/I2C keeps its own sequence
)" +
           R"(  --help                 show this help and exit
  --version              show the version and exit

)" + ActionsHelp() +
           R"(
Values read into memory at start-up (the flash type, the page mode) take effect
from the next run after set or import-reg.

Output:
  Standard output carries the message log as it ends up (the same lines Save
  Message writes); a progress line its outcome replaces is not printed. A run
  of only get, set, check-params, export-reg and import-reg prints no log:
  standard output carries what they print themselves (get's value). Message
  boxes go to standard error as "TITLE: TEXT" and are answered OK; status-bar
  changes and the gauge ("Gauge: N%") go to standard error.
  On a terminal the log shows as it goes: lines that may still change are
  redrawn in place at the foot, and each operation is one line with its label
  and gauge ("Erase    [#########           ]  45 %") until its outcome line
  replaces it.
  With --json, standard output carries one JSON object per event instead:
  {"event":"append"|"replace","line":...} ("from_end":N when a replace is of the
  line N above the last), {"event":"box","kind":...,
  "title":...,"text":...}, {"event":"status","panel":"board"|"target",
  "text":...}, {"event":"gauge","percent":N}, and {"event":"action","name":...,
  "result":"ok"|"failed"|"refused","seconds":S} after each action ("value"
  added for get). An operation is framed by {"event":"started","name":...,
  "label":...} just before its progress line and {"event":"ended","name":...,
  "result":...,"retries":N,"errors":N,"cause":...,"seconds":S} after its
  outcome lines (a run's closing line, such as Auto Flash's, ends it alone).

  An interrupt (Ctrl+C), SIGTERM or SIGHUP presses Stop: the unit ends with its
  record ("stopped by signal N") and the program exits 128 + N; a second one
  within three seconds ends the program at once. A closed standard output
  never ends a run.

)" + records.section +
           GangHelp() + R"(Exit status:
  0   every action succeeded
  1   an action failed or was refused (the run stops there; the close sequence
      still runs)
  64  the command line cannot be used (also: set of a setting this program
      does not know)
  66  an input file is missing or unreadable
  69  no board, and an action needs one; the board is in use by another
      program; or the board was pulled out during an action (a target
      switched off is named on standard error, status 1)
  74  an output file cannot be written
  75  another station holds the settings )" +
           kSettingsKind + R"( (see --wait)
  78  a settings error (also: set of a value outside the setting's range), or
      a parameter file the flash type is read from is there but cannot be read
      (nothing was erased)
  129, 130, 143  stopped by SIGHUP, SIGINT (Ctrl+C), SIGTERM

Environment:
  QUILLON_BOARD, QUILLON_SETTINGS, QUILLON_INI_DIR, QUILLON_RECORD,
  QUILLON_DRIVER_LIBRARY
  (the driver library to bind), )" +
           kVirtualBoardEnvironment + records.environment;
}

}  // namespace quillon::cli
