#pragma once

#include <memory>
#include <optional>
#include <string>

#include "board/driver_loader.h"
#include "cli/cli_options.h"
#include "cli/cli_panel.h"
#include "cli/records/record_sink.h"
#include "config/settings_lock.h"
#include "station/station.h"
#include "ui/clock.h"
#include "ui/connection_timer.h"
#include "ui/step_result.h"

namespace quillon::cli {

// What one action came to: its result and the exit status it gives when it is not Ok.
struct ActionOutcome {
    StepResult result = StepResult::Ok;
    int status = kExitOk;
    std::optional<std::string> value;  // get
};

// A scripted operator over one Station: the start-up sequence, the actions in order, then
// the close sequence. The connection check runs only when an action asks for it (tick).
class CliRunner {
public:
    CliRunner(CliOptions options, CliPanel& panel, DriverLoader loader = SystemDriverLoader());
    ~CliRunner();
    CliRunner(const CliRunner&) = delete;
    CliRunner& operator=(const CliRunner&) = delete;

    // Runs everything; returns the exit status.
    int Run();

    // The interrupt signal: the first press is the Stop button.
    static void InstallInterruptHandler();

private:
    ActionOutcome Execute(const CliAction& action);
    ActionOutcome RunBody(const CliAction& action, bool writesFile,
                          const std::function<StepResult()>& body);
    std::optional<int> CheckPrerequisites(const CliAction& action);
    bool NeedsBoard(const std::string& name) const;

    ActionOutcome Load(const CliAction& action, const std::string& file);
    ActionOutcome Type(const CliAction& action);
    ActionOutcome ImportReg(const std::string& file);
    ActionOutcome Set(const std::string& assignment);
    ActionOutcome Get(const std::string& name);
    ActionOutcome Flash(const CliAction& action);
    ActionOutcome CheckParams(const CliAction& action);
    StepResult SaveTo(const std::string& file, const std::function<void()>& save,
                      const std::string& okLine);
    // Refused when a Warning box came up since `boxesBefore`, else Failed.
    StepResult NotOk(std::size_t boxesBefore) const;
    void WriteRecord(const std::string& action, const AutoUnitReport& unit);
    int SettingsFileStatus();
    // Takes the settings file for this run: kExitOk, or kExitTempFail when another station
    // holds it (and --wait was not given).
    int LockSettingsFile();
    // Checks the --record target (or QUILLON_RECORD) and makes its sink: kExitOk, or the
    // status a target that cannot be used gives.
    int OpenRecords();
    // Writes what earlier runs spooled, before this run's first unit.
    void ReplaySpool();
    double ActionSeconds(Millis started) const;

    CliOptions options_;
    SettingsLock settingsLock_;  // held from before the store opens until the run ends
    CliPanel& panel_;
    DriverLoader loader_;
    std::unique_ptr<Clock> clock_;
    ManualConnectionTimer timer_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<RecordSink> records_;
    std::string currentAction_;
    int recordStatus_ = kExitOk;  // a record that could not be written
};

// Main of quillon-cli: parses the arguments and runs.
int CliMain(int argc, char** argv);

}  // namespace quillon::cli
