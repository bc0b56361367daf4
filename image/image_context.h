#pragma once

#include <cstdint>
#include <string>

#include "board/board_commands.h"
#include "chip/target_identity.h"
#include "config/settings_store.h"
#include "image/image_state.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "runtime/scoped_effects.h"
#include "runtime/window_timer.h"
#include "target/eflash_facts.h"

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

}  // namespace quillon
