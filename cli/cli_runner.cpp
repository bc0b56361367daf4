#include "cli/cli_runner.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/failure_cause.h"
#include "cli/setting_assignment.h"
#include "cli/stop_signals.h"
#include "config/flash_database_check.h"
#include "config/memory_settings_store.h"
#include "config/setting_names.h"
#include "config/settings_backend.h"
#include "config/settings_import.h"
#include "config/settings_location.h"
#include "config/settings_lock.h"
#include "platform/terminal.h"
#include "records/run_record.h"

namespace quillon::cli {

namespace {

std::string HexBytesText(const std::vector<uint8_t>& bytes) {
    std::string out;
    char pair[4];
    for (uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        if (!out.empty()) {
            out += ' ';
        }
        out += pair;
    }
    return out;
}

// Only a regular file is opened: opening a FIFO would wait for a writer.
bool Readable(const std::string& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return false;
    }
    std::ifstream stream(file, std::ios::binary);
    return stream.good();
}

// An output file can be written when its folder exists and is writable, and the file, when
// it exists, is a writable plain file.
bool Writable(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::exists(file, error)) {
        return std::filesystem::is_regular_file(file, error) && ::access(file.c_str(), W_OK) == 0;
    }
    auto folder = file.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK) == 0;
}

std::string AbsolutePath(const std::string& file) {
    return std::filesystem::absolute(file).string();
}

// A step that has no result of its own: it is done when it returns.
StepReport Done() {
    return StepReport::Done();
}

}  // namespace

CliRunner::CliRunner(CliOptions options, CliPanel& panel, DriverLoader loader)
    : options_(std::move(options)), panel_(panel), loader_(std::move(loader)) {
    if (options_.clock == ClockKind::Virtual) {
        clock_ = std::make_unique<VirtualClock>();
    } else {
        clock_ = std::make_unique<SystemClock>();
    }
}

CliRunner::~CliRunner() = default;

double CliRunner::ActionSeconds(Millis started) const {
    return static_cast<double>((clock_->Now() - started).count()) / 1000.0;
}

int CliRunner::SettingsFileStatus() {
    const auto file = ResolveSettingsPath(options_.settingsPath, options_.boardIndex);
    if (file.empty()) {
        panel_.Diagnostic(
            "no settings file can be used: neither HOME nor XDG_CONFIG_HOME is set "
            "(use --settings PATH)");
        return kExitConfig;
    }
    try {
        OpenSettingsStore(file);
    } catch (const std::exception& error) {
        panel_.Diagnostic(error.what());
        return kExitConfig;
    }
    return kExitOk;
}

int CliRunner::LockSettingsFile() {
    const auto file = ResolveSettingsPath(options_.settingsPath, options_.boardIndex);
    const LockWait wait = options_.waitForSettings ? LockWait::Yes : LockWait::No;
    try {
        settingsLock_ = SettingsLock::Acquire(file, wait, [&](long holder) {
            panel_.Diagnostic("waiting for the settings file '" + file.string() + "'" +
                              (holder > 0 ? ", held by process " + std::to_string(holder) : ""));
        });
    } catch (const SettingsFileBusy& busy) {
        panel_.Diagnostic(std::string(busy.what()) + ", or wait for it with --wait");
        return kExitTempFail;
    }
    return kExitOk;
}

int CliRunner::OpenRecords() {
    RecordTarget target;
    try {
        target = RecordTargetOrDefault(options_.record);
    } catch (const RecordTargetError& error) {
        panel_.Diagnostic(error.what());
        return kExitUsage;
    }
    if (target.kind == RecordTarget::Kind::File && !Writable(target.file)) {
        panel_.Diagnostic("the record file '" + target.file.string() + "' cannot be written");
        return kExitCantCreate;
    }
    records_ = OpenRecordSink(target, options_.boardIndex);
    return kExitOk;
}

