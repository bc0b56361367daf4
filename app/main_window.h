#pragma once

#include <QMainWindow>

#include <memory>
#include <vector>

#include "station/station.h"
#include "ui/clock.h"
#include "ui/operator_panel.h"

class QAction;
class QMenu;
class QPushButton;
class QStackedLayout;
class QStackedWidget;

namespace quillon {

class AboutBox;
class PinEditorDialog;
class CustomerPage;
class LogPaneWidget;
class MainPage;
class QtConnectionTimer;
class SetupPage;
class StatusBarWidget;
class TypePage;

// TForm1: the operator window. It owns the Station and shows what the station asks for;
// every click goes to a Station call, and the widgets mirror the station's control state.
class MainWindow final : public QMainWindow, public OperatorPanel {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 518;

    explicit MainWindow(StationOptions options, QWidget* parent = nullptr);
    ~MainWindow() override;

    Station& GetStation() { return *station_; }
    AboutBox* About() const { return about_; }
    PinEditorDialog* PinEditor() const { return pinEditor_; }

    // OperatorPanel
    void LogAppended(LogPane pane, const std::string& line) override;
    void LogLastReplaced(LogPane pane, const std::string& line) override;
    void LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) override;
    void SetLogColour(LogColour colour) override;
    void SetStatusText(StatusPanel panel, const std::string& text) override;
    void SetProgress(int percent) override;
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
    void ConnectTypePage();
    void RunStartup();
    void MirrorWindow();
    // Runs a handler through the station so a settings error ends it in the error box.
    void Handle(const std::function<void()>& handler);

    // What one control-enable level switches (without the nested higher levels).
    struct LevelSet {
        std::vector<QWidget*> widgets;
        std::vector<QAction*> actions;
    };
    LevelSet LevelOwnControls(int level) const;

    SystemClock clock_;
    QtConnectionTimer* timer_ = nullptr;

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
