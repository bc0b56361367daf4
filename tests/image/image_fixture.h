#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "config/memory_settings_store.h"
#include "image/image_context.h"
#include "runtime/message_log.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "tests/support/ec_scenario.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon::test {

// A byte of the virtual board's external flash, distinct from 0xFF and from FileByte.
inline uint8_t FlashByte(std::size_t address) {
    return static_cast<uint8_t>((address * 7 + (address >> 16)) % 0xF0);
}
// A byte of a test image file.
inline uint8_t FileByte(std::size_t offset) {
    return static_cast<uint8_t>(0xF0 + offset % 13);
}
inline std::vector<uint8_t> FileBytes(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = FileByte(i);
    }
    return bytes;
}

// The image layer over an in-process virtual board: an EC (chip 8458) with a seeded external
// W25Q32FV and a 128 KiB eFlash, in-memory settings with the values the merge reads.
class ImageTest : public ::testing::Test {
protected:
    ImageTest() {
        settings.WriteInt("ConnectMode", 1);
        settings.WriteInt("Allocation", 1);
        settings.WriteInt("RomKey", 0);
        settings.WriteInt("DesignatedEflashSizeKB", 0);
        settings.WriteInt("SwitchRom", 0);
        auto flash = board.Flash(sim::FlashId::kExternalSpi);
        for (std::size_t i = 0; i < flash.size(); ++i) {
            flash[i] = FlashByte(i);
        }
        EXPECT_EQ(link.Bind(BoardLink::kDeviceIndex, BoardLink::kConnectParameter), 1);
        timer.SetEnabled(true);
        board.ClearTrace();
    }

    void SetChip(const std::string& chipCode) { identity.chipIdStrings[0] = chipCode; }

    ImageContext Context() {
        return ImageContext{state,      settings,        panel,        log,
                            timer,      commands,        identity,     eflash,
                            flashblock, commandModeRead, assignedText, PathBox{pathText, pathHint}};
    }

    // Blocks read from the flash with ReadBlock (sub-command 0x02), as the board saw them.
    std::vector<int> FlashReads() const {
        std::vector<int> blocks;
        for (const auto& entry : board.Trace()) {
            if ((entry.header[0] == 0xF2 || entry.header[0] == 0xF3) && entry.header[1] == 0x02) {
                EXPECT_EQ(entry.direction, 1u);
                EXPECT_EQ(entry.length, kBlockSize);
                EXPECT_EQ(entry.header[3], static_cast<uint8_t>(commandModeRead));
                blocks.push_back(entry.header[2] | entry.header[6] << 8);
            }
        }
        return blocks;
    }

    // Puts a file of `size` test bytes into ImageBuffer as Load would.
    void LoadRaw(std::size_t size) { state.imageBuffer = FileBytes(size); }

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto path = (dir / name).string();
        testing::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    sim::VirtualBoard board{testing::EcScenario()};
    sim::InProcessBoard attach{board};
    RecordingPanel panel;
    MemorySettingsStore settings;
    MessageLog log{panel};
    ManualTimer timer;
    BoardLink link{FixedDriverLoader(sim::InProcessDriverFunctions()), panel};
    BoardCommands commands{link, settings, log, timer};
    TargetIdentity identity;
    EFlashFacts eflash;
    ImageState state;
    int32_t flashblock = 4;
    int32_t commandModeRead = 0;
    std::string assignedText = "0";
    std::string pathText;
    std::string pathHint;
    testing::TempDir dir;
};

}  // namespace quillon::test
