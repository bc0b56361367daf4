#include "cli/gang/gang_plan.h"

#include "cli/cli_actions.h"
#include "cli/gang/board_list.h"

namespace quillon::cli {

namespace {

constexpr const char* kFastWords[] = {"off", "blank", "changed"};

// The words that give a station these options (the ones ParseCommandLine knows).
std::vector<std::string> OptionWords(const CliOptions& options) {
    std::vector<std::string> words;
    if (!options.iniFolder.empty()) {
        words.insert(words.end(), {"--ini-dir", options.iniFolder.string()});
    }
    if (options.clock == ClockKind::Virtual) {
        words.insert(words.end(), {"--clock", "virtual"});
    }
    if (options.waitForSettings) {
        words.push_back("--wait");
    }
    if (!options.record.empty()) {
        words.insert(words.end(), {"--record", options.record});
    }
    if (options.fastFlash) {
        words.insert(words.end(), {"--fast", kFastWords[static_cast<int>(*options.fastFlash)]});
    }
    return words;
}

// The options after gang's own take the place of the same ones before it.
CliOptions Merged(const CliOptions& before, const CliOptions& after) {
    CliOptions merged = before;
    if (!after.settingsPath.empty()) {
        merged.settingsPath = after.settingsPath;
    }
    if (!after.iniFolder.empty()) {
        merged.iniFolder = after.iniFolder;
    }
    if (after.clock == ClockKind::Virtual) {
        merged.clock = ClockKind::Virtual;
    }
    merged.json = before.json || after.json;
    merged.waitForSettings = before.waitForSettings || after.waitForSettings;
    if (!after.record.empty()) {
        merged.record = after.record;
    }
    if (after.fastFlash) {
        merged.fastFlash = after.fastFlash;
    }
    merged.actions = after.actions;
    return merged;
}

// Takes gang's own options from words[i] on: --boards LIST and --settings-dir DIR, each as
// the next word or after "=".
void TakeGangOptions(const std::vector<std::string>& words, std::size_t& i, GangPlan& plan,
                     bool& boardsGiven) {
    for (; i < words.size(); ++i) {
        std::string word = words[i];
        std::optional<std::string> value;
        if (const auto eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
            value = word.substr(eq + 1);
            word = word.substr(0, eq);
        }
        if (word != "--boards" && word != "--settings-dir") {
            return;
        }
        if (!value) {
            if (i + 1 >= words.size()) {
                throw UsageError{"gang: " + word + " needs a value"};
            }
            value = words[++i];
        }
        if (value->empty()) {
            throw UsageError{"gang: " + word + " needs a value"};
        }
        if (word == "--boards") {
            plan.boards = ParseBoardList(*value);
            boardsGiven = true;
        } else {
            plan.settingsFolder = std::filesystem::path(*value);
        }
    }
}

}  // namespace

std::filesystem::path BoardSettingsFile(const std::filesystem::path& folder, int board) {
#ifdef _WIN32
    // The settings store is the registry there: board N's store is a subkey of DIR's key.
    return folder / ("board-" + std::to_string(board));
#else
    return folder / ("board-" + std::to_string(board) + ".sqlite");
#endif
}

GangPlan ParseGang(const std::vector<std::string>& words, const CliOptions& before) {
    GangPlan plan;
    std::size_t i = 0;
    bool boardsGiven = false;
    TakeGangOptions(words, i, plan, boardsGiven);
    if (!boardsGiven) {
        throw UsageError{"gang needs --boards LIST (like 0-7 or 0,2,5)"};
    }
    // The station's options, up to its first action.
    for (std::size_t at = i; at < words.size() && !FindAction(words[at]); ++at) {
        if (words[at] == "--board" || words[at].rfind("--board=", 0) == 0) {
            throw UsageError{"gang: --boards LIST chooses the boards, not --board"};
        }
    }
    const ParsedCommandLine station = ParseCommandLine(
        std::vector<std::string>(words.begin() + static_cast<std::ptrdiff_t>(i), words.end()));
    if (!station.error.empty()) {
        throw UsageError{"gang: " + station.error};
    }
    if (station.options.help || station.options.version) {
        throw UsageError{"gang: --help and --version stand before gang"};
    }
    const CliOptions options = Merged(before, station.options);
    if (!options.settingsPath.empty()) {
        throw UsageError{
            "gang: --settings names one settings file, and boards never share one: give the "
            "folder of the boards' files with --settings-dir DIR (or none: each board's own "
            "default file)"};
    }
    for (const CliAction& action : options.actions) {
        const ActionSpec* spec = FindAction(action.name);
        if (spec && spec->alone) {
            throw UsageError{"gang: " + action.name + " does not run on a board"};
        }
        plan.stationWords.push_back(action.name);
        plan.stationWords.insert(plan.stationWords.end(), action.args.begin(), action.args.end());
    }
    const std::vector<std::string> optionWords = OptionWords(options);
    plan.stationWords.insert(plan.stationWords.begin(), optionWords.begin(), optionWords.end());
    plan.json = options.json;
    return plan;
}

std::vector<std::string> ChildArguments(const GangPlan& plan, int board, bool events) {
    std::vector<std::string> words = {"--board", std::to_string(board)};
    if (plan.settingsFolder) {
        words.insert(words.end(),
                     {"--settings", BoardSettingsFile(*plan.settingsFolder, board).string()});
    }
    if (events) {
        words.push_back("--json");
    }
    words.insert(words.end(), plan.stationWords.begin(), plan.stationWords.end());
    return words;
}

}  // namespace quillon::cli
