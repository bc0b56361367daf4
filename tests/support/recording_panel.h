#pragma once

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/operator_panel.h"

namespace quillon {

// An OperatorPanel that records what the logic showed. Used by tests and by headless
// front-ends. Commands take the files they work on as arguments, so a dialog asked of this
// panel is recorded and cancelled.
class RecordingPanel : public OperatorPanel {
public:
    struct Box {
        MessageKind kind;
        std::string title;
        std::string text;
    };
    struct Dialog {
        bool save;
        FileDialogRequest request;
    };

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
    void SetBusyCursor(bool on, CursorArea area) override;
    void PumpEvents() override;
    void ShowPage(Page shown) override;
    void ControlsChanged() override;

    // Called for every message box before it "closes", e.g. to power a target on.
    std::function<void(const Box&)> onMessage;
    // Called on every PumpEvents, e.g. to press Stop in the middle of an operation.
    std::function<void()> onPump;

    // What was shown, as the operator would see it.
    std::vector<std::string> mainLog;
    std::vector<std::string> customerLog;
    std::vector<Box> boxes;
    std::vector<Dialog> dialogs;
    std::vector<int> progress;
    // The operations the frame told of: "started <name> (<label>)", "ended <name> <result>
    // [<cause>]"; the reports of the ended ones in `endedReports`.
    std::vector<std::string> operations;
    std::vector<StepReport> endedReports;
    std::vector<std::pair<int, bool>> levelChanges;
    bool levelEnabled[5] = {true, true, true, true, true};  // index 1..4
    std::string statusBoard;
    std::string statusTarget;
    LogColour logColour = LogColour::Normal;
    bool busy = false;
    CursorArea busyArea = CursorArea::Window;
    Page page = Page::Main;
    int pumps = 0;
    int controlsChanges = 0;

    // Every call in order, in short words ("cursor on", "level 2 off", "append <line>",
    // "replace <line>", "box Warning: <text>", "progress 50", "pump"), for tests of the order
    // of effects. Tests may add their own entries (a timer's changes). Kept only while
    // `keepEvents` is set, so that a long headless run does not grow it without end.
    bool keepEvents = false;
    std::vector<std::string> events;
    // Calls that came from a thread other than the one that built the panel: the window's
    // panel may be called on the UI thread only.
    int offThreadCalls = 0;

private:
    void Note(std::string event);
    // Records a dialog and answers it as cancelled.
    std::optional<std::string> Cancelled(Dialog dialog);
    std::thread::id owner_ = std::this_thread::get_id();
};

}  // namespace quillon