void CliRunner::StartRecorder() {
    if (!records_) {
        return;
    }
    auto keep = [this](const std::string& line, bool lost) {
        const std::lock_guard lock(noticesMutex_);
        notices_.emplace_back(line, lost);
    };
    recorder_ = std::make_unique<BackgroundRecorder>(
        std::move(records_), keep, [keep](const std::string& line) { keep(line, false); });
}

void CliRunner::TellRecords() {
    if (!recorder_) {
        return;
    }
    recorder_->Wait();
    std::vector<std::pair<std::string, bool>> notices;
    {
        const std::lock_guard lock(noticesMutex_);
        notices.swap(notices_);
    }
    for (const auto& [line, lost] : notices) {
        panel_.Diagnostic(line);
        if (lost) {
            recordStatus_ = kExitCantCreate;
        }
    }
}

int CliRunner::Run() {
    if (const int status = OpenRecords(); status != kExitOk) {
        return status;
    }
    // A set the program would refuse whatever the store holds ends the run before anything
    // is done, so that a script's typing slip touches no settings file and no board.
    for (const auto& action : options_.actions) {
        if (action.name != "set") {
            continue;
        }
        const SettingAssignment checked = CheckSettingAssignment(action.args[0], std::nullopt);
        if (!checked.value) {
            panel_.Diagnostic("set: " + checked.problem);
            return checked.status;
        }
    }
    if (const int status = LockSettingsFile(); status != kExitOk) {
        return status;
    }
    if (const int status = SettingsFileStatus(); status != kExitOk) {
        return status;
    }
    // `x=$(quillon-cli get NAME)`: a run of actions that print their own output prints no log.
    if (std::all_of(options_.actions.begin(), options_.actions.end(), [](const CliAction& action) {
            const ActionSpec* spec = FindAction(action.name);
            return spec && spec->output == StdoutUse::OwnOutput;
        })) {
        panel_.HideLog();
    }
    StartRecorder();  // what earlier runs spooled goes first
    StationOptions stationOptions{options_.settingsPath, options_.iniFolder};
    stationOptions.fastFlash = options_.fastFlash;
    stationOptions.boardIndex = options_.boardIndex;
    station_ =
        std::make_unique<Station>(panel_, *clock_, timer_, std::move(stationOptions), loader_);
    panel_.onPump = [this] {
        if (const int signal = StopSignal(); signal != 0 && !station_->StopRequested()) {
            station_->RequestStop(StopSignalCause(signal));
        }
    };
    if (recorder_) {
        station_->Auto().onUnitDone = [this](const AutoUnitReport& unit) {
            WriteRecord(currentAction_, unit);
        };
    }

    // A setting the start-up needs that is missing or of another type is a settings error:
    // its box was shown, and no action runs.
    int status = station_->RunStartup().Ok() ? kExitOk : kExitConfig;
    if (status == kExitOk) {
        for (const auto& action : options_.actions) {
            if (StopSignal() != 0) {
                break;  // stopped between actions: the next one does not start
            }
            currentAction_ = action.name;
            const Millis started = clock_->Now();
            ActionOutcome outcome = Execute(action);
            const ActionSpec* spec = FindAction(action.name);
            // A parameter file that cannot be read is a configuration error, not the part's.
            if (const std::string problem = station_->TypeAutoDesk().TakeFileProblem();
                !problem.empty() && !IsOk(outcome.result)) {
                panel_.Diagnostic(action.name + ": the flash type cannot be read: " + problem);
                outcome.status = kExitConfig;
            } else if (outcome.result == StepResult::Failed && spec && spec->needsBoard) {
                if (const auto cause = NameFailureCause(*station_, panel_, action.name)) {
                    outcome.status = *cause;
                }
            }
            if (recordStatus_ != kExitOk && IsOk(outcome.result)) {
                outcome = {StepResult::Failed, recordStatus_, std::nullopt};
            }
            panel_.ActionDone(action.name, StepResultName(outcome.result), ActionSeconds(started),
                              outcome.value);
            if (!IsOk(outcome.result) && StopSignal() != 0) {
                panel_.Diagnostic(action.name + ": " + StopSignalCause(StopSignal()));
            }
            if (!IsOk(outcome.result)) {
                status = outcome.status == kExitOk ? kExitFailed : outcome.status;
                break;
            }
        }
    }
    // The window's shutdown: the connection check stops and the target interface is released.
    station_->RunHandler([this] { station_->Session().CloseSequence(); });
    TellRecords();
    panel_.FlushLog();
    if (const int signal = StopSignal(); signal != 0) {
        return kExitSignalBase + signal;  // as a shell reports a program a signal ended
    }
    return status;
}

