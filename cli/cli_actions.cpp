#include "cli/cli_actions.h"

#include <algorithm>

#include "cli/cli_runner.h"
#include "cli/gang/gang_command.h"
#include "cli/records_command.h"

namespace quillon::cli {

namespace {

// The help's usage column: an entry longer than this stands on a line of its own.
constexpr std::size_t kUsageWidth = 23;
constexpr const char* kIndent = "  ";

void CheckPasses(const CliAction& action) {
    const std::string& passes = action.args[0];
    if (!IsCount(passes) || std::stoi(passes) < 1) {
        throw UsageError{"burnrun: PASSES must be a whole number of at least 1, not '" + passes +
                         "'"};
    }
}

void CheckSteps(const CliAction& action) {
    ParseStepList(action.args[0]);
}

void CheckOnOff(const CliAction& action) {
    if (action.args[0] != "on" && action.args[0] != "off") {
        throw UsageError{action.name + ": on or off, not '" + action.args[0] + "'"};
    }
}

void CheckAssignment(const CliAction& action) {
    const std::string& text = action.args[0];
    if (text.find('=') == std::string::npos || text[0] == '=') {
        throw UsageError{"set: NAME=VALUE, not '" + text + "'"};
    }
}

using R = CliRunner;
constexpr auto kFixed = ArgShape::Fixed;
constexpr auto kNoFile = FileUse::None;
constexpr bool kBoard = true;
constexpr bool kNoBoard = false;
constexpr auto kOwnOutput = StdoutUse::OwnOutput;

// The station's actions, then the gang of several boards and, last, the actions on a line's
// records; these run alone.
std::vector<ActionSpec> WithRecordsActions(std::vector<ActionSpec> rows) {
    rows.push_back(GangAction());
    const std::vector<ActionSpec> records = RecordsActions();
    rows.insert(rows.end(), records.begin(), records.end());
    return rows;
}

}  // namespace

const std::vector<ActionSpec>& ActionTable() {
    // clang-format off
    static const std::vector<ActionSpec> table = WithRecordsActions({
        {"tick", ArgShape::OptionalCount, 0, nullptr, kBoard, kNoFile, "tick [N]",
         {"run the connection check N times (default 1); it does", "not run on a timer here"},
         &R::Tick},
        {"typeauto", kFixed, 0, nullptr, kBoard, kNoFile, "typeauto",
         {"identify the controller and the SPI flash (TypeAuto)"},
         &R::TypeAuto},
        {"type", kFixed, 2, nullptr, kNoBoard, kNoFile, "type MANUFACTURER DEVICE",
         {"choose the flash part on the Type page and press OK"},
         &R::Type},
        {"external-flash", kFixed, 0, nullptr, kBoard, kNoFile, "external-flash",
         {"select the external flash (dual-flash targets)"},
         &R::CycleAction<&ConnectionCycle::ExternalFlash>},
        {"internal-flash", kFixed, 0, nullptr, kBoard, kNoFile, "internal-flash",
         {"select the internal flash"},
         &R::CycleAction<&ConnectionCycle::InternalFlash>},
        {"reset-ec", kFixed, 0, nullptr, kBoard, kNoFile, "reset-ec",
         {"reset the controller (Reset EC)"},
         &R::CycleAction<&ConnectionCycle::ResetEc>},
        {"load", kFixed, 1, nullptr, kNoBoard, FileUse::ReadsImage, "load FILE",
         {"load an image file into the buffer and place it"},
         &R::Load},
        {"reload", kFixed, 0, nullptr, kNoBoard, kNoFile, "reload",
         {"load the last image file again"},
         &R::Reload},
        {"confirm", kFixed, 0, nullptr, kNoBoard, kNoFile, "confirm",
         {"compare the read buffer with the image buffer"},
         &R::Confirm},
        {"save", kFixed, 1, nullptr, kNoBoard, FileUse::Writes, "save FILE",
         {"write the read buffer to FILE"},
         &R::Save},
        {"erase", kFixed, 0, nullptr, kBoard, kNoFile, "erase | check | program | verify | read",
         {"one flash operation (check = blank check; read", "honours read-twice)"},
         &R::OperationAction<&FlashOperations::Erase>},
        {"check", kFixed, 0, nullptr, kBoard, kNoFile, "",
         {},
         &R::OperationAction<&FlashOperations::BlankCheck>},
        {"program", kFixed, 0, nullptr, kBoard, kNoFile, "",
         {},
         &R::OperationAction<&FlashOperations::Program>},
        {"verify", kFixed, 0, nullptr, kBoard, kNoFile, "",
         {},
         &R::OperationAction<&FlashOperations::Verify>},
        {"read", kFixed, 0, nullptr, kBoard, kNoFile, "",
         {},
         &R::OperationAction<&FlashOperations::Read>},
        {"auto", kFixed, 0, nullptr, kBoard, kNoFile, "auto",
         {"the Auto button: the checked steps in a row"},
         &R::Auto},
        {"burnrun", kFixed, 1, CheckPasses, kBoard, kNoFile, "burnrun PASSES",
         {"repeat the checked steps; ends after PASSES successful",
          "passes, at the first failure, or on an interrupt"},
         &R::BurnRun},
        {"backup", kFixed, 1, nullptr, kBoard, FileUse::Writes, "backup FILE",
         {"the customer page's Backup (only with SpecialForm 1):",
          "Allocation becomes 2, then TypeAuto, read, save FILE"},
         &R::Backup},
        {"steps", kFixed, 1, CheckSteps, kNoBoard, kNoFile, "steps LIST",
         {"the four step boxes, e.g. \"steps program,verify\";",
          "names: erase, check, program, verify; \"none\" clears all"},
         &R::Steps},
        {"skip-ff", kFixed, 1, CheckOnOff, kNoBoard, kNoFile, "skip-ff on|off",
         {"the Skip FF box (stored)"},
         &R::SkipFF},
        {"block-process", kFixed, 1, CheckOnOff, kNoBoard, kNoFile, "block-process on|off",
         {"the Block Process box (not stored)"},
         &R::BlockProcess},
        {"read-twice", kFixed, 1, CheckOnOff, kNoBoard, kNoFile, "read-twice on|off",
         {"the Read Twice to Verify box"},
         &R::ReadTwice},
        {"write-status", ArgShape::StatusBytes, 0, nullptr, kNoBoard, kNoFile,
         "write-status [S1 [S2 [continue]]]",
         {"the WriteStatus fields (hexadecimal bytes, no prefix);", "no argument empties them"},
         &R::WriteStatus},
        {"save-log", kFixed, 1, nullptr, kNoBoard, FileUse::Writes, "save-log FILE",
         {"write the message log to FILE (Save Message)"},
         &R::SaveLog},
        {"export-reg", kFixed, 1, nullptr, kNoBoard, FileUse::Writes, "export-reg FILE",
         {"write every setting as a REGEDIT4 file (Save REG)"},
         &R::ExportReg, kOwnOutput},
        {"import-reg", kFixed, 1, nullptr, kNoBoard, FileUse::Reads, "import-reg FILE",
         {"store every value of a REGEDIT4 file of the key",
          "SOFTWARE\\Kavo\\Vessa_Quillon; nothing is stored unless",
          "the whole file is valid"},
         &R::ImportReg, kOwnOutput},
        {"set", kFixed, 1, CheckAssignment, kNoBoard, kNoFile, "set NAME=VALUE",
         {"store one setting (a DWORD takes a decimal or 0x",
          "number within the setting's range, a text any text,",
          "binary hexadecimal bytes); only the settings this",
          "program knows"},
         &R::Set, kOwnOutput},
        {"get", kFixed, 1, nullptr, kNoBoard, kNoFile, "get NAME",
         {"print one setting"},
         &R::Get, kOwnOutput},
        {"check-params", kFixed, 0, nullptr, kNoBoard, kNoFile, "check-params",
         {"check the parameter files"},
         &R::CheckParams, kOwnOutput},
        {"flash", kFixed, 1, nullptr, kBoard, FileUse::ReadsImage, "flash IMAGE",
         {"the production shortcut: tick, typeauto, load IMAGE,", "auto"},
         &R::Flash},
    });
    // clang-format on
    return table;
}

const ActionSpec* FindAction(const std::string& name) {
    const auto& table = ActionTable();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const ActionSpec& spec) { return name == spec.name; });
    return found == table.end() ? nullptr : &*found;
}

std::string ActionsHelp() {
    std::string text = "Actions:\n";
    const std::string column(std::string(kIndent).size() + kUsageWidth, ' ');
    for (const ActionSpec& spec : ActionTable()) {
        const std::string usage = spec.usage;
        if (usage.empty()) {
            continue;
        }
        std::string line = kIndent + usage;
        if (usage.size() >= kUsageWidth) {
            text += line + "\n";
            line = column;
        } else {
            line += std::string(kUsageWidth - usage.size(), ' ');
        }
        for (std::size_t i = 0; i < spec.help.size(); ++i) {
            text += (i == 0 ? line : column) + spec.help[i] + "\n";
        }
    }
    return text;
}

std::optional<int> RunAloneAction(const CliOptions& options, std::FILE* out, std::FILE* err) {
    if (options.actions.empty()) {
        return std::nullopt;
    }
    const CliAction& action = options.actions.front();
    const ActionSpec* spec = FindAction(action.name);
    if (!spec || !spec->alone) {
        return std::nullopt;
    }
    return spec->alone(AloneRun{action, options, out, err});
}

}  // namespace quillon::cli
