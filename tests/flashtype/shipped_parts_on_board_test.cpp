// Every SPI part of the shipped set, behind a controller on the KBS port: the description's
// read-ID mode finds the part through the auto-typing table, and its erase, write and read
// settings erase, program and read back the first blocks. A wrong command mode or sector
// size shows up here as a block that stays programmed or reads back wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "config/flash_database.h"
#include "config/flash_type.h"
#include "config/flash_type_layout.h"
#include "config/memory_settings_store.h"
#include "runtime/message_log.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/support/recording_panel.h"

namespace quillon {
namespace {

constexpr int kBlock = 65536;

class IdleTimer final : public ConnectionTimer {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool IsEnabled() const override { return enabled_; }

private:
    bool enabled_ = false;
};

// The station side in connect mode 1, a controller on the KBS port with `part` as its
// external flash.
struct PartBench {
    explicit PartBench(const sim::Scenario& scenario) : board(scenario), attached(board) {
        settings.WriteInt("ConnectMode", 1);
        settings.WriteInt("SwitchRom", 0);
        bound = link.Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter) == 1;
    }
    static sim::Scenario Scenario(const std::string& part, uint32_t eflashSize = 0) {
        sim::Scenario scenario;
        sim::EcSpec ec;
        ec.chipId = {0x84, 0x58, 0x01};
        ec.externalPart = part;
        ec.eflashSize = eflashSize;
        ec.internalSelected = eflashSize != 0;
        scenario.ec = ec;
        return scenario;
    }

    sim::VirtualBoard board;
    sim::InProcessBoard attached;
    RecordingPanel panel;
    MessageLog log{panel};
    MemorySettingsStore settings;
    IdleTimer timer1;
    BoardLink link{FixedDriverLoader(sim::InProcessDriverFunctions()), panel};
    BoardCommands commands{link, settings, log, timer1};
    bool bound = false;
};

// The device's settings as the Type page loads them.
SettingsCache Load(const FlashDatabase& database, const std::string& maker,
                   const std::string& part) {
    SettingsCache type;
    type.sectorSize = 64;
    type.sectorOffset = "0";
    for (const auto& entry : database.DeviceEntries(maker, part)) {
        if (int32_t* field = FlashTypeIntegerField(type, entry.key)) {
            *field = ConvertIniInteger(entry.value);
        } else if (entry.key == "SectorOffset") {
            type.sectorOffset = entry.value;
        }
    }
    return type;
}

// The erase of the first `blocks` blocks, addressed as the erase operation addresses them:
// one chip erase, a walk of the sector layout, or every sector of every block.
bool Erase(BoardCommands& commands, const SettingsCache& type, int blocks) {
    const auto mode = static_cast<uint8_t>(type.commandModeErase);
    const auto eraseType = static_cast<uint8_t>(type.eraseType);
    if (type.eraseType == 0) {
        return commands.EraseFlash(type.flashblock, static_cast<uint8_t>(type.sectorSize), 0,
                                   mode) == 1;
    }
    const auto layout = ParseSectorLayout(type.sectorOffset);
    if (!layout) {
        return false;
    }
    bool ok = true;
    if (!layout->empty()) {
        int position = 0;  // KB
        for (const auto& run : *layout) {
            for (int i = 0; i < run.count && position < blocks * 64; ++i) {
                const auto page = static_cast<uint8_t>(((position / 4) % 16) * 16 + 15);
                ok = commands.EraseFlash(position / 64, page, eraseType, mode) == 1 && ok;
                position += run.sizeKb;
            }
        }
        return ok;
    }
    for (int block = 0; block < blocks; ++block) {
        for (int page = type.sectorSize * 4 - 1; page < 256; page += type.sectorSize * 4) {
            ok = commands.EraseFlash(block, static_cast<uint8_t>(page), eraseType, mode) == 1 && ok;
        }
    }
    return ok;
}

// Erases the first blocks (at most two) from all-zero bytes, then programs a pattern and
// reads it back, with the description's modes and sizes.
void EraseProgramAndReadBack(PartBench& bench, const SettingsCache& type, sim::FlashId flash) {
    const int blocks = std::min(type.flashblock, 2);
    auto memory = bench.board.Flash(flash);
    std::fill(memory.begin(), memory.begin() + blocks * kBlock, uint8_t{0x00});
    ASSERT_TRUE(Erase(bench.commands, type, blocks));

    std::vector<uint8_t> read(kBlock);
    for (int block = 0; block < blocks; ++block) {
        ASSERT_EQ(bench.commands.ReadBlock(block, static_cast<uint8_t>(type.commandModeRead), read),
                  1);
        const auto stuck =
            std::count_if(read.begin(), read.end(), [](uint8_t b) { return b != 0xFF; });
        EXPECT_EQ(stuck, 0) << "block " << block << " not erased";
    }

    std::vector<uint8_t> pattern(kBlock);
    for (int block = 0; block < blocks; ++block) {
        for (int i = 0; i < kBlock; ++i) {
            pattern[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i * 7 + block * 13 + 1);
        }
        ASSERT_EQ(
            bench.commands.WriteBlock(block, static_cast<uint8_t>(type.commandModeWrite), kBlock,
                                      pattern, static_cast<uint8_t>(type.pageWriteSize)),
            1);
        ASSERT_EQ(bench.commands.ReadBlock(block, static_cast<uint8_t>(type.commandModeRead), read),
                  1);
        EXPECT_TRUE(read == pattern) << "block " << block << " reads back wrong";
    }
}

class ShippedPartOnBoardTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ShippedPartOnBoardTest, IdentifiesErasesProgramsAndReadsBack) {
    const std::string part = GetParam();
    const FlashDatabase database{IniFolder(QUILLON_SHIPPED_INI)};
    const auto* facts = sim::FindSpiPart(part);
    ASSERT_NE(facts, nullptr);
    const std::string maker = facts->manufacturer;
    const SettingsCache type = Load(database, maker, part);