std::optional<int> CliRunner::CheckPrerequisites(const CliAction& action, const ActionSpec& spec) {
    const std::string& name = action.name;
    if (spec.file == FileUse::ReadsImage) {
        if (const auto problem = Station::ImageFileProblem(action.args[0])) {
            panel_.Diagnostic(name + ": " + *problem);
            return kExitNoInput;
        }
    }
    if (spec.file == FileUse::Reads && !Readable(action.args[0])) {
        panel_.Diagnostic(name + ": cannot read '" + action.args[0] + "'");
        return kExitNoInput;
    }
    if (spec.file == FileUse::Writes && !Writable(action.args[0])) {
        panel_.Diagnostic(name + ": cannot write '" + action.args[0] + "'");
        return kExitCantCreate;
    }
    if (spec.needsBoard && !station_->BoardConnected()) {
        const std::string why = station_->BoardLoadError();
        panel_.Diagnostic(name + ": no board is connected" + (why.empty() ? "" : " (" + why + ")"));
        return kExitUnavailable;
    }
    return std::nullopt;
}

ActionOutcome CliRunner::RunBody(const CliAction& action, FileUse file,
                                 const std::function<StepReport()>& body) {
    ActionOutcome outcome;
    int errorStatus = kExitOk;
    const bool ran = station_->RunHandler([&] {
        try {
            outcome.result = body().result;
        } catch (const SettingsError&) {
            errorStatus = kExitConfig;
            throw;
        } catch (const std::exception&) {
            errorStatus = file == FileUse::Writes ? kExitCantCreate : kExitFailed;
            throw;
        }
    });
    if (!ran) {
        panel_.Diagnostic(action.name + ": the station is busy");
        return {StepResult::Refused, kExitFailed, std::nullopt};
    }
    if (errorStatus != kExitOk) {
        return {StepResult::Failed, errorStatus, std::nullopt};
    }
    outcome.status = IsOk(outcome.result) ? kExitOk : kExitFailed;
    return outcome;
}

ActionOutcome CliRunner::Execute(const CliAction& action) {
    const ActionSpec* spec = FindAction(action.name);
    if (!spec) {
        panel_.Diagnostic(action.name + ": unknown action");
        return {StepResult::Refused, kExitUsage, std::nullopt};
    }
    if (const auto refused = CheckPrerequisites(action, *spec)) {
        return {StepResult::Refused, *refused, std::nullopt};
    }
    return (this->*spec->handler)(action);
}

ActionOutcome CliRunner::Tick(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] {
        const int ticks = action.args.empty() ? 1 : std::stoi(action.args[0]);
        for (int i = 0; i < ticks; ++i) {
            station_->Cycle().Tick();
        }
        return Done();
    });
}

ActionOutcome CliRunner::TypeAuto(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] {
        const StepResult typed = station_->TypeAutoDesk().Run();
        return StepReport{typed, 0, 0, {}, 0.0};
    });
}

ActionOutcome CliRunner::CycleStep(const CliAction& action, void (ConnectionCycle::*call)()) {
    return RunBody(action, FileUse::None, [&] {
        (station_->Cycle().*call)();
        return Done();
    });
}

ActionOutcome CliRunner::Load(const CliAction& action) {
    return RunBody(action, FileUse::None,
                   [&] { return station_->Files().Load(AbsolutePath(action.args[0])); });
}

ActionOutcome CliRunner::Reload(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] { return station_->Files().Reload(); });
}

ActionOutcome CliRunner::Confirm(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] { return station_->Files().Confirm(); });
}

