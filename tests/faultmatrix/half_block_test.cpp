// An image that ends in the first half of its last block (the embedded flash's 32 KB tail):
// every step's claim is held against the true memory, without any injected fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "board/driver_loader.h"
#include "config/setting_names.h"
#include "runtime/clock.h"
#include "runtime/window_timer.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "station/station.h"
#include "tests/faultmatrix/flash_judge.h"
#include "tests/support/recording_panel.h"
#include "tests/support/station_probe.h"
#include "tests/support/temp_dir.h"

namespace quillon::test {
namespace {

constexpr uint32_t kEFlashSize = 0x18000;  // 96 KiB: one block and a half

struct HalfBlockRig {
    explicit HalfBlockRig(int32_t sectorSize) {
        sim::EcSpec ec;
        ec.eflashSize = kEFlashSize;
        ec.internalSelected = true;
        ec.eflashSector = static_cast<uint32_t>(sectorSize) * 1024;
        scenario.ec = ec;
        board = std::make_unique<sim::VirtualBoard>(scenario);
        attach = std::make_unique<sim::InProcessBoard>(*board);
        station = std::make_unique<Station>(panel, clock, timer,
                                            StationOptions{dir / "settings.sqlite", dir / "INI"},
                                            FixedDriverLoader(sim::InProcessDriverFunctions()));
        SettingsStore& settings = station->Settings();
        // Start-up selects the controller's flash on the board: the embedded one here.
        settings.WriteBool(setting::kDualFlash, true);
        settings.WriteInt(setting::kConnectMode, 1);
        station->RunStartup();
        settings.WriteInt(setting::kAllocation, 1);
        settings.WriteInt(setting::kQuickMode, 0);
        SettingsCache& type = Probe(*station).Cache();
        type.flashblock = 2;
        type.commandModeErase = 0;
        type.commandModeRead = 0;
        type.commandModeWrite = 0x05;
        type.pageWriteSize = 256;
        type.eraseType = sectorSize == 64 ? 2 : 1;
        type.sectorSize = sectorSize;
        type.sectorOffset = "0";
        station->Controls().main.deviceLines = {"Kavo", "eFlash"};
        Probe(*station).ChipIdStrings()[0] = "8458";
        Probe(*station).EFlash().internalFlashSelected = true;
        Probe(*station).EFlash().eFlashSize = kEFlashSize;
        std::mt19937 random(5);
        image.resize(2 * 65536, 0xFF);
        for (uint32_t i = 0; i < kEFlashSize; ++i) {
            image[i] = static_cast<uint8_t>(random());
        }
        ImageState& state = Probe(*station).Image();
        state.imageBuffer = image;
        state.usedBlockCount = 2;
        state.halfLastBlock = true;
        Probe(*station).Link().Bind(0, 9000);
        auto flash = board->Flash(sim::FlashId::kEFlash);
        for (uint8_t& byte : flash) {
            byte = static_cast<uint8_t>(random());  // an older firmware
        }
    }
    std::span<uint8_t> Truth() { return board->Flash(sim::FlashId::kEFlash); }

