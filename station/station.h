#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "board/driver_loader.h"
#include "chip/target_identity.h"
#include "config/flash_database.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "flashops/auto_flash.h"
#include "flashops/flash_operations.h"
#include "image/file_command_desk.h"
#include "image/image_context.h"
#include "image/image_state.h"
#include "runtime/activity_guard.h"
#include "runtime/clock.h"
#include "runtime/message_log.h"
#include "runtime/operation_frame.h"
#include "runtime/operator_panel.h"
#include "runtime/stop_request.h"
#include "runtime/window_timer.h"
#include "station/board_session.h"
#include "station/control_state.h"
#include "station/message_menu.h"
#include "station/pin_definition_desk.h"
#include "station/setup_page_logic.h"
#include "station/startup_hooks.h"
#include "target/connection_flags.h"
#include "target/eflash_facts.h"
#include "target/target_desks.h"

namespace quillon {

struct StationOptions {
    // Settings file; empty: $QUILLON_SETTINGS, else the default under the XDG config folder
    // (one of its own for a board other than 0, config/settings_location.h).
    std::filesystem::path settingsPath;
    // The parameter-file folder; empty: $QUILLON_INI_DIR, else "INI" beside the program.
    std::filesystem::path iniFolder;
    // Timer2, the USB-PD processor-halt poll; none: a timer that only remembers its state.
    HaltPollTimer* haltPollTimer = nullptr;
    // FastFlash for this run instead of the stored setting (quillon-cli --fast); none: the
    // setting.
    std::optional<FastFlash> fastFlash{};
    // The board's device index, 0 to 15 (--board N): the index ConnectDevice is given and the
    // board a unit's record names. 0 is the board of a one-board bench.
    int boardIndex = 0;
};

// Owns the long-lived state of the programming station and runs what the window's
// buttons and menus ask for. Every call runs on the user-interface thread.
// The front-ends (app/, cli/) reach the board, the target, the image and the flash
// operations only through this class and the desks it hands out, naming their types
// through this header; they use config/ and platform/ directly, because the settings
// store, its lock and the board index exist before a station does (and `set`/`import-reg`
// edit the store with no station at all).
class Station {
public:
    static constexpr const char* kVersion = "4.0.0.8";
    static constexpr const char* kCaption = OperatorPanel::kApplicationTitle;
    // The window's height with the message log shown and hidden, title bar, menu and border
    // included (WindowControls::height holds one of them).
    static constexpr int kHeightWithLog = 625;
    static constexpr int kHeightWithoutLog = 470;
    // The client area below the menu with the log shown; title bar, menu and border take the
    // rest of kHeightWithLog, and the same share of kHeightWithoutLog (426 below the menu).
    static constexpr int kClientWidth = 518;
    static constexpr int kClientHeightWithLog = 581;
    static constexpr int ClientHeightBelowMenu(int windowHeight) {
        return windowHeight - (kHeightWithLog - kClientHeightWithLog);
    }

    // `driverLoader` binds the board's driver library when the board is bound.
    Station(OperatorPanel& panel, Clock& clock, ConnectionTimer& timer, StationOptions options,
            DriverLoader driverLoader = SystemDriverLoader());
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // The start-up sequence: caption, settings load, page mode, status bar, then the later
    // steps through the hooks, finally the connection check. Runs once; later calls do nothing.
    // Failed (the error's text as its cause) when a setting the start-up reads was missing or
    // of another type: the error box was shown and the window runs on with what was loaded.
    StepReport RunStartup();
    bool StartupDone() const { return startupDone_; }
    // The board this station works with (StationOptions::boardIndex).
    int BoardIndex() const { return options_.boardIndex; }
    // What the window's title names before the version: the caption, and for a board other
    // than 0 which board ("KavoEC_Quillon — board 3").
    static std::string CaptionOfBoard(int boardIndex);