ActionOutcome CliRunner::Save(const CliAction& action) {
    return RunBody(action, FileUse::Writes,
                   [&] { return station_->Files().Save(AbsolutePath(action.args[0])); });
}

ActionOutcome CliRunner::SaveLog(const CliAction& action) {
    return RunBody(action, FileUse::Writes,
                   [&] { return station_->Messages().SaveMessage(AbsolutePath(action.args[0])); });
}

ActionOutcome CliRunner::ExportReg(const CliAction& action) {
    return RunBody(action, FileUse::Writes, [&] {
        return station_->Messages().SaveRegistryExport(AbsolutePath(action.args[0]));
    });
}

ActionOutcome CliRunner::Operation(const CliAction& action, StepReport (FlashOperations::*call)()) {
    return RunBody(action, FileUse::None, [&] { return (station_->FlashOps().*call)(); });
}

ActionOutcome CliRunner::Auto(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] { return station_->Auto().Run(); });
}

ActionOutcome CliRunner::BurnRun(const CliAction& action) {
    return RunBody(action, FileUse::None,
                   [&] { return station_->Auto().BurnRun(std::stoi(action.args[0])); });
}

ActionOutcome CliRunner::Backup(const CliAction& action) {
    return RunBody(action, FileUse::Writes, [&] {
        if (station_->Cache().pageMode != kCustomerPageMode) {
            panel_.Diagnostic("backup: only on the customer page (SpecialForm 1); nothing done");
            return StepReport::Refusal("not the customer page");
        }
        return station_->Auto().Backup(AbsolutePath(action.args[0]));
    });
}

ActionOutcome CliRunner::Steps(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] {
        const StepSelection steps = ParseStepList(action.args[0]);
        station_->OnCheckBoxClicked(StepCheckBox::Erase, steps.erase);
        station_->OnCheckBoxClicked(StepCheckBox::Check, steps.check);
        station_->OnCheckBoxClicked(StepCheckBox::Program, steps.program);
        station_->OnCheckBoxClicked(StepCheckBox::Verify, steps.verify);
        return Done();
    });
}

ActionOutcome CliRunner::SkipFF(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] {
        station_->OnCheckBoxClicked(StepCheckBox::SkipFF, OnOffValue(action.args[0]));
        return Done();
    });
}

ActionOutcome CliRunner::BlockProcess(const CliAction& action) {
    station_->Controls().main.blockProcess = OnOffValue(action.args[0]);
    return {};
}

ActionOutcome CliRunner::ReadTwice(const CliAction& action) {
    station_->Controls().main.readTwice = OnOffValue(action.args[0]);
    return {};
}

ActionOutcome CliRunner::WriteStatus(const CliAction& action) {
    const auto& args = action.args;
    auto& fields = station_->Controls().main.writeStatus;
    fields.status1 = args.size() > 0 ? args[0] : "";
    fields.status2 = args.size() > 1 ? args[1] : "";
    fields.continue2Bytes = args.size() > 2;
    return {};
}

ActionOutcome CliRunner::Type(const CliAction& action) {
    return RunBody(action, FileUse::None, [&] {
        StepReport chosen = station_->ChooseType(action.args[0], action.args[1]);
        if (chosen.result == StepResult::Refused) {
            panel_.Diagnostic("type: " + chosen.cause);
        }
        return chosen;
    });
}

