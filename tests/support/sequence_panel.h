#pragma once

#include <functional>
#include <string>

#include "tests/support/recording_panel.h"

namespace quillon::testing {

// A recording panel that also hands each call, in order and as the operator sees it, to
// `onEvent`: "log <line>" (main pane), "status0 <text>" (board) and "status1 <text>"
// (target), "level 3 off", "box <title>: <text>", and "controls" when the window is told to
// mirror the control state again.
class SequencePanel final : public RecordingPanel {
public:
    std::function<void(const std::string&)> onEvent;

    void LogAppended(LogPane pane, const std::string& line) override {
        RecordingPanel::LogAppended(pane, line);
        if (pane == LogPane::Main) {
            Note("log " + line);
        }
    }
    void SetStatusText(StatusPanel panel, const std::string& text) override {
        RecordingPanel::SetStatusText(panel, text);
        Note("status" + std::to_string(static_cast<int>(panel)) + " " + text);
    }
    void SetControlLevel(ControlLevel level, bool enabled) override {
        RecordingPanel::SetControlLevel(level, enabled);
        Note("level " + std::to_string(LevelNumber(level)) + (enabled ? " on" : " off"));
    }
    void ShowMessage(MessageKind kind, const std::string& title, const std::string& text) override {
        Note("box " + title + ": " + text);
        RecordingPanel::ShowMessage(kind, title, text);
    }
    void ControlsChanged() override {
        RecordingPanel::ControlsChanged();
        Note("controls");
    }

private:
    void Note(const std::string& event) {
        if (onEvent) {
            onEvent(event);
        }
    }
};

}  // namespace quillon::testing
