#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_actions.h"
#include "cli/cli_options.h"
#include "cli/cli_panel.h"
#include "config/settings_lock.h"
#include "records/background_recorder.h"
#include "runtime/clock.h"
#include "runtime/step_report.h"
#include "runtime/window_timer.h"
#include "station/station.h"

namespace quillon::cli {

// A scripted operator over one Station: the start-up sequence, the actions in order, then
// the close sequence. The connection check runs only when an action asks for it (tick).
// Every action learns what happened from the report its command returns.
class CliRunner {
public:
    CliRunner(CliOptions options, CliPanel& panel, DriverLoader loader = SystemDriverLoader());
    ~CliRunner();
    CliRunner(const CliRunner&) = delete;
    CliRunner& operator=(const CliRunner&) = delete;

    // Runs everything; returns the exit status.
    int Run();

private:
    // The action table names the handlers.
    friend const std::vector<ActionSpec>& ActionTable();

    ActionOutcome Execute(const CliAction& action);
    // Runs a command as a window handler and turns its report into the action's outcome.
    ActionOutcome RunBody(const CliAction& action, FileUse file,
                          const std::function<StepReport()>& body);
    std::optional<int> CheckPrerequisites(const CliAction& action, const ActionSpec& spec);

    // The handlers, one per action.
    ActionOutcome Tick(const CliAction& action);
    ActionOutcome TypeAuto(const CliAction& action);
    ActionOutcome Type(const CliAction& action);
    ActionOutcome Load(const CliAction& action);
    ActionOutcome Reload(const CliAction& action);
    ActionOutcome Confirm(const CliAction& action);
    ActionOutcome Save(const CliAction& action);
    ActionOutcome Auto(const CliAction& action);
    ActionOutcome BurnRun(const CliAction& action);
    ActionOutcome Backup(const CliAction& action);
    ActionOutcome Steps(const CliAction& action);
    ActionOutcome SkipFF(const CliAction& action);
    ActionOutcome BlockProcess(const CliAction& action);
    ActionOutcome ReadTwice(const CliAction& action);
    ActionOutcome WriteStatus(const CliAction& action);
    ActionOutcome SaveLog(const CliAction& action);
    ActionOutcome ExportReg(const CliAction& action);
    ActionOutcome ImportReg(const CliAction& action);
    ActionOutcome Set(const CliAction& action);
    ActionOutcome Get(const CliAction& action);
    ActionOutcome CheckParams(const CliAction& action);
    ActionOutcome Flash(const CliAction& action);

    // A flash operation of the station, run as its button runs it.
    ActionOutcome Operation(const CliAction& action, StepReport (FlashOperations::*call)());
    // A step of the connection cycle (no result of its own).
    ActionOutcome CycleStep(const CliAction& action, void (ConnectionCycle::*call)());
    // The handlers of the actions that are one flash operation or one cycle step.
    template <StepReport (FlashOperations::*call)()>
    ActionOutcome OperationAction(const CliAction& action) {
        return Operation(action, call);
    }
    template <void (ConnectionCycle::*call)()>
    ActionOutcome CycleAction(const CliAction& action) {
        return CycleStep(action, call);
    }

    void WriteRecord(const std::string& action, const AutoUnitReport& unit);
    int SettingsFileStatus();
    // Takes the settings file for this run: kExitOk, or kExitTempFail when another station
    // holds it (and --wait was not given).
    int LockSettingsFile();
    // Checks the --record target (or QUILLON_RECORD) and makes its sink: kExitOk, or the
    // status a target that cannot be used gives.
    int OpenRecords();
    // Starts the recorder, which first writes what earlier runs spooled to the database, on a
    // thread of its own, so that connecting and replaying overlap the run's first unit instead
    // of adding to it.
    void StartRecorder();
    // Waits for the recorder (after each record, and at the end of the run) and says what
    // became of the replay and of the records that did not go where they were asked to.
    void TellRecords();
    double ActionSeconds(Millis started) const;

    CliOptions options_;
    SettingsLock settingsLock_;  // held from before the store opens until the run ends
    CliPanel& panel_;
    DriverLoader loader_;
    std::unique_ptr<Clock> clock_;
    ManualTimer timer_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<RecordSink> records_;  // the sink, until the recorder takes it
    std::unique_ptr<BackgroundRecorder> recorder_;
    std::mutex noticesMutex_;
    std::vector<std::pair<std::string, bool>> notices_;  // the recorder's: line, lost
    std::string currentAction_;
    int recordStatus_ = kExitOk;  // a record that could not be written
};

// Main of quillon-cli: parses the arguments and runs.
int CliMain(int argc, char** argv);

}  // namespace quillon::cli
