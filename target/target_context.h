#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "chip/target_identity.h"
#include "config/connect_mode.h"
#include "config/setting_names.h"
#include "config/settings_cache.h"
#include "config/settings_store.h"
#include "runtime/clock.h"
#include "runtime/message_log.h"
#include "runtime/operator_panel.h"
#include "runtime/window_timer.h"
#include "target/connection_flags.h"
#include "target/eflash_facts.h"

namespace quillon {

// Window state the connection cycle and the identification set or read. The station owns the
// values; the window mirrors them after OperatorPanel::ControlsChanged().
struct TargetControls {
    bool& resetEcVisible;                   // Button_ResetEC
    bool& dualFlashButtonsVisible;          // Button_ExternalFlash, Button_InternalFlash
    const bool& keyMatchTicked;             // CheckBox_UnprotectKeyMatch ("KeyMatch")
    std::vector<std::string>& deviceLines;  // Memo_Device, one entry per line
    std::string& deviceHint;                // its hint: the whole text
    bool& writeStatusVisible;               // GroupBox_WriteStatus
    std::string& writeStatus1;              // Edit_WriteStatus1
    std::string& writeStatus2;              // Edit_WriteStatus2
    bool& writeStatusContinue2Bytes;        // CheckBox_WriteStatusContinue2Bytes

    void SetDeviceBox(std::vector<std::string> lines) {
        std::string hint;
        for (const auto& line : lines) {
            hint += line + "\r\n";
        }
        deviceLines = std::move(lines);
        deviceHint = std::move(hint);
    }
};

// The placement of the loaded image, as far as the designated eFlash size touches it.
struct ImagePlacementRef {
    uint32_t& usedBlockCount;    // UsedBlockCount
    const uint32_t& startBlock;  // StartBlock
};

// Everything the target desks (connection cycle, sizing, automatic typing) work on, all owned
// by the station.
struct TargetContext {
    BoardLink& link;
    BoardCommands& board;
    BoardSideCommands& boardSide;
    SettingsStore& settings;
    SettingsCache& flashType;  // the selected flash type's fields, in memory
    MessageLog& log;
    OperatorPanel& panel;
    Clock& clock;
    ConnectionTimer& timer1;
    HaltPollTimer& timer2;
    ConnectionFlags& flags;
    TargetIdentity& identity;
    EFlashFacts& eflash;
    TargetControls controls;
    ImagePlacementRef placement;

    // The stored ConnectMode as it is now; nothing for a value outside 1..4.
    std::optional<ConnectMode> Mode() const {
        return ConnectModeFrom(settings.ReadInt(setting::kConnectMode));
    }
    // PDI2CAddress, kept in memory.
    uint8_t PdAddress() const { return flashType.pdI2cAddress; }
    // Flashblock: the setting and the in-memory copy, always together.
    void WriteFlashblock(int32_t blocks) {
        settings.WriteInt(setting::kFlashblock, blocks);
        flashType.flashblock = blocks;
    }
};

}  // namespace quillon
