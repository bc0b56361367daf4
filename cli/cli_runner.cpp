#include "cli/cli_runner.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/failure_cause.h"
#include "cli/records/records_command.h"
#include "cli/records/station_record.h"
#include "cli/run_record.h"
#include "cli/setting_assignment.h"
#include "config/flash_database_check.h"
#include "config/settings_import.h"
#include "config/settings_location.h"
#include "config/settings_lock.h"
#include "config/sqlite_settings_store.h"
#include "image/image_file.h"

namespace quillon::cli {

namespace {

std::atomic<int> interrupts{0};

void OnInterrupt(int) {
    if (interrupts.fetch_add(1) >= 1) {
        // The second interrupt ends the program the ordinary way.
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
    }
}

const std::set<std::string>& BoardActions() {
    static const std::set<std::string> names = {
        "tick",    "typeauto", "external-flash", "internal-flash", "reset-ec", "erase",  "check",
        "program", "verify",   "read",           "auto",           "burnrun",  "backup", "flash"};
    return names;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

int IndexIn(const std::vector<std::string>& list, const std::string& wanted) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == wanted) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsNoCase(list[i], wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string out;
    for (const auto& item : items) {
        if (item.empty()) {
            continue;
        }
        if (!out.empty()) {
            out += separator;
        }
        out += item;
    }
    return out;
}

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

bool IsSettingsError(const std::string& text) {
    return text.rfind("Failed to get data for", 0) == 0 ||
           text.rfind("Invalid data type for", 0) == 0;
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

void CliRunner::InstallInterruptHandler() {
    std::signal(SIGINT, OnInterrupt);
}

double CliRunner::ActionSeconds(Millis started) const {
    return static_cast<double>((clock_->Now() - started).count()) / 1000.0;
}

int CliRunner::SettingsFileStatus() {
    const auto file = ResolveSettingsPath(options_.settingsPath);
    if (file.empty()) {
        panel_.Diagnostic(
            "no settings file can be used: neither HOME nor XDG_CONFIG_HOME is set "
            "(use --settings PATH)");
        return kExitConfig;
    }
    try {
        SqliteSettingsStore::Open(file);
    } catch (const std::exception& error) {
        panel_.Diagnostic(error.what());
        return kExitConfig;
    }
    return kExitOk;
}

int CliRunner::LockSettingsFile() {
    const auto file = ResolveSettingsPath(options_.settingsPath);
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
    records_ = OpenRecordSink(target);
    return kExitOk;
}

void CliRunner::ReplaySpool() {
    if (auto* database = dynamic_cast<DatabaseRecordSink*>(records_.get())) {
        const SpoolReplay replay = database->ReplaySpool();
        if (replay.stored > 0) {
            panel_.Diagnostic(std::to_string(replay.stored) +
                              " spooled record(s) written to the database");
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
    ReplaySpool();  // what earlier runs spooled goes first
    station_ = std::make_unique<Station>(panel_, *clock_, timer_,
                                         StationOptions{options_.settingsPath, options_.iniFolder},
                                         loader_);
    panel_.onPump = [this] {
        if (interrupts.load() > 0 && !station_->StopRequested()) {
            station_->RequestStop();
        }
    };
    if (records_) {
        station_->Auto().onUnitDone = [this](const AutoUnitReport& unit) {
            WriteRecord(currentAction_, unit);
        };
    }

    int status = kExitOk;
    const std::size_t boxesBefore = panel_.Boxes().size();
    station_->RunStartup();
    for (std::size_t i = boxesBefore; i < panel_.Boxes().size(); ++i) {
        if (panel_.Boxes()[i].kind == MessageKind::Error &&
            IsSettingsError(panel_.Boxes()[i].text)) {
            status = kExitConfig;
        }
    }
    if (status == kExitOk) {
        for (const auto& action : options_.actions) {
            currentAction_ = action.name;
            const Millis started = clock_->Now();
            ActionOutcome outcome;
            if (const auto refused = CheckPrerequisites(action)) {
                outcome = {StepResult::Refused, *refused, std::nullopt};
            } else {
                outcome = Execute(action);
            }
            if (outcome.result == StepResult::Failed && NeedsBoard(action.name)) {
                if (const auto cause = NameFailureCause(*station_, panel_, action.name)) {
                    outcome.status = *cause;
                }
            }
            if (recordStatus_ != kExitOk && IsOk(outcome.result)) {
                outcome = {StepResult::Failed, recordStatus_, std::nullopt};
            }
            panel_.ActionDone(action.name, StepResultName(outcome.result), ActionSeconds(started),
                              outcome.value);
            if (!IsOk(outcome.result)) {
                status = outcome.status == kExitOk ? kExitFailed : outcome.status;
                break;
            }
        }
    }
    // The window's shutdown: the connection check stops and the target interface is released.
    station_->RunHandler([this] { station_->Session().CloseSequence(); });
    panel_.FlushLog();
    return status;
}

bool CliRunner::NeedsBoard(const std::string& name) const {
    return BoardActions().count(name) != 0;
}

std::optional<int> CliRunner::CheckPrerequisites(const CliAction& action) {
    const std::string& name = action.name;
    if (name == "load" || name == "flash") {
        if (const auto problem = ImageFileProblem(action.args[0])) {
            panel_.Diagnostic(name + ": " + *problem);
            return kExitNoInput;
        }
    }
    if (name == "import-reg") {
        if (!Readable(action.args[0])) {
            panel_.Diagnostic(name + ": cannot read '" + action.args[0] + "'");
            return kExitNoInput;
        }
    }
    if (name == "save" || name == "save-log" || name == "export-reg" || name == "backup") {
        if (!Writable(action.args[0])) {
            panel_.Diagnostic(name + ": cannot write '" + action.args[0] + "'");
            return kExitCantCreate;
        }
    }
    if (NeedsBoard(name) && !station_->BoardConnected()) {
        const std::string why = station_->BoardLoadError();
        panel_.Diagnostic(name + ": no board is connected" + (why.empty() ? "" : " (" + why + ")"));
        return kExitUnavailable;
    }
    return std::nullopt;
}

StepResult CliRunner::NotOk(std::size_t boxesBefore) const {
    for (std::size_t i = boxesBefore; i < panel_.Boxes().size(); ++i) {
        if (panel_.Boxes()[i].kind == MessageKind::Warning) {
            return StepResult::Refused;
        }
    }
    return StepResult::Failed;
}

ActionOutcome CliRunner::RunBody(const CliAction& action, bool writesFile,
                                 const std::function<StepResult()>& body) {
    ActionOutcome outcome;
    int errorStatus = kExitOk;
    const bool ran = station_->RunHandler([&] {
        try {
            outcome.result = body();
        } catch (const SettingsError&) {
            errorStatus = kExitConfig;
            throw;
        } catch (const std::exception&) {
            errorStatus = writesFile ? kExitCantCreate : kExitFailed;
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

StepResult CliRunner::SaveTo(const std::string& file, const std::function<void()>& save,
                             const std::string& okLine) {
    const std::size_t boxes = panel_.Boxes().size();
    const std::string path = std::filesystem::absolute(file).string();
    panel_.fileAnswers = {path};
    save();
    panel_.fileAnswers.clear();
    const auto& lines = station_->Log().Lines();
    const bool saved = lines.size() >= 2 && lines[lines.size() - 2] == okLine &&
                       lines.back() == "Save in '" + path + "'";
    return saved ? StepResult::Ok : NotOk(boxes);
}

ActionOutcome CliRunner::Execute(const CliAction& action) {
    const std::string& name = action.name;
    const auto& args = action.args;
    Station& s = *station_;
    auto& main = s.Controls().main;

    if (name == "load") {
        return Load(action, args[0]);
    }
    if (name == "reload") {
        return RunBody(action, false, [&] {
            const std::size_t boxes = panel_.Boxes().size();
            return s.Files().Reload() == StepResult::Ok ? StepResult::Ok : NotOk(boxes);
        });
    }
    if (name == "confirm") {
        return RunBody(action, false, [&] {
            const std::size_t boxes = panel_.Boxes().size();
            return s.Files().Confirm() == StepResult::Ok ? StepResult::Ok : NotOk(boxes);
        });
    }
    if (name == "save") {
        return RunBody(action, true, [&] {
            return SaveTo(
                args[0], [&] { s.Files().Save(); }, "Save Buffer to File ---> OK !");
        });
    }
    if (name == "save-log") {
        return RunBody(action, true, [&] {
            return SaveTo(
                args[0], [&] { s.Messages().SaveMessage(); },
                "Save Debug Message to File ---> OK !");
        });
    }
    if (name == "export-reg") {
        return RunBody(action, true, [&] {
            return SaveTo(
                args[0], [&] { s.Messages().SaveRegistryExport(); },
                "Save Kavo Quillon Setting to File ---> OK !");
        });
    }
    if (name == "import-reg") {
        return ImportReg(args[0]);
    }
    if (name == "set") {
        return Set(args[0]);
    }
    if (name == "get") {
        return Get(args[0]);
    }
    if (name == "type") {
        return Type(action);
    }
    if (name == "steps") {
        return RunBody(action, false, [&] {
            const StepSelection steps = ParseStepList(args[0]);
            s.OnCheckBoxClicked(StepCheckBox::Erase, steps.erase);
            s.OnCheckBoxClicked(StepCheckBox::Check, steps.check);
            s.OnCheckBoxClicked(StepCheckBox::Program, steps.program);
            s.OnCheckBoxClicked(StepCheckBox::Verify, steps.verify);
            return StepResult::Ok;
        });
    }
    if (name == "skip-ff") {
        return RunBody(action, false, [&] {
            s.OnCheckBoxClicked(StepCheckBox::SkipFF, OnOffValue(args[0]));
            return StepResult::Ok;
        });
    }
    if (name == "block-process") {
        main.blockProcess = OnOffValue(args[0]);
        return {};
    }
    if (name == "read-twice") {
        main.readTwice = OnOffValue(args[0]);
        return {};
    }
    if (name == "write-status") {
        auto& fields = main.writeStatus;
        fields.status1 = args.size() > 0 ? args[0] : "";
        fields.status2 = args.size() > 1 ? args[1] : "";
        fields.continue2Bytes = args.size() > 2;
        return {};
    }
    if (name == "auto") {
        return RunBody(action, false, [&] { return s.Auto().Run(); });
    }
    if (name == "burnrun") {
        return RunBody(action, false, [&] { return s.Auto().BurnRun(std::stoi(args[0])); });
    }
    if (name == "backup") {
        return RunBody(action, true, [&] {
            if (s.Cache().pageMode != kCustomerPageMode) {
                panel_.Diagnostic(
                    "backup: only on the customer page (SpecialForm 1); nothing done");
                return StepResult::Refused;
            }
            panel_.fileAnswers = {std::filesystem::absolute(args[0]).string()};
            const StepResult result = s.Auto().Backup();
            panel_.fileAnswers.clear();
            return result;
        });
    }
    if (name == "flash") {
        return Flash(action);
    }
    if (name == "tick") {
        return RunBody(action, false, [&] {
            const int ticks = args.empty() ? 1 : std::stoi(args[0]);
            for (int i = 0; i < ticks; ++i) {
                s.Cycle().Tick();
            }
            return StepResult::Ok;
        });
    }
    if (name == "erase" || name == "check" || name == "program" || name == "verify" ||
        name == "read") {
        return RunBody(action, false, [&] {
            auto& ops = s.FlashOps();
            if (name == "erase") {
                return ops.Erase();
            }
            if (name == "check") {
                return ops.BlankCheck();
            }
            if (name == "program") {
                return ops.Program();
            }
            return name == "verify" ? ops.Verify() : ops.Read();
        });
    }
    if (name == "check-params") {
        return CheckParams(action);
    }
    if (name == "typeauto") {
        return RunBody(action, false, [&] { return s.TypeAutoDesk().Run(); });
    }
    if (name == "external-flash" || name == "internal-flash" || name == "reset-ec") {
        return RunBody(action, false, [&] {
            if (name == "external-flash") {
                s.Cycle().ExternalFlash();
            } else if (name == "internal-flash") {
                s.Cycle().InternalFlash();
            } else {
                s.Cycle().ResetEc();
            }
            return StepResult::Ok;
        });
    }
    panel_.Diagnostic(name + ": unknown action");
    return {StepResult::Refused, kExitUsage, std::nullopt};
}

ActionOutcome CliRunner::Load(const CliAction& action, const std::string& file) {
    Station& s = *station_;
    return RunBody(action, false, [&] {
        const std::size_t boxes = panel_.Boxes().size();
        const std::string path = std::filesystem::absolute(file).string();
        panel_.fileAnswers = {path};
        s.Files().Load();
        panel_.fileAnswers.clear();
        const bool loaded = !s.Image().imageBuffer.empty() &&
                            s.Settings().ReadText("LastFilePath") == path &&
                            s.Log().LastLine().rfind("Merge File ---> Failure", 0) != 0;
        return loaded ? StepResult::Ok : NotOk(boxes);
    });
}

ActionOutcome CliRunner::Type(const CliAction& action) {
    Station& s = *station_;
    return RunBody(action, false, [&] {
        s.OpenTypePage();
        auto& page = s.TypeLogic();
        const int manufacturer = IndexIn(page.State().manufacturers, action.args[0]);
        if (manufacturer < 0) {
            s.CancelTypePage();
            panel_.Diagnostic("type: no manufacturer '" + action.args[0] +
                              "'; known: " + Joined(page.State().manufacturers, ", "));
            return StepResult::Refused;
        }
        page.SelectManufacturer(manufacturer);
        const int device = IndexIn(page.State().devices, action.args[1]);
        if (device < 0) {
            s.CancelTypePage();
            panel_.Diagnostic("type: no device '" + action.args[1] + "' of " + action.args[0] +
                              "; known: " + Joined(page.State().devices, ", "));
            return StepResult::Refused;
        }
        page.SelectDevice(device);
        s.AcceptTypePage();
        return StepResult::Ok;
    });
}

ActionOutcome CliRunner::ImportReg(const std::string& file) {
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
    return RunBody({"import-reg", {file}}, false, [&] {
        StoreRegistryImport(import, station_->Settings());
        return StepResult::Ok;
    });
}

ActionOutcome CliRunner::Set(const std::string& assignment) {
    SettingsStore& store = station_->Settings();
    const std::string name = assignment.substr(0, assignment.find('='));
    std::optional<SettingType> storedType;
    for (const auto& value : store.Enumerate()) {
        if (EqualsNoCase(value.name, name)) {
            storedType = value.type;
        }
    }
    const SettingAssignment checked = CheckSettingAssignment(assignment, storedType);
    if (!checked.value) {
        panel_.Diagnostic("set: " + checked.problem);
        return {StepResult::Refused, checked.status, std::nullopt};
    }
    const SettingValue& value = *checked.value;
    return RunBody({"set", {assignment}}, false, [&] {
        switch (value.type) {
            case SettingType::Dword:
                store.WriteInt(value.name, value.dword);
                break;
            case SettingType::Text:
                store.WriteText(value.name, value.text);
                break;
            case SettingType::Binary:
                store.WriteBinary(value.name, value.binary);
                break;
        }
        return StepResult::Ok;
    });
}

ActionOutcome CliRunner::Get(const std::string& name) {
    for (const auto& value : station_->Settings().Enumerate()) {
        if (!EqualsNoCase(value.name, name)) {
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
    ActionOutcome outcome = RunBody(action, false, [&] {
        const auto problems = CheckParameterSet(station_->FlashTypes());
        for (const auto& problem : problems) {
            panel_.Diagnostic(DescribeProblem(problem));
        }
        found = problems.size();
        return problems.empty() ? StepResult::Ok : StepResult::Failed;
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
    for (const CliAction& step : {CliAction{"tick", {}}, CliAction{"typeauto", {}},
                                  CliAction{"load", {action.args[0]}}, CliAction{"auto", {}}}) {
        ActionOutcome outcome = Execute(step);
        if (!IsOk(outcome.result)) {
            return outcome;
        }
    }
    return {};
}

void CliRunner::WriteRecord(const std::string& action, const AutoUnitReport& unit) {
    try {
        if (const auto notice = records_->Keep(MakeRunRecord(*station_, action, unit))) {
            panel_.Diagnostic(*notice);
        }
    } catch (const RecordError& error) {
        panel_.Diagnostic(error.what());
        recordStatus_ = kExitCantCreate;
    }
}

int CliMain(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const auto status = RunRecordsCommand(arguments, stdout, stderr)) {
        return *status;
    }
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
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
    CliPanel panel(stdout, stderr, parsed.options.json, ::isatty(STDERR_FILENO) != 0);
    CliRunner::InstallInterruptHandler();
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