    // Runs one button or menu handler. A settings error (or any other error) ends the
    // handler and is shown in the error box; the program runs on. A handler that arrives
    // while other work runs (a click pumped during an operation or a blocking wait) is
    // refused quietly: false.
    // The watcher set by WatchWork is told when the handler begins and ends.
    bool RunHandler(const std::function<void()>& handler);
    // Told true when a handler begins and false when it has ended: the window shows the menu
    // items whose work must wait for it (Save Message, Save REG) disabled meanwhile, so that
    // a click on them is never taken and then dropped.
    void WatchWork(std::function<void(bool running)> watcher) { workWatcher_ = std::move(watcher); }
    // Runs a window option, Show Message or NeedPdCpuHalt: it sends nothing to the board,
    // writes no log line and changes nothing that running work reads, so it takes effect at
    // once, also while other work runs (a click pumped during an operation). An error ends it
    // with the error box, as for a handler.
    void RunWindowOption(const std::function<void()>& handler);
    // True while an operation, a connection-check tick or a blocking wait is in progress.
    bool Busy() const { return activity_.Busy(); }

    // The Stop button: sets the stop request and turns the log silver. `cause` is what a
    // stopped step reports.
    void RequestStop(std::string cause = StopRequest::kByOperator);
    bool StopRequested() const { return stop_.Requested(); }

    // One of the five main-page boxes was clicked: stores its state at once.
    void OnCheckBoxClicked(StepCheckBox which, bool checked);

    // The panel's model. The window writes operator edits of fields that are not stored on
    // change (WriteStatus fields, Read Twice, Block Process, Setup fields before OK) and the
    // page it shows; both front-ends mirror it.
    const ControlState& Controls() const { return controls_; }
    ControlState& Controls() { return controls_; }

    // What the front-ends may read of the station's state.
    const MessageLog& Log() const { return log_; }
    const SettingsCache& Cache() const { return cache_; }
    const ImageState& Image() const { return image_; }
    const ConnectionFlags& Flags() const { return flags_; }
    const std::array<std::string, 7>& ChipIdStrings() const { return identity_.chipIdStrings; }
    bool InFlashMode() const { return flags_.inFlashMode; }
    bool MainPageActive() const { return flags_.mainPageActive; }
    // The parameter-file folder: the option, else "INI" beside the program.
    std::filesystem::path IniFolder() const;
    // The settings file in use, or nothing while running on the in-memory store.
    const std::optional<std::filesystem::path>& SettingsFile() const { return settingsFile_; }
    // The settings store itself: the command line's get, set, export and import.
    SettingsStore& Settings() { return *store_; }

    // The board link as the front-ends see it: whether the driver library is bound, why not,
    // and how its library calls run (the window hands them to its worker thread).
    bool BoardConnected() const { return link_->IsConnected() == 1; }
    const std::string& BoardLoadError() const { return link_->LoadError(); }
    void UseCallRunner(BlockingCallRunner& runner) { link_->UseCallRunner(runner); }
    // Starts following the board's plug-in and plug-out once start-up reaches that step.
    void WatchDevicesWith(std::function<void()> start) { hooks_.watchDevices = std::move(start); }

    // The Type page (parameter files): the Type button, the two lists, OK and Cancel.
    const FlashDatabase& FlashTypes() const { return *flashDatabase_; }
    TypePageLogic& TypeLogic() { return *typePage_; }
    void OpenTypePage();
    void AcceptTypePage();
    void CancelTypePage();
    // The whole Type page by name: opens it, picks the manufacturer and the part (the exact
    // spelling first, else the first that differs only in case) and presses OK. A name that
    // is not listed cancels the page: Refused, the cause naming the known choices.
    StepReport ChooseType(const std::string& manufacturer, const std::string& part);

