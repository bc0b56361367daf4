#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/terminal_progress.h"
#include "records/json_out.h"
#include "runtime/operator_panel.h"

namespace quillon::cli {

// Which of the panel's two streams are terminals it may draw on (IsCursorTerminal).
struct Terminals {
    bool out = false;
    bool err = false;
};

// The operator panel of the command line.
// Plain mode: standard output carries the main message log as it ends up: a line is printed
// once it is final (four further lines were appended, or the run ended), so a progress line
// its outcome replaces is never printed. Message boxes go to standard error as "TITLE: TEXT"
// and are answered OK; status-panel changes and the gauge ("Gauge: N%") go to standard error
// too.
// On a terminal the lines that are not final yet stay at the foot of the screen and are
// redrawn in place as they change; the running operation's progress line is shown as its
// label and gauge ("Erase    [#########           ]  45 %") from its "started" event to its
// "ended" one, when the outcome line takes its row. When only standard error is a terminal,
// it shows that one line, and the outcome line when the operation ends; the log goes to
// standard output as above. Which line is an operation's comes from the events, never from
// the text of the log.
// JSON mode: standard output carries one JSON object per event instead.
class CliPanel final : public OperatorPanel {
public:
    CliPanel(std::FILE* out, std::FILE* err, bool json, Terminals terminals = {});

    void LogAppended(LogPane pane, const std::string& line) override;
    void LogLastReplaced(LogPane pane, const std::string& line) override;
    void LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) override;
    void SetLogColour(LogColour) override {}
    void SetStatusText(StatusPanel panel, const std::string& text) override;
    void SetProgress(int percent) override;
    // JSON mode: the "started" and "ended" events. On a terminal the operation's progress line
    // shows as its label and gauge from its start to its end.
    void OperationStarted(const std::string& name, const std::string& label) override;
    void OperationEnded(const std::string& name, const StepReport& report) override;
    void ShowMessage(MessageKind kind, const std::string& title, const std::string& text) override;
    // The command line has no dialogs: its file commands take their files as arguments, so
    // a dialog asked for is cancelled.
    std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void SetControlLevel(ControlLevel, bool) override {}
    void SetBusyCursor(bool, CursorArea) override {}
    void PumpEvents() override;
    void ShowPage(Page) override {}
    void ControlsChanged() override {}

    // Called on every pump (the interrupt signal becomes the Stop button there).
    std::function<void()> onPump;

    // Prints the pending log lines: the run ended, or something else must follow them.
    void FlushLog();
    // The log is not printed (plain mode): the run's actions print only their own output.
    void HideLog() { logShown_ = false; }
    // The "action" event (JSON mode only) with the action's name, result and seconds, and an
    // optional value (get).
    void ActionDone(const std::string& name, const char* result, double seconds,
                    const std::optional<std::string>& value);
    // A line of the program's own on standard error ("quillon-cli: ...").
    void Diagnostic(const std::string& text);
    // A value the operator asked for (get): a line of its own on standard output.
    void PrintValue(const std::string& text);

private:
    void Emit(const JsonObject& event);
    void ErrLine(const std::string& text);
    // Prints the log lines that became final and brings the live lines up to date.
    void Publish(const std::vector<std::string>& finals);
    // What the terminal shows live: the pending lines (only the running operation's, when
    // standard output is not the terminal), an operation at work as its bar.
    std::vector<std::string> LiveView() const;
    // An operation runs and its progress line is the last line shown.
    bool OperationLineLast() const;

    std::FILE* out_;
    std::FILE* err_;
    bool json_;
    Terminals terminals_;
    bool logShown_ = true;
    // The last log lines, not final yet: the deepest rewrite of the system is the block
    // process's fourth-last line, so the last four lines are held back.
    static constexpr std::size_t kHeldLines = 4;
    std::deque<std::string> pending_;
    int lastPercent_ = -1;
    // On standard output when it is a terminal, else on standard error when that is one.
    std::unique_ptr<LiveLines> live_;
    int operationPercent_ = 0;    // the gauge of the operation at work
    std::size_t shownLines_ = 0;  // lines that entered pending_ so far
    // The label of the operation at work (between its start and its end) and the number of
    // its progress line among the lines shown.
    std::optional<std::string> runningLabel_;
    std::size_t runningLine_ = 0;
};

const char* MessageKindName(MessageKind kind);

}  // namespace quillon::cli
