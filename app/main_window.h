#pragma once

#include <QMainWindow>

#include <memory>
#include <vector>

#include "app/platform/device_watcher.h"
#include "runtime/clock.h"
#include "runtime/operator_panel.h"
#include "station/station.h"

class QAction;
class QMenu;
class QPushButton;
class QStackedLayout;
class QStackedWidget;
class QTimer;

namespace quillon {

class AboutBox;
class GlobalHotKeys;
class PlugRelay;
class PinEditorDialog;
class CustomerPage;
class LiveWait;
class LogPaneWidget;
class MainPage;
class QtCallRunner;
class QtClock;
class QtWindowTimer;
class SetupPage;
class StatusBarWidget;
class TypePage;

// TForm1: the operator window. It owns the Station and shows what the station asks for;
// every click goes to a Station call, and the widgets mirror the station's control state.
class MainWindow final : public QMainWindow, public OperatorPanel {
    Q_OBJECT
public:
    static constexpr int kClientWidth = Station::kClientWidth;

    // `driverLoader` binds the board's driver library (tests hand in a virtual board).
    explicit MainWindow(StationOptions options, DriverLoader driverLoader = SystemDriverLoader(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    Station& GetStation() { return *station_; }
    AboutBox* About() const { return about_; }
    PinEditorDialog* PinEditor() const { return pinEditor_; }
    // The seam the board link's library calls run through, and the wait it uses.
    QtCallRunner& CallRunner() { return *runner_; }
    LiveWait& Wait() { return *liveWait_; }
    // A close was asked for while an operation ran: the window closes once it has ended.
    bool ClosePending() const { return closePending_; }

    // Follows the board's plug-in and plug-out from start-up on (call before the window shows).
    void WatchBoard(BoardWatchConfig config);
    DeviceWatcher* Watcher() const { return deviceWatcher_; }
    // Ctrl+Alt+R and Ctrl+Alt+A system-wide; released when the window goes.
    void RegisterHotKeys();
    // Another start of the program asked for this window: restore, raise, activate.
    void BringToFront();

    // OperatorPanel
    void LogAppended(LogPane pane, const std::string& line) override;
    void LogLastReplaced(LogPane pane, const std::string& line) override;
    void LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) override;
    void SetLogColour(LogColour colour) override;
    void SetStatusText(StatusPanel panel, const std::string& text) override;
    void SetProgress(int percent) override;
    void OperationStarted(const std::string& name, const std::string& label) override;
    void OperationEnded(const std::string& name, const StepReport& report) override;
    void ShowMessage(MessageKind kind, const std::string& title, const std::string& text) override;
    std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void SetControlLevel(ControlLevel level, bool enabled) override;
    void SetBusyCursor(bool busy, CursorArea area) override;
    void PumpEvents() override;
    void ShowPage(Page page) override;
    void ControlsChanged() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    QWidget* BuildCentre();
    void ConnectWindowControls();
    void ConnectWindowHotKeys();
    // What Ctrl+Alt+R and Ctrl+Alt+A do, from the system-wide keys and the window's own.
    void ReloadLastImage();
    void PressAuto();
    void ConnectTypePage();
    void ConnectCycle();
    void RunStartup();
    void MirrorWindow();
    // Runs a handler through the station so a settings error ends it in the error box.
    void Handle(const std::function<void()>& handler);

    // What one control-enable level switches (without the nested higher levels).
    struct LevelSet {
        std::vector<QWidget*> widgets;
        std::vector<QAction*> actions;
    };
    LevelSet LevelOwnControls(ControlLevel level) const;

    void CloseWhenIdle();
    void GateTick(const std::function<void()>& tick);

    LiveWait* liveWait_ = nullptr;
    std::unique_ptr<QtClock> clock_;
    std::unique_ptr<QtCallRunner> runner_;
    QtWindowTimer* timer_ = nullptr;          // Timer1
    QtWindowTimer* haltPollTimer_ = nullptr;  // Timer2
    QTimer* closeRetry_ = nullptr;
    bool closePending_ = false;
    bool tickRunning_ = false;
    DeviceWatcher* deviceWatcher_ = nullptr;
    PlugRelay* plugRelay_ = nullptr;
    GlobalHotKeys* hotKeys_ = nullptr;

    MainPage* mainPage_ = nullptr;
    TypePage* typePage_ = nullptr;
    SetupPage* setupPage_ = nullptr;
    CustomerPage* customerPage_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QWidget* logArea_ = nullptr;
    QStackedLayout* logStack_ = nullptr;
    LogPaneWidget* log_ = nullptr;  // Memo1
    StatusBarWidget* statusBar_ = nullptr;
    QPushButton* externalFlash_ = nullptr;
    QPushButton* internalFlash_ = nullptr;
    AboutBox* about_ = nullptr;
    PinEditorDialog* pinEditor_ = nullptr;  // TOKBottomDlg

    QMenu* fileMenu_ = nullptr;
    QMenu* otherMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* burnRun_ = nullptr;
    QAction* exit_ = nullptr;
    QAction* setup_ = nullptr;
    QAction* showMessage_ = nullptr;
    QAction* saveMessage_ = nullptr;
    QAction* saveReg_ = nullptr;
    QAction* needPdCpuHalt_ = nullptr;
    QAction* aboutAction_ = nullptr;

    bool busyCursor_ = false;
    bool startupQueued_ = false;

    // Last: the station talks to the widgets above from its first call on.
    std::unique_ptr<Station> station_;
};

}  // namespace quillon