    // The desks: each front-end reaches a feature through its desk.
    // Load, Reload (Ctrl+Alt+R, Auto Flash, ROM-key chips), Confirm and Save.
    FileCommands& Files() { return *files_; }
    // What would keep `path` from loading as an image, found before any byte is read (a
    // front-end checks a file it was given before it starts a run); nothing when it loads.
    static std::optional<std::string> ImageFileProblem(const std::string& path);
    // Other > Show Message, Save Message and Save REG.
    MessageMenu& Messages() { return *messages_; }
    // Erase, Check, Program, Verify, Read and the block process.
    FlashOperations& FlashOps() { return *flashOps_; }
    // Auto Flash, BurnRun and Backup.
    AutoFlash& Auto() { return *auto_; }
    // The connection cycle (Timer1, flash-mode entry, Reset EC, the flash-selection buttons,
    // the USB-PD CPU halt) and the automatic typing.
    ConnectionCycle& Cycle() { return target_->cycle; }
    TypeAuto& TypeAutoDesk() { return target_->typeAuto; }
    // The KBS pin definition and the Setup page (menu Setup, OK, Cancel, control rules).
    PinDefinitionDesk& Pins() { return *pins_; }
    SetupPageLogic& SetupLogic() { return *setupPage_; }
    // The board's start-up binding, plug-in and plug-out, and the close sequence.
    BoardSession& Session() { return *session_; }

    // A Timer1 tick: the connection check, dropped while other work runs (a tick must not
    // start inside an operation, or inside an earlier tick's command, prompt or wait).
    void Timer1Tick();
    // A Timer2 tick: the USB-PD CPU-halt poll. It runs while the power prompt of a tick is
    // open, so it does not ask the activity guard.
    void Timer2Tick();

private:
    // Tests and benchmarks look into the parts the station owns (tests/support/station_probe.h);
    // no front-end does.
    friend class StationProbe;

    // Runs a step of the station's own sequences: an error ends the step and is shown in
    // the error box. True when the step ran to its end.
    bool RunCaught(const std::function<void()>& handler);
    // The first missing or mistyped setting a handler met since start-up began.
    std::string settingValueProblem_;
    // A start-up step after the settings load. When the load ended early, a settings error
    // here ends the step quietly: the operator has already seen the load's box.
    void RunAfterLoad(bool loadCompleted, const std::function<void()>& step);
    void OpenSettings();
    void ReportSettingsFileProblem();
    void ApplyPageMode();
    void FillPinSets();
    void ShowError(const std::string& text);
    void FillDeviceBoxFromStore();
    void ShowParameterVersion();
    void SetDeviceBox(std::vector<std::string> lines);
    // What the file commands and the merge work on.
    ImageContext MakeImageContext();
    // The steps Auto Flash chains, each as its own button runs it.
    AutoFlashSteps MakeAutoSteps();

    OperatorPanel& panel_;
    Clock& clock_;
    ConnectionTimer& timer_;
    StationOptions options_;
    MessageLog log_;
    std::unique_ptr<SettingsStore> store_;
    std::optional<std::filesystem::path> settingsFile_;
    std::string settingsProblem_;  // why the settings file could not be used
    SettingsCache cache_;
    ControlState controls_;
    StartupHooks hooks_;
    std::function<void(bool)> workWatcher_;
    std::unique_ptr<FlashDatabase> flashDatabase_;
    std::unique_ptr<TypePageLogic> typePage_;
    std::unique_ptr<BoardLink> link_;
    std::unique_ptr<BoardCommands> board_;
    std::unique_ptr<BoardSideCommands> boardSide_;
    ConnectionFlags flags_;
    std::unique_ptr<PinDefinitionDesk> pins_;
    std::unique_ptr<SetupPageLogic> setupPage_;
    std::unique_ptr<BoardSession> session_;
    TargetIdentity identity_;  // ChipIdStrings live here
    EFlashFacts eflash_;
    ImageState image_;
    std::unique_ptr<FileCommands> files_;
    std::unique_ptr<MessageMenu> messages_;
    bool startupDone_ = false;
    StopRequest stop_;
    ActivityGuard activity_;
    OperationFrame frame_{panel_, log_, timer_, stop_, image_.operationResult, clock_};
    std::unique_ptr<FlashOperations> flashOps_;
    std::unique_ptr<AutoFlash> auto_;
    ManualTimer ownHaltPollTimer_;
    std::unique_ptr<TargetDesks> target_;
    void BuildTargetDesks();
    void RunTimerTick(const std::function<void()>& tick);
};

}  // namespace quillon
