#include "station/station.h"

#include "config/memory_settings_store.h"
#include "config/setting_names.h"
#include "config/settings_backend.h"
#include "config/settings_location.h"
#include "image/image_file.h"
#include "station/startup_load.h"
#include "target/status_texts.h"

namespace quillon {

Station::Station(OperatorPanel& panel, Clock& clock, ConnectionTimer& timer, StationOptions options,
                 DriverLoader driverLoader)
    : panel_(panel), clock_(clock), timer_(timer), options_(std::move(options)), log_(panel) {
    OpenSettings();
    link_ = std::make_unique<BoardLink>(std::move(driverLoader), panel_);
    board_ = std::make_unique<BoardCommands>(*link_, *store_, log_, timer_);
    boardSide_ = std::make_unique<BoardSideCommands>(*link_, log_);
    files_ = std::make_unique<FileCommands>(MakeImageContext(), stop_);
    messages_ = std::make_unique<MessageMenu>(controls_.window, panel_, log_, *store_);
    hooks_.reloadLastFile = [this](const std::string& path) {
        // A merge whose boundary reads failed keeps the file (no board is bound yet at
        // start-up, so they cannot succeed); a file that cannot be read or placed is forgotten.
        return files_->ReloadAtStartup(path) != StepResult::Refused;
    };
    flashDatabase_ = std::make_unique<FlashDatabase>(::quillon::IniFolder(IniFolder()));
    typePage_ = std::make_unique<TypePageLogic>(*flashDatabase_, *store_, cache_, panel_);
    hooks_.fillDeviceBox = [this] { FillDeviceBoxFromStore(); };
    BuildTargetDesks();
    flashOps_ = std::make_unique<FlashOperations>(
        FlashOpsParts{*board_, *boardSide_, *store_, cache_, image_, identity_, eflash_, flags_,
                      frame_, log_, stop_, clock_},
        FlashOpsControls{controls_.main.deviceLines, controls_.main.skipFF,
                         controls_.main.readTwice, controls_.setup.unprotectTheLast1K,
                         [this] {
                             for (auto box : {StepCheckBox::Erase, StepCheckBox::Check,
                                              StepCheckBox::Program, StepCheckBox::Verify}) {
                                 OnCheckBoxClicked(box, true);
                             }
                             panel_.ControlsChanged();
                         },
                         [this] {
                             return flashDatabase_->SmallSectorSizeKB(
                                 store_->ReadText(setting::kLastFlashId1),
                                 store_->ReadText(setting::kLastFlashId2));
                         },
                         options_.fastFlash});
    pins_ = std::make_unique<PinDefinitionDesk>(*store_, ::quillon::IniFolder(IniFolder()),
                                                *boardSide_, panel_, log_, controls_.setup);
    hooks_.pinSourceSelected = [this](int item) { pins_->SelectSourceAtStartup(item); };
    setupPage_ = std::make_unique<SetupPageLogic>(*store_, cache_, panel_, clock_, timer_, *board_,
                                                  flags_, eflash_, controls_, *pins_);
    // Setup OK and Cancel end with one connection check at once. They run as a handler, so the
    // check is the handler's own nested work (a Timer1 tick would be dropped as busy), and its
    // error ends the handler like any other.
    setupPage_->GetSeams().connectionCheck = [this] {
        const auto nested = activity_.EnterNested();
        target_->cycle.Tick();
    };
    session_ = std::make_unique<BoardSession>(
        BoardSession::Parts{*link_, *board_, *boardSide_, *store_, cache_, panel_, log_, clock_,
                            timer_, flags_, eflash_, hooks_.pins,
                            [this] {
                                image_.imageBuffer = {};
                                image_.readBuffer = {};
                                image_.mergeBuffer = {};
                            },
                            static_cast<uint8_t>(options_.boardIndex)});
    hooks_.pins.fill = [this] { pins_->FillAtStartup(); };
    hooks_.pins.boardKind = [this](uint8_t kind) { pins_->SetBoardKind(kind); };
    hooks_.pins.numbers = [this] { return pins_->NumbersToSend(); };
    hooks_.pins.takeOver = [this](const PinDefinitionSeams::Numbers& numbers) {
        pins_->TakeOver(numbers);
    };
    auto& main = controls_.main;
    auto_ = std::make_unique<AutoFlash>(
        AutoFlashContext{panel_, log_, clock_, timer_, stop_, frame_, *store_, image_,
                         cache_.flashblock, cache_.pageMode, flags_, identity_, *board_,
                         *boardSide_},
        AutoFlashControls{main.checkErase, main.checkCheck, main.checkProgram, main.checkVerify,
                          main.skipFF, main.blockProcess, main.writeStatus.status1,
                          main.writeStatus.status2, main.writeStatus.continue2Bytes,
                          main.deviceLines},
        MakeAutoSteps());
    auto_->boardIndex = options_.boardIndex;
}

Station::~Station() = default;

void Station::OpenSettings() {
    const auto file = ResolveSettingsPath(options_.settingsPath, options_.boardIndex);
    if (file.empty()) {
        settingsProblem_ = "No settings file can be used: neither HOME nor XDG_CONFIG_HOME is set";
    } else {
        try {
            store_ = OpenSettingsStore(file);
            settingsFile_ = file;
            return;
        } catch (const SettingsFileError& error) {
            settingsProblem_ = error.what();
        } catch (const std::exception& error) {
            settingsProblem_ =
                "Cannot use the settings file '" + file.string() + "': " + error.what();
        }
    }
    store_ = std::make_unique<MemorySettingsStore>();
}

std::filesystem::path Station::IniFolder() const {
    if (!options_.iniFolder.empty()) {
        return options_.iniFolder;
    }
    return ::quillon::IniFolder::DefaultFolder();
}

void Station::ReportSettingsFileProblem() {
    if (settingsProblem_.empty()) {
        return;
    }
    log_.Append(settingsProblem_ + " ; settings are kept in memory only");
    ShowError(settingsProblem_ +
              ".\nThe file is left as it is. The settings of this session are kept in memory "
              "only and are lost when the program ends.");
}

void Station::ShowError(const std::string& text) {
    panel_.Error(text);
}

ImageContext Station::MakeImageContext() {
    return ImageContext{image_,
                        *store_,
                        panel_,
                        log_,
                        timer_,
                        *board_,
                        identity_,
                        eflash_,
                        cache_.flashblock,
                        cache_.commandModeRead,
                        controls_.setup.assignedAddress,
                        PathBox{controls_.main.filePathText, controls_.main.filePathHint}};
}

bool Station::RunHandler(const std::function<void()>& handler) {
    auto scope = activity_.TryEnter();
    if (!scope) {
        return false;
    }
    struct WorkShown {
        const std::function<void(bool)>& watcher;
        explicit WorkShown(const std::function<void(bool)>& w) : watcher(w) {
            if (watcher) {
                watcher(true);
            }
        }
        ~WorkShown() {
            if (watcher) {
                watcher(false);
            }
        }
        WorkShown(const WorkShown&) = delete;
        WorkShown& operator=(const WorkShown&) = delete;
    } shown{workWatcher_};
    RunCaught(handler);
    return true;
}

void Station::RunWindowOption(const std::function<void()>& handler) {
    RunCaught(handler);
}

bool Station::RunCaught(const std::function<void()>& handler) {
    bool completed = false;
    try {
        handler();
        completed = true;
    } catch (const SettingValueError& error) {
        ShowError(error.what());
        if (settingValueProblem_.empty()) {
            settingValueProblem_ = error.what();
        }
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    panel_.ControlsChanged();
    return completed;
}

void Station::RunAfterLoad(bool loadCompleted, const std::function<void()>& step) {
    if (loadCompleted) {
        RunCaught(step);
        return;
    }
    // The operator has seen the load's error: a value the load never reached (missing, or of
    // the wrong type) ends this step without a second box.
    try {
        step();
    } catch (const SettingsError&) {
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    panel_.ControlsChanged();
}

std::string Station::CaptionOfBoard(int boardIndex) {
    return boardIndex == 0 ? std::string(kCaption)
                           : std::string(kCaption) + " — board " + std::to_string(boardIndex);
}

StepReport Station::RunStartup() {
    if (startupDone_) {
        return StepReport::Done();
    }
    startupDone_ = true;
    settingValueProblem_.clear();
    auto& window = controls_.window;
    window.caption = std::string(kCaption) + " " + kVersion;
    if (options_.boardIndex != 0) {
        window.caption += " — board " + std::to_string(options_.boardIndex);
    }
    window.aboutVersion = std::string("Version : ") + kVersion;
    identity_.chipIdStrings[0] = "0";

    ReportSettingsFileProblem();
    // A settings error ends the load; the window still comes up and runs on.
    const bool loaded =
        RunCaught([this] { StartupLoad(*store_, log_, panel_, controls_, cache_, hooks_).Run(); });
    RunAfterLoad(loaded, [this] {
        controls_.window.dualFlashButtonsVisible = store_->ReadBool(setting::kDualFlash);
    });
    ApplyPageMode();

    panel_.SetStatusText(StatusPanel::Board, status_texts::kPlugOut);
    panel_.SetStatusText(StatusPanel::Target, status_texts::kTargetPowerOff);
    flags_.inFlashMode = false;
    panel_.ControlsChanged();

    FillPinSets();
    if (hooks_.watchDevices) {
        RunCaught(hooks_.watchDevices);
    }
    // After a settings error has ended the load, the board steps run without a second box.
    RunAfterLoad(loaded, [this] { session_->BindAtStartup(); });
    ShowParameterVersion();
    timer_.SetEnabled(true);
    flags_.mainPageActive = true;
    return settingValueProblem_.empty() ? StepReport::Done()
                                        : StepReport::Failure(settingValueProblem_);
}

void Station::FillPinSets() {
    if (!hooks_.pins.fill) {
        return;
    }
    // A selected pin set that cannot be read is skipped, as a later pin-set change would
    // skip it: the board is still contacted.
    try {
        hooks_.pins.fill();
    } catch (const std::exception& error) {
        log_.Append(std::string("Pin set skipped: ") + error.what());
    }
}

void Station::ApplyPageMode() {
    auto& window = controls_.window;
    window.pageMode = cache_.pageMode;
    if (cache_.pageMode == kCustomerPageMode) {
        window.page = Page::Customer;
        window.logVisible = false;
        window.height = kHeightWithoutLog;
        window.menusVisible = false;
        controls_.main.resetEcVisible = false;
    } else {
        // Page mode 0, and any value without a page of its own: one page must show.
        window.page = Page::Main;
    }
    panel_.ShowPage(window.page);
}

void Station::RequestStop(std::string cause) {
    stop_.Request(std::move(cause));
    panel_.SetLogColour(LogColour::Silver);
}

void Station::OnCheckBoxClicked(StepCheckBox which, bool checked) {
    // Each box: its mirror in the main page's controls and the setting it is stored as.
    struct StoredBox {
        StepCheckBox box;
        bool MainPageControls::*state;
        const char* setting;
    };
    static constexpr StoredBox kBoxes[] = {
        {StepCheckBox::Erase, &MainPageControls::checkErase, setting::kCheckBoxErase},
        {StepCheckBox::Check, &MainPageControls::checkCheck, setting::kCheckBoxCheck},
        {StepCheckBox::Program, &MainPageControls::checkProgram, setting::kCheckBoxProgram},
        {StepCheckBox::Verify, &MainPageControls::checkVerify, setting::kCheckBoxVerify},
        {StepCheckBox::SkipFF, &MainPageControls::skipFF, setting::kSkipFFChecked},
    };
    for (const StoredBox& stored : kBoxes) {
        if (stored.box == which) {
            controls_.main.*stored.state = checked;
            store_->WriteBool(stored.setting, checked);
        }
    }
}

std::optional<std::string> Station::ImageFileProblem(const std::string& path) {
    return quillon::ImageFileProblem(path);
}

}  // namespace quillon
