#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "runtime/control_level.h"
#include "runtime/step_report.h"

namespace quillon {

// The two log panes: the main log (Memo1) and its filtered copy on the customer page (Memo3).
enum class LogPane { Main, Customer };

// Background colours the operations give the main log.
enum class LogColour { Normal, Silver, Highlight, Red };

enum class StatusPanel { Board = 0, Target = 1 };

enum class Page { Main, Type, Setup, Customer };

enum class MessageKind { Plain, Warning, Error, Information };

// Where the busy cursor shows: over the log pane (erase, program) or the whole window.
enum class CursorArea { LogPane, Window };

struct FileDialogRequest {
    std::string filter;        // "[*.bin]|*.bin|[*.*]|*.*": caption|pattern pairs
    std::string proposedName;  // file name offered in a save dialog
    std::string initialFolder;
};

// What the logic asks of the window. The Qt main window implements it; tests use
// RecordingPanel. The logic never reads a widget: every state it needs lives in the core.
class OperatorPanel {
public:
    // The application's name: the title of its error boxes.
    static constexpr const char* kApplicationTitle = "KavoEC_Quillon";

    virtual ~OperatorPanel() = default;

    // Log panes; MessageLog keeps the text and calls these to show it.
    virtual void LogAppended(LogPane pane, const std::string& line) = 0;
    virtual void LogLastReplaced(LogPane pane, const std::string& line) = 0;
    // Replaces the line `fromEnd` lines above the last (0 = the last line). A panel that
    // shows the main log overrides it; the fallback shows only a change of the last line.
    virtual void LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) {
        if (fromEnd == 0) {
            LogLastReplaced(pane, line);
        }
    }
    virtual void SetLogColour(LogColour colour) = 0;

    virtual void SetStatusText(StatusPanel panel, const std::string& text) = 0;
    virtual void SetProgress(int percent) = 0;  // gauge in status panel 2, 0..100

    // What the operation frame tells of an operation while its lines go to the log: it
    // started (its name, "Erase Flash", and the short label a gauge shows, "Erase"; told just
    // before its progress line is appended), its
    // progress is the gauge above, and it ended with its step's report (result, retries,
    // wrong bytes, cause, seconds). A front-end presents the operation from these, never from
    // the log's text. An outcome that closes a run (Auto Flash) is told ended without a start.
    virtual void OperationStarted(const std::string& /*name*/, const std::string& /*label*/) {}
    virtual void OperationEnded(const std::string& /*name*/, const StepReport& /*report*/) {}

    // Modal box with an OK button; returns when the operator has closed it.
    virtual void ShowMessage(MessageKind kind, const std::string& title,
                             const std::string& text) = 0;

    // File dialogs: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> AskOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> AskSaveFile(const FileDialogRequest& request) = 0;

    // Control-enable levels (nested sets of controls).
    virtual void SetControlLevel(ControlLevel level, bool enabled) = 0;

    virtual void SetBusyCursor(bool busy, CursorArea area) = 0;

    // Let pending window events run (Stop, log and gauge stay live during long operations).
    virtual void PumpEvents() = 0;

    virtual void ShowPage(Page page) = 0;

    // The logic changed the control state it owns (Station::Controls()): the window mirrors
    // it into its widgets again.
    virtual void ControlsChanged() = 0;

    // The refusal and prompt box ("Warning") and the application's error box, titled with
    // the application's name like every error the running handler reports.
    void Warn(const std::string& text) { ShowMessage(MessageKind::Warning, "Warning", text); }
    void Error(const std::string& text) {
        ShowMessage(MessageKind::Error, kApplicationTitle, text);
    }
};

}  // namespace quillon