    PartBench bench(PartBench::Scenario(part));
    ASSERT_TRUE(bench.bound);

    // Identification: the key formed from the reply leads back to this part (or to the part
    // chosen for a key several parts share, which has the same size).
    ChipIdStrings slots{};
    ASSERT_EQ(bench.commands.ReadFlashId(slots, type.commandModeReadId), 1);
    const bool olderForm = slots[4] == slots[6];
    const std::string key = olderForm ? slots[2] + slots[3] : slots[4] + slots[5] + slots[6];
    const auto found = database.LookupAutoType(key);
    ASSERT_FALSE(found.manufacturer.empty()) << "no auto-typing entry for key " << key;
    EXPECT_EQ(Load(database, found.manufacturer, found.device).flashblock, type.flashblock)
        << key << " -> " << found.device;

    // Parts that power up write-protected are opened by the write-status step first.
    std::array<uint8_t, 2> status{};
    ASSERT_EQ(bench.commands.WriteFlashStatus(StatusWriteMode::OneByte, 0x00, 0x00, status), 1);

    EraseProgramAndReadBack(bench, type, sim::FlashId::kExternalSpi);
}

// A key several parts answer leads to one description; it must erase every one of those
// parts end to end (boot sectors at either end, parts without small sectors), since the
// operator cannot tell which of them is fitted.
TEST_P(ShippedPartOnBoardTest, DescriptionFoundByItsKeyErasesTheWholePart) {
    const std::string part = GetParam();
    const FlashDatabase database{IniFolder(QUILLON_SHIPPED_INI)};
    const auto* facts = sim::FindSpiPart(part);
    ASSERT_NE(facts, nullptr);
    PartBench bench(PartBench::Scenario(part));
    ASSERT_TRUE(bench.bound);

    ChipIdStrings slots{};
    ASSERT_EQ(bench.commands.ReadFlashId(
                  slots, Load(database, facts->manufacturer, part).commandModeReadId),
              1);
    const bool olderForm = slots[4] == slots[6];
    const auto found =
        database.LookupAutoType(olderForm ? slots[2] + slots[3] : slots[4] + slots[5] + slots[6]);
    if (found.manufacturer == facts->manufacturer && found.device == part) {
        return;  // its own description, erased above
    }
    SCOPED_TRACE("typed as " + found.device);
    const SettingsCache type = Load(database, found.manufacturer, found.device);
    std::array<uint8_t, 2> status{};
    ASSERT_EQ(bench.commands.WriteFlashStatus(StatusWriteMode::OneByte, 0x00, 0x00, status), 1);
    auto memory = bench.board.Flash(sim::FlashId::kExternalSpi);
    std::fill(memory.begin(), memory.end(), uint8_t{0x00});
    ASSERT_TRUE(Erase(bench.commands, type, type.flashblock));
    std::vector<uint8_t> read(kBlock);
    for (int block = 0; block < type.flashblock; ++block) {
        ASSERT_EQ(bench.commands.ReadBlock(block, static_cast<uint8_t>(type.commandModeRead), read),
                  1);
        const auto stuck =
            std::count_if(read.begin(), read.end(), [](uint8_t b) { return b != 0xFF; });
        EXPECT_EQ(stuck, 0) << "block " << block << " not erased";
    }
}

std::vector<std::string> ShippedSocketParts() {
    std::vector<std::string> names;
    for (const auto& part : sim::SpiPartTable()) {
        names.push_back(part.name);
    }
    return names;
}

TEST(ShippedEFlashOnBoardTest, ControllerEFlashEntriesEraseProgramAndReadBack) {
    const FlashDatabase database{IniFolder(QUILLON_SHIPPED_INI)};
    const std::pair<const char*, uint32_t> devices[] = {
        {"eFlash 128KB", 0x20000}, {"eFlash 128KB Mode80", 0x20000}, {"eFlash 256KB", 0x40000}};
    for (const auto& [device, size] : devices) {
        SCOPED_TRACE(device);
        PartBench bench(PartBench::Scenario("", size));
        ASSERT_TRUE(bench.bound);
        EraseProgramAndReadBack(bench, Load(database, "Kavo", device), sim::FlashId::kEFlash);
    }
}

INSTANTIATE_TEST_SUITE_P(Parts, ShippedPartOnBoardTest, ::testing::ValuesIn(ShippedSocketParts()),
                         [](const auto& param) {
                             std::string name = param.param;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
}  // namespace quillon
