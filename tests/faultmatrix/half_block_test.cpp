// An image that ends in the first half of its last block (the embedded flash's 32 KB tail):
// every step's claim is held against the true memory, without any injected fault.
#include <gtest/gtest.h>

#include <random>

#include "board/driver_loader.h"
#include "config/setting_names.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"
#include "station/station.h"
#include "tests/faultmatrix/flash_judge.h"
#include "tests/support/station_probe.h"
#include "tests/support/temp_dir.h"
#include "ui/clock.h"
#include "ui/connection_timer.h"
#include "ui/recording_panel.h"

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
    ManualConnectionTimer timer;
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
        EXPECT_EQ(erased, StepResult::Failed);
        EXPECT_EQ(rig.station->Log().Lines().back(), "Erase Flash ---> Failure ! 0");
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

}  // namespace
}  // namespace quillon::test
