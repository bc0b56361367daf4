#pragma once

#include <cstdint>
#include <string>

#include "board/board_commands.h"
#include "config/settings_store.h"
#include "image/image_state.h"
#include "target/eflash_facts.h"
#include "target/target_identity.h"
#include "ui/connection_timer.h"
#include "ui/message_log.h"
#include "ui/operator_panel.h"

namespace quillon {

// The read-only path box LabeledEdit_FilePath: the file name as text, the full path as hint.
struct PathBox {
    std::string& text;
    std::string& hint;

    void Show(const std::string& name, const std::string& path) {
        text = name;
        hint = path;
    }
    void Clear() { Show("", ""); }
};

// Everything the file commands and the merge work on, all owned by the station.
struct ImageContext {
    ImageState& state;
    SettingsStore& settings;
    OperatorPanel& panel;
    MessageLog& log;
    ConnectionTimer& timer1;
    BoardCommands& board;  // the merge's boundary reads
    const TargetIdentity& identity;
    const EFlashFacts& eflash;
    int32_t& flashblock;                     // Flashblock of the selected part, in memory
    const int32_t& commandModeRead;          // CommandMode_Read of the selected part
    const std::string& assignedAddressText;  // Edit_AssignedAddress: hex digits, no prefix
    PathBox pathBox;
};

// Pauses the periodic connection check for a scope and puts it back as it was.
class ConnectionCheckPause {
public:
    explicit ConnectionCheckPause(ConnectionTimer& timer)
        : timer_(timer), wasEnabled_(timer.IsEnabled()) {
        timer_.SetEnabled(false);
    }
    ~ConnectionCheckPause() { timer_.SetEnabled(wasEnabled_); }
    ConnectionCheckPause(const ConnectionCheckPause&) = delete;
    ConnectionCheckPause& operator=(const ConnectionCheckPause&) = delete;

private:
    ConnectionTimer& timer_;
    bool wasEnabled_;
};

// Shows the busy cursor for a scope.
class BusyCursor {
public:
    explicit BusyCursor(OperatorPanel& panel) : panel_(panel) { panel_.SetBusyCursor(true); }
    ~BusyCursor() { panel_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    OperatorPanel& panel_;
};

}  // namespace quillon
