#include "ui/recording_panel.h"

namespace quillon {

namespace {
std::vector<std::string>& PaneLines(RecordingPanel& p, LogPane pane) {
    return pane == LogPane::Main ? p.mainLog : p.customerLog;
}
}  // namespace

void RecordingPanel::LogAppended(LogPane pane, const std::string& line) {
    PaneLines(*this, pane).push_back(line);
}

void RecordingPanel::LogLastReplaced(LogPane pane, const std::string& line) {
    auto& lines = PaneLines(*this, pane);
    if (lines.empty()) {
        lines.push_back(line);
    } else {
        lines.back() = line;
    }
}

void RecordingPanel::LogLineReplaced(LogPane pane, std::size_t fromEnd, const std::string& line) {
    auto& lines = PaneLines(*this, pane);
    if (fromEnd < lines.size()) {
        lines[lines.size() - 1 - fromEnd] = line;
    }
}

void RecordingPanel::SetStatusText(StatusPanel panel, const std::string& text) {
    (panel == StatusPanel::Board ? statusBoard : statusTarget) = text;
}

void RecordingPanel::ShowMessage(MessageKind kind, const std::string& title,
                                 const std::string& text) {
    boxes.push_back({kind, title, text});
    if (onMessage) {
        onMessage(boxes.back());
    }
}

std::optional<std::string> RecordingPanel::AskOpenFile(const FileDialogRequest& request) {
    dialogs.push_back({false, request});
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<std::string> RecordingPanel::AskSaveFile(const FileDialogRequest& request) {
    dialogs.push_back({true, request});
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

void RecordingPanel::SetControlLevel(ControlLevel named, bool enabled) {
    const int level = LevelNumber(named);
    levelChanges.emplace_back(level, enabled);
    // Levels nest: a level's set holds every higher-numbered level's set.
    for (int l = level; l <= 4 && l >= 1; ++l) {
        levelEnabled[l] = enabled;
    }
}

void RecordingPanel::PumpEvents() {
    ++pumps;
    if (onPump) {
        onPump();
    }
}

}  // namespace quillon
