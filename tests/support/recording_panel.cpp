#include "tests/support/recording_panel.h"

#include <utility>

namespace quillon {

namespace {
std::vector<std::string>& PaneLines(RecordingPanel& p, LogPane pane) {
    return pane == LogPane::Main ? p.mainLog : p.customerLog;
}
}  // namespace

void RecordingPanel::Note(std::string event) {
    if (std::this_thread::get_id() != owner_) {
        ++offThreadCalls;
    }
    if (keepEvents) {
        events.push_back(std::move(event));
    }
}

void RecordingPanel::LogAppended(LogPane pane, const std::string& line) {
    Note((pane == LogPane::Main ? "append " : "customer append ") + line);
    PaneLines(*this, pane).push_back(line);
}

void RecordingPanel::LogLastReplaced(LogPane pane, const std::string& line) {
    Note((pane == LogPane::Main ? "replace " : "customer replace ") + line);
    auto& lines = PaneLines(*this, pane);
    if (lines.empty()) {
        lines.push_back(line);
    } else {
        lines.back() = line;
    }
}

void RecordingPanel::LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) {
    Note((pane == LogPane::Main ? "replace line " : "customer replace line ") +
         std::to_string(fromEnd) + " " + line);
    auto& lines = PaneLines(*this, pane);
    if (fromEnd < lines.size()) {
        lines[lines.size() - 1 - fromEnd] = line;
    }
}

void RecordingPanel::SetLogColour(LogColour colour) {
    Note("colour " + std::to_string(static_cast<int>(colour)));
    logColour = colour;
}

void RecordingPanel::SetProgress(int percent) {
    Note("progress " + std::to_string(percent));
    progress.push_back(percent);
}

void RecordingPanel::OperationStarted(const std::string& name, const std::string& label) {
    operations.push_back("started " + name + " (" + label + ")");
}

void RecordingPanel::OperationEnded(const std::string& name, const StepReport& report) {
    std::string text = "ended " + name + " " + StepResultName(report.result);
    if (!report.cause.empty()) {
        text += " [" + report.cause + "]";
    }
    operations.push_back(text);
    endedReports.push_back(report);
}

void RecordingPanel::SetBusyCursor(bool on, CursorArea area) {
    Note(on ? "cursor on" : "cursor off");
    busy = on;
    busyArea = area;
}

void RecordingPanel::ShowPage(Page shown) {
    Note("page");
    page = shown;
}

void RecordingPanel::ControlsChanged() {
    Note("controls");
    ++controlsChanges;
}

void RecordingPanel::SetStatusText(StatusPanel panel, const std::string& text) {
    Note("status " + text);
    (panel == StatusPanel::Board ? statusBoard : statusTarget) = text;
}

void RecordingPanel::ShowMessage(MessageKind kind, const std::string& title,
                                 const std::string& text) {
    Note("box " + title + ": " + text);
    boxes.push_back({kind, title, text});
    if (onMessage) {
        onMessage(boxes.back());
    }
}

std::optional<std::string> RecordingPanel::AskOpenFile(const FileDialogRequest& request) {
    return Cancelled({false, request});
}

std::optional<std::string> RecordingPanel::AskSaveFile(const FileDialogRequest& request) {
    return Cancelled({true, request});
}

std::optional<std::string> RecordingPanel::Cancelled(Dialog dialog) {
    Note(dialog.save ? "save dialog" : "open dialog");
    dialogs.push_back(std::move(dialog));
    return std::nullopt;
}

void RecordingPanel::SetControlLevel(ControlLevel named, bool enabled) {
    const int level = LevelNumber(named);
    Note("level " + std::to_string(level) + (enabled ? " on" : " off"));
    levelChanges.emplace_back(level, enabled);
    // Levels nest: a level's set holds every higher-numbered level's set.
    for (int l = level; l <= 4 && l >= 1; ++l) {
        levelEnabled[l] = enabled;
    }
}

void RecordingPanel::PumpEvents() {
    Note("pump");
    ++pumps;
    if (onPump) {
        onPump();
    }
}

}  // namespace quillon
