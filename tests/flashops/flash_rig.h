#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "board/board_side_commands.h"
#include "config/memory_settings_store.h"
#include "config/setting_names.h"
#include "flashops/flash_operations.h"
#include "runtime/clock.h"
#include "runtime/message_log.h"
#include "runtime/operation_frame.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/scenario_file.h"
#include "sim/virtual_board.h"
#include "tests/support/ec_scenario.h"
#include "tests/support/recording_panel.h"

namespace quillon::test {

inline constexpr std::size_t kBlock = 65536;

// A byte of a test image, never 0xFF.
inline uint8_t ImageByte(std::size_t offset) {
    return static_cast<uint8_t>((offset * 31 + (offset >> 16) * 7) % 0xF7);
}
inline std::vector<uint8_t> TestImage(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = ImageByte(i);
    }
    return bytes;
}

inline sim::Scenario ScenarioFile(const std::string& name) {
    return sim::LoadScenarioFile(std::filesystem::path(QUILLON_SCENARIOS) / (name + ".ini"));
}

using testing::EcScenario;

// Matching transfers fail (`times` of them, 0 = always).
inline sim::FaultRule Failing(uint8_t sub, std::optional<uint32_t> unit = std::nullopt,
                              uint32_t times = 0) {
    sim::FaultRule rule;
    rule.kind = sim::FaultKind::kFailTransfer;
    rule.subCommand = sub;
    rule.unit = unit;
    rule.times = times;
    return rule;
}

// One transfer of the trace, decoded as the tests need it.
struct Sent {
    uint8_t opcode;
    uint8_t sub;
    std::array<uint8_t, 7> p;  // P1..P7
    uint8_t result;
};

// FlashOperations over an in-process virtual board, with in-memory settings set for the
// W25Q32FV behind the EC and a recording panel. Tests change the settings, the cache and
// the state before they run an operation.
class FlashRig {
public:
    explicit FlashRig(const sim::Scenario& scenario = EcScenario())
        : board(scenario), attach(board) {
        settings.WriteInt(setting::kConnectMode, 1);
        settings.WriteInt(setting::kAllocation, 1);
        settings.WriteInt(setting::kQuickMode, 0);
        settings.WriteInt(setting::kSmbusSpeed, 1);
        settings.WriteInt(setting::kRomKey, 0);
        settings.WriteInt(setting::kSwitchRom, 0);
        settings.WriteText(setting::kLastFlashId1, "Winbond");
        settings.WriteText(setting::kLastFlashId2, "W25Q32FV");
        cache.flashblock = 64;
        cache.commandModeRead = 0;
        cache.commandModeErase = 0;
        cache.commandModeWrite = 0;
        cache.eraseType = 1;
        cache.sectorOffset = "0";
        cache.sectorSize = 64;
        cache.pageWriteSize = 256;
        identity.chipIdStrings[0] = "8458";
        identity.chipIdStrings[1] = "01";
        EXPECT_EQ(link.Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter), 1);
        timer.SetEnabled(true);
        board.ClearTrace();
    }

    // Connect mode 4 with the PD controller of the scenario (pd-d1) unlocked and in test mode.
    void UsePd() {
        settings.WriteInt(setting::kConnectMode, 4);
        cache.pdI2cAddress = 0x80;
        identity.pdFlashVariant = BoardSideCommands::PdFlashVariantOf({0xD1, 0x08, 0x00});
        identity.chipIdStrings[0] = "D108";
        eflash.eFlashSizeKB = 64;
        EXPECT_EQ(side.PdWriteRegister(0x80, 0xFE, 0x5A, 0x3D), 1);
        EXPECT_EQ(side.PdEnterTestMode(0x80), 1);
        board.ClearTrace();
    }

    // ImageBuffer of `blocks` whole blocks of test bytes; UsedBlockCount to match.
    void LoadImage(std::size_t bytes) {
        image.imageBuffer = TestImage(bytes);
        image.usedBlockCount = static_cast<uint32_t>((bytes + kBlock - 1) / kBlock);
        image.startBlock = 0;
        image.halfLastBlock = false;
    }
    std::span<uint8_t> Flash(sim::FlashId id = sim::FlashId::kExternalSpi) {
        return board.Flash(id);
    }
    void FillFlash(uint8_t value, sim::FlashId id = sim::FlashId::kExternalSpi) {
        auto flash = Flash(id);
        std::fill(flash.begin(), flash.end(), value);
    }
    // The transfers with this sub-command (any opcode but the board's 0xF0).
    std::vector<Sent> SentWith(uint8_t sub, std::optional<uint8_t> opcode = std::nullopt) const {
        std::vector<Sent> found;
        for (const auto& e : board.Trace()) {
            if (e.header[1] == sub && (!opcode || e.header[0] == *opcode) && e.header[0] != 0xF0) {
                Sent s{e.header[0], e.header[1], {}, e.result};
                std::copy(e.header.begin() + 2, e.header.end(), s.p.begin());
                found.push_back(s);
            }
        }
        return found;
    }
    const std::string& LastLine() const { return panel.mainLog.back(); }
    // Presses Stop at the n-th pump (1-based) of the next operation.
    void StopAtPump(int n) {
        panel.onPump = [this, n, count = 0]() mutable {
            if (++count == n) {
                stop.Request();
            }
        };
    }

    sim::VirtualBoard board;
    sim::InProcessBoard attach;
    RecordingPanel panel;
    MemorySettingsStore settings;
    MessageLog log{panel};
    ManualTimer timer;
    VirtualClock clock;
    BoardLink link{FixedDriverLoader(sim::InProcessDriverFunctions()), panel};
    BoardCommands commands{link, settings, log, timer};
    BoardSideCommands side{link, log};
    SettingsCache cache;
    ImageState image;
    TargetIdentity identity;
    EFlashFacts eflash;
    ConnectionFlags flags;
    StopRequest stop;
    OperationFrame frame{panel, log, timer, stop, image.operationResult, clock};
    std::vector<std::string> deviceLines{"Winbond", "W25Q32FV"};
    bool skipFF = false;
    bool readTwice = false;
    bool eraseLast1K = false;
    int stepBoxesTicked = 0;
    int32_t smallSectorKB = 0;  // the selected part's SmallSectorSize
    FlashOperations ops{
        FlashOpsParts{commands, side, settings, cache, image, identity, eflash, flags, frame, log,
                      stop, clock},
        FlashOpsControls{deviceLines, skipFF, readTwice, eraseLast1K, [this] { ++stepBoxesTicked; },
                         [this] { return smallSectorKB; }}};
};

}  // namespace quillon::test
