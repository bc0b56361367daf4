#pragma once

// The target desks (connection cycle, sizing, automatic typing) wired to an in-process virtual
// board built from a bench scenario, with in-memory settings, a recording panel, a virtual
// clock and manual timers. What reached the board is read back from its trace as one short
// text per transfer.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "config/flash_database.h"
#include "runtime/clock.h"
#include "runtime/message_log.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/scenario_file.h"
#include "sim/virtual_board.h"
#include "target/connection_cycle.h"
#include "target/eflash_sizing.h"
#include "target/type_auto.h"
#include "target/type_page.h"
#include "tests/flashtype/write_order_store.h"
#include "tests/support/recording_panel.h"

namespace quillon::test {

inline sim::Scenario BenchScenario(const std::string& name) {
    return sim::LoadScenarioFile(std::filesystem::path(QUILLON_TEST_SCENARIO_DIR) /
                                 (name + ".ini"));
}

inline std::filesystem::path ShippedIni() {
    return QUILLON_SHIPPED_INI;
}

// One transfer as text: opcode and sub-command in hex, then what matters for the command
// ("F2 20 0B" action code, "F2 23 2006=44" register write, "FC 16 FFC0" register read,
// "F2 2F w1A=04" debugger write, "F2 06 k2" key kind, "F2 01 00" read-ID command).
inline std::string Describe(const sim::TraceEntry& e) {
    const auto& h = e.header;
    std::string text = HexByte(h[0]) + " " + HexByte(h[1]);
    const auto word = [&](int high, int low) { return HexByte(h[high]) + HexByte(h[low]); };
    const std::string data = e.data.empty() ? "" : HexByte(e.data[0]);
    if (h[0] == 0xFC) {
        switch (h[1]) {
            case 0x15:
                return text + " " + word(2, 3) + "=" + data;
            case 0x16:
                return text + " " + word(2, 3);
            default:
                return text;
        }
    }
    switch (h[1]) {
        case 0x20:
        case 0x01:
        case 0x11:
        case 0x09:
        case 0x27:
            return text + " " + HexByte(h[2]);
        case 0x23:
            return text + " " + word(2, 3) + "=" + data;
        case 0x24:
            return text + " " + word(2, 3);
        case 0x2F:
            return text +
                   (h[2] == 1 ? " w" + HexByte(h[3]) + "=" + HexByte(h[4]) : " r" + HexByte(h[3]));
        case 0x06:
            return text + " k" + std::to_string(h[2]);
        default:
            return text;
    }
}

// Controls the target desks set or read, as the station would hold them.
struct BenchControls {
    bool resetEcVisible = true;
    bool dualFlashButtonsVisible = true;
    bool keyMatchTicked = false;
    std::vector<std::string> deviceLines;
    std::string deviceHint;
    bool writeStatusVisible = false;
    std::string writeStatus1;
    std::string writeStatus2;
    bool writeStatusContinue2Bytes = false;
};

class TargetBench {
public:
    explicit TargetBench(const sim::Scenario& scenario, int mode,
                         const std::filesystem::path& ini = ShippedIni())
        : board(scenario), attached(board), database(IniFolder(ini)) {
        settings.WriteInt("ConnectMode", mode);
        settings.WriteInt("SwitchRom", 0);
        settings.WriteInt("InternalClock", 0);
        settings.WriteInt("SpecialWave", 2);
        settings.WriteInt("BreakAt0", 1);
        settings.WriteInt("SMBusSpeed", 1);
        settings.WriteInt("RomKey", 0);
        settings.WriteInt("DesignatedEflashSizeKB", 0);
        settings.WriteInt("ReadEFlashID16Bytes", 0);
        settings.WriteInt("ShowWriteStatus", 0);
        settings.WriteInt("Flashblock", 64);
        cache.flashblock = 64;
        cache.pdI2cAddress = 0x80;
        cache.commandModeReadId = 0;
        flags.mainPageActive = true;
        eflash.internalFlashSelected = scenario.ec && scenario.ec->internalSelected;
        EXPECT_EQ(link.Bind(BoardLink::kDeviceIndex, mode == 4 ? BoardLink::kConnectParameterPd
                                                               : BoardLink::kConnectParameter),
                  1);
        timer1.SetEnabled(true);
        board.ClearTrace();
    }

    void SetMode(int mode) { settings.WriteInt("ConnectMode", mode); }

    // The transfers since the last call (or since the bench was built), as text.
    std::vector<std::string> Transfers() {
        std::vector<std::string> texts;
        for (std::size_t i = seen_; i < board.Trace().size(); ++i) {
            texts.push_back(Describe(board.Trace()[i]));
        }
        seen_ = board.Trace().size();
        return texts;
    }
    // The message boxes shown so far, as "title: text".
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& box : panel.boxes) {
            texts.push_back(box.title + ": " + box.text);
        }
        return texts;
    }
    std::vector<long> Sleeps() const {
        std::vector<long> ms;
        for (auto sleep : clock.Sleeps()) {
            ms.push_back(static_cast<long>(sleep.count()));
        }
        return ms;
    }
    bool Logged(const std::string& line) const {
        return std::find(panel.mainLog.begin(), panel.mainLog.end(), line) != panel.mainLog.end();
    }

    sim::VirtualBoard board;
    sim::InProcessBoard attached;
    RecordingPanel panel;
    MessageLog log{panel};
    ::quillon::testing::WriteOrderStore settings;  // records the order of its writes
    SettingsCache cache;
    VirtualClock clock;
    ManualTimer timer1;
    ManualTimer timer2;
    BoardLink link{FixedDriverLoader(sim::InProcessDriverFunctions()), panel};
    BoardCommands commands{link, settings, log, timer1};
    BoardSideCommands boardSide{link, log};
    ConnectionFlags flags;
    TargetIdentity identity;
    EFlashFacts eflash;
    BenchControls controls;
    uint32_t usedBlockCount = 0;
    uint32_t startBlock = 0;
    FlashDatabase database;
    TypePageLogic typePage{database, settings, cache, panel};
    TargetContext context{
        link,
        commands,
        boardSide,
        settings,
        cache,
        log,
        panel,
        clock,
        timer1,
        timer2,
        flags,
        identity,
        eflash,
        TargetControls{controls.resetEcVisible, controls.dualFlashButtonsVisible,
                       controls.keyMatchTicked, controls.deviceLines, controls.deviceHint,
                       controls.writeStatusVisible, controls.writeStatus1, controls.writeStatus2,
                       controls.writeStatusContinue2Bytes},
        ImagePlacementRef{usedBlockCount, startBlock}};
    EFlashSizing sizing{context};
    TypeAuto typeAuto{context, database, typePage, sizing};
    int reloads = 0;
    ConnectionCycle cycle{context, sizing, typeAuto, [this] { ++reloads; }};

private:
    std::size_t seen_ = 0;
};

}  // namespace quillon::test