    sim::Scenario scenario;
    std::unique_ptr<sim::VirtualBoard> board;
    std::unique_ptr<sim::InProcessBoard> attach;
    testing::TempDir dir;
    RecordingPanel panel;
    VirtualClock clock;
    ManualTimer timer;
    std::unique_ptr<Station> station;
    std::vector<uint8_t> image;
};

class HalfLastBlock : public ::testing::TestWithParam<int32_t> {};

TEST_P(HalfLastBlock, EachStepSaysOkOnlyWhenTheFlashHoldsWhatItClaims) {
    HalfBlockRig rig(GetParam());
    FlashOperations& ops = rig.station->FlashOps();
    const ByteRange used{0, kEFlashSize};
    const StepResult erased = ops.Erase().result;
    const Judgement blank = JudgeBlank(rig.Truth(), used);
    EXPECT_FALSE(erased == StepResult::Ok && !blank.Right())
        << "erase said OK, the flash has " << blank.Describe();
    if (GetParam() == 64) {
        // No small sectors: nothing is erased, and the line after the outcome says why.
        EXPECT_EQ(erased, StepResult::Failed);
        const auto& lines = rig.station->Log().Lines();
        EXPECT_EQ(lines[lines.size() - 2], "Erase Flash ---> Failure ! 0");
        EXPECT_EQ(lines.back(),
                  "The image ends 32 KB into block 1, and the flash type erases only whole 64 KB "
                  "sectors: erasing that block would lose its upper half, so nothing was erased");
    } else {
        // Sectors that end at the half block leave the run nothing to refuse: every step
        // must get through, or the checks above hold vacuously.
        EXPECT_EQ(erased, StepResult::Ok) << rig.station->Log().Lines().back();
    }
    const StepResult checked = ops.BlankCheck().result;
    EXPECT_FALSE(checked == StepResult::Ok && !JudgeBlank(rig.Truth(), used).Right());
    const StepResult programmed = ops.Program().result;
    const Judgement holds = JudgeHolds(rig.Truth(), rig.image, used);
    EXPECT_FALSE(programmed == StepResult::Ok && erased == StepResult::Ok && blank.Right() &&
                 !holds.Right())
        << holds.Describe();
    const StepResult verified = ops.Verify().result;
    EXPECT_EQ(verified == StepResult::Ok, holds.Right()) << holds.Describe();
    if (GetParam() != 64) {
        EXPECT_EQ(verified, StepResult::Ok);
    }
}

// 1 KB and 4 KB sectors stop at the half block's end; 64 KB ones cannot.
INSTANTIATE_TEST_SUITE_P(SectorSizes, HalfLastBlock, ::testing::Values(1, 4, 64));

// Auto on an image that ends 32 KiB into its last block, with a part erased in 64 KB blocks
// that also has 4 KB sectors (SmallSectorSize=4 in its shipped description): the used half is
// erased sector by sector, Auto passes, the flash holds the image and the block's upper half
// keeps what it held.
struct HalfBlockAutoCase {
    int32_t connectMode;
    sim::FlashId flash;
    const char* maker;
    const char* part;
};

class HalfBlockAuto : public ::testing::TestWithParam<HalfBlockAutoCase> {};

TEST_P(HalfBlockAuto, ErasesTheUsedHalfWithSmallSectorsAndPasses) {
    const HalfBlockAutoCase c = GetParam();
    constexpr uint32_t kFileSize = 0x18000;  // one block and a half
    sim::Scenario scenario;
    if (c.flash == sim::FlashId::kSocket) {
        scenario.socketPart = c.part;
    } else {
        sim::EcSpec ec;
        ec.eflashSize = 2 * 65536;
        ec.eflashSector = 4096;
        ec.internalSelected = true;
        scenario.ec = ec;
    }
    sim::VirtualBoard board(scenario);
    sim::InProcessBoard attach(board);
    testing::TempDir dir;
    RecordingPanel panel;
    VirtualClock clock;
    ManualTimer timer;
    Station station(panel, clock, timer, StationOptions{dir / "settings.sqlite", {}},
                    FixedDriverLoader(sim::InProcessDriverFunctions()));
    SettingsStore& settings = station.Settings();
    settings.WriteInt(setting::kConnectMode, c.connectMode);
    // Start-up selects the controller's own flash on the board.
    settings.WriteBool(setting::kDualFlash, c.flash == sim::FlashId::kEFlash);
    station.RunStartup();
    settings.WriteInt(setting::kAllocation, 1);
    settings.WriteInt(setting::kQuickMode, 0);
    settings.WriteText(setting::kLastFlashId1, c.maker);
    settings.WriteText(setting::kLastFlashId2, c.part);
    SettingsCache& type = Probe(station).Cache();
    type.flashblock = 2;
    type.commandModeErase = 0;
    type.commandModeRead = 0;
    type.commandModeWrite = 0;
    type.pageWriteSize = 256;
    type.eraseType = 2;
    type.sectorSize = 64;
    type.sectorOffset = "0";
    station.Controls().main.deviceLines = {c.maker, c.part};
    Probe(station).ChipIdStrings()[0] = "8458";
    // The merge keeps a half last block for the controller's own flash, From Top.
    Probe(station).EFlash().internalFlashSelected = true;
    Probe(station).Link().Bind(0, 9000);

    std::mt19937 random(9);
    std::string file(kFileSize, '\0');
    for (char& byte : file) {
        byte = static_cast<char>(random());
    }
    auto truth = board.Flash(c.flash);
    std::fill(truth.begin(), truth.end(), 0x5A);  // an older firmware
    const std::vector<uint8_t> before(truth.begin(), truth.end());
    testing::WriteFileBytes(dir / "image.bin", file);
    station.RunHandler([&] { station.Files().Load((dir / "image.bin").string()); });
    ASSERT_TRUE(Probe(station).Image().halfLastBlock);
    for (auto box :
         {StepCheckBox::Erase, StepCheckBox::Check, StepCheckBox::Program, StepCheckBox::Verify}) {
        station.OnCheckBoxClicked(box, true);
    }
    StepResult result = StepResult::Failed;
    station.RunHandler([&] { result = station.Auto().Run().result; });
    EXPECT_EQ(result, StepResult::Ok) << station.Log().Lines().back();
    EXPECT_TRUE(std::equal(file.begin(), file.end(), truth.begin(),
                           [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
    EXPECT_TRUE(std::equal(truth.begin() + kFileSize, truth.begin() + 2 * 65536,
                           before.begin() + kFileSize))
        << "the upper half of the last block was touched";
}

INSTANTIATE_TEST_SUITE_P(
    Modes, HalfBlockAuto,
    ::testing::Values(HalfBlockAutoCase{1, sim::FlashId::kEFlash, "Winbond", "W25Q32FV"},
                      HalfBlockAutoCase{2, sim::FlashId::kEFlash, "Winbond", "W25Q32FV"},
                      HalfBlockAutoCase{3, sim::FlashId::kSocket, "Winbond", "W25Q128FV"}));

}  // namespace
}  // namespace quillon::test