ActionOutcome CliRunner::ImportReg(const CliAction& action) {
    const std::string& file = action.args[0];
    std::ifstream stream(file, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    if (!stream.good() && !stream.eof()) {
        panel_.Diagnostic("import-reg: cannot read '" + file + "'");
        return {StepResult::Failed, kExitNoInput, std::nullopt};
    }
    const RegistryImport import = ParseRegistryImport(text.str());
    if (import.problem) {
        panel_.Diagnostic(file + ":" + std::to_string(import.problem->line) + ": " +
                          import.problem->reason);
        return {StepResult::Refused, kExitFailed, std::nullopt};
    }
    return RunBody(action, FileUse::None, [&] {
        StoreRegistryImport(import, station_->Settings());
        return Done();
    });
}

ActionOutcome CliRunner::Set(const CliAction& action) {
    const std::string& assignment = action.args[0];
    SettingsStore& store = station_->Settings();
    const std::string name = assignment.substr(0, assignment.find('='));
    std::optional<SettingType> storedType;
    for (const auto& value : store.Enumerate()) {
        if (SameSettingName(value.name, name)) {
            storedType = value.type;
        }
    }
    const SettingAssignment checked = CheckSettingAssignment(assignment, storedType);
    if (!checked.value) {
        panel_.Diagnostic("set: " + checked.problem);
        return {StepResult::Refused, checked.status, std::nullopt};
    }
    const SettingValue& value = *checked.value;
    return RunBody(action, FileUse::None, [&] {
        store.Write(value);
        return Done();
    });
}

ActionOutcome CliRunner::Get(const CliAction& action) {
    const std::string& name = action.args[0];
    for (const auto& value : station_->Settings().Enumerate()) {
        if (!SameSettingName(value.name, name)) {
            continue;
        }
        std::string text;
        switch (value.type) {
            case SettingType::Dword:
                text = std::to_string(value.dword);
                break;
            case SettingType::Text:
                text = value.text;
                break;
            case SettingType::Binary:
                text = HexBytesText(value.binary);
                break;
        }
        panel_.PrintValue(text);
        return {StepResult::Ok, kExitOk, text};
    }
    panel_.Diagnostic("get: no setting '" + name + "'");
    return {StepResult::Failed, kExitConfig, std::nullopt};
}

ActionOutcome CliRunner::CheckParams(const CliAction& action) {
    std::size_t found = 0;
    ActionOutcome outcome = RunBody(action, FileUse::None, [&] {
        const auto problems = CheckParameterSet(station_->FlashTypes());
        for (const auto& problem : problems) {
            panel_.Diagnostic(DescribeProblem(problem));
        }
        found = problems.size();
        return problems.empty() ? Done() : StepReport::Failure("the parameter files have problems");
    });
    outcome.value = std::to_string(found) + " problem(s)";
    if (found > 0) {
        panel_.Diagnostic("check-params: " + *outcome.value + " in " +
                          station_->IniFolder().string());
    }
    return outcome;
}

ActionOutcome CliRunner::Flash(const CliAction& action) {
    // The production shortcut: tick, typeauto, load IMAGE, auto.
    // Its prerequisites are the flash action's own, already met.
    for (const CliAction& step :
         {CliAction{"tick", {}}, CliAction{"typeauto", {}}, CliAction{"load", {action.args[0]}}}) {
        ActionOutcome outcome = (this->*FindAction(step.name)->handler)(step);
        if (!IsOk(outcome.result)) {
            return outcome;
        }
    }
    // Auto runs on the image just loaded and merged: loading it again would merge it twice.
    return RunBody(action, FileUse::None,
                   [&] { return station_->Auto().Run(ImageReload::JustLoaded); });
}

void CliRunner::WriteRecord(const std::string& action, const AutoUnitReport& unit) {
    recorder_->Keep(action, unit);
    TellRecords();
}

int CliMain(int argc, char** argv) {
    const ParsedCommandLine parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quillon-cli: %s\nTry 'quillon-cli --help'.\n", parsed.error.c_str());
        return kExitUsage;
    }
    if (parsed.options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return kExitOk;
    }
    if (parsed.options.version) {
        std::printf("quillon-cli %s\n", Station::kVersion);
        return kExitOk;
    }
    if (const auto status = RunAloneAction(parsed.options, stdout, stderr)) {
        return *status;
    }
    CliPanel panel(stdout, stderr, parsed.options.json,
                   Terminals{IsCursorTerminal(stdout), IsCursorTerminal(stderr)});
    InstallStopSignals();
    try {
        CliRunner runner(parsed.options, panel);
        return runner.Run();
    } catch (const std::exception& error) {
        panel.FlushLog();
        panel.Diagnostic(error.what());
        return kExitFailed;
    }
}

}  // namespace quillon::cli
