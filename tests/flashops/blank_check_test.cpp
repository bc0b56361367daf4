// Blank check: the read path, the quick path the board compares, the ROM-code area of chip
// 11ED, the eFlash limit, half blocks, the PD pages, retries and Stop.
#include <gmock/gmock.h>

#include "board/block_checksum.h"
#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;

TEST(BlankCheck, ReadsEveryUsedBlockAndCountsTheBytesThatAreNotErased) {
    FlashRig rig;
    rig.FillFlash(0xFF);
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    const auto reads = rig.SentWith(0x02);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].p[0], 1);
    EXPECT_THAT(rig.panel.mainLog, ElementsAre("Check Flash be cleared ---> OK ! 0"));
    EXPECT_EQ(rig.image.readBuffer.size(), 2 * kBlock);
    EXPECT_THAT(rig.panel.progress, ElementsAre(50, 100));
    EXPECT_EQ(rig.panel.busyArea, CursorArea::Window);

    rig.Flash()[kBlock + 5] = 0x7F;
    rig.Flash()[2 * kBlock] = 0x00;  // past the used blocks: not checked
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_THAT(rig.panel.mainLog,
                ElementsAre("Check Flash be cleared ---> OK ! 0",
                            "Check Flash be cleared ---> Failure ! 0", "Error 1 bytes"));
    EXPECT_FALSE(rig.image.operationResult);
}

TEST(BlankCheck, TheQuickPathLetsTheBoardCompareErasedChecksums) {
    FlashRig rig;
    rig.FillFlash(0xFF);
    rig.settings.WriteInt("QuickMode", 1);
    rig.flags.quickModeCapable = true;
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    EXPECT_TRUE(rig.SentWith(0x02).empty());
    const auto& trace = rig.board.Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[0].header[1], 0x23);  // register 0x10A2 <- 0x40 (block below 256)
    EXPECT_EQ(trace[0].header[2], 0x10);
    EXPECT_EQ(trace[0].header[3], 0xA2);
    EXPECT_EQ(trace[0].data, std::vector<uint8_t>{0x40});
    EXPECT_EQ(trace[1].header[1], 0x07);
    EXPECT_EQ(trace[1].length, 128u);
    std::vector<uint8_t> sums;
    for (int i = 0; i < 64; ++i) {
        sums.insert(sums.end(), {0x0D, 0x7F});
    }
    EXPECT_EQ(trace[1].digest, sim::Digest(sums));

    // A byte that is not erased: the board says no, every time.
    rig.Flash()[kBlock + 9] = 0x00;
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Check Flash be cleared ---> Failure ! 41");
}

TEST(BlankCheck, TheQuickPathSelectsTheUpperBankFromBlock256) {
    auto scenario = EcScenario();
    scenario.ec->externalPart = "W25Q256FV";
    FlashRig rig(scenario);
    rig.FillFlash(0xFF);
    rig.settings.WriteInt("QuickMode", 1);
    rig.settings.WriteInt("Allocation", 2);
    rig.flags.quickModeCapable = true;
    rig.LoadImage(257 * kBlock);
    rig.image.startBlock = 255;
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    const auto& trace = rig.board.Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[0].data, std::vector<uint8_t>{0x40});
    EXPECT_EQ(trace[2].data, std::vector<uint8_t>{0x50});
    EXPECT_EQ(trace[3].header[3], 0x00);  // block 256: low byte 0 in P2, high byte 1 in P5
    EXPECT_EQ(trace[3].header[6], 0x01);
    EXPECT_THAT(rig.panel.progress, ElementsAre(50, 100));
}

TEST(BlankCheck, QuickModeOffClearsTheCapabilityAndReads) {
    FlashRig rig;
    rig.FillFlash(0xFF);
    rig.flags.quickModeCapable = true;  // QuickMode setting 0
    rig.LoadImage(kBlock);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    EXPECT_FALSE(rig.flags.quickModeCapable);
    EXPECT_EQ(rig.SentWith(0x02).size(), 1u);
}

TEST(BlankCheck, AReadBlockIsAlwaysTestedEvenWhenQuickModeWasProbed) {
    // The socket never takes the quick path; with the capability still set from the target
    // the block read must be tested all the same.
    FlashRig rig(ScenarioFile("socket"));
    rig.settings.WriteInt("ConnectMode", 3);
    rig.settings.WriteInt("QuickMode", 1);
    rig.flags.quickModeCapable = true;
    rig.FillFlash(0xFF, sim::FlashId::kSocket);
    rig.Flash(sim::FlashId::kSocket)[100] = 0x00;
    rig.LoadImage(kBlock);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x12).size(), 1u);
    EXPECT_EQ(rig.panel.mainLog.back(), "Error 1 bytes");
}

TEST(BlankCheck, Chip11EDWithoutTheRomKeyDoesNotTestItsRomCodeArea) {
    FlashRig rig;
    rig.identity.chipIdStrings[0] = "11ED";
    rig.FillFlash(0xFF);
    auto flash = rig.Flash();
    std::fill_n(flash.begin() + 0x1E000, 8192, 0x00);
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);

    flash[0x1DFFF] = 0x00;  // just before the area
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.panel.mainLog.back(), "Error 1 bytes");

    rig.settings.WriteInt("RomKey", 1);  // with the ROM key the area is tested
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.panel.mainLog.back(), "Error 8193 bytes");
}

TEST(BlankCheck, ARomCodeChipIsTestedOnlyUpToTheEndOfItsEFlash) {
    FlashRig rig;
    rig.identity.chipIdStrings[0] = "1FD2";
    rig.eflash.eFlashSize = 0x18000;  // ends half-way into block 1
    rig.FillFlash(0xFF);
    auto flash = rig.Flash();
    flash[0x18000] = 0x00;
    flash[0x28010] = 0x00;  // block 2 keeps the limit of block 1
    rig.LoadImage(3 * kBlock);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    flash[0x17FFF] = 0x00;
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.panel.mainLog.back(), "Error 1 bytes");

    // An eFlash not sized yet sets no limit.
    rig.eflash.eFlashSize = 0;
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.panel.mainLog.back(), "Error 3 bytes");
}

TEST(BlankCheck, AHalfLastBlockIsTestedOverItsFirstHalf) {
    FlashRig rig;
    rig.FillFlash(0xFF);
    rig.Flash()[kBlock + kBlock / 2] = 0x00;
    rig.LoadImage(kBlock + kBlock / 2);
    rig.image.halfLastBlock = true;
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
    rig.Flash()[kBlock + kBlock / 2 - 1] = 0x00;
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
}

TEST(BlankCheck, ThePdFlashIsReadPageByPage) {
    FlashRig rig(ScenarioFile("pd-d1"));
    rig.UsePd();
    rig.FillFlash(0xFF, sim::FlashId::kPd);
    rig.Flash(sim::FlashId::kPd)[0xFFFF] = 0x12;
    rig.LoadImage(300);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x03, 0xFC).size(), 256u);
    EXPECT_EQ(rig.image.readBuffer.size(), 0x10000u);
    EXPECT_EQ(rig.panel.progress.size(), 256u);
    EXPECT_EQ(rig.panel.progress.back(), 100);
    EXPECT_EQ(rig.panel.mainLog.back(), "Error 1 bytes");
}

TEST(BlankCheck, StopAndRetryOverflowEndTheWalkWithFailure) {
    FlashRig rig;
    rig.FillFlash(0xFF);
    rig.LoadImage(4 * kBlock);
    rig.StopAtPump(1);
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x02).size(), 1u);
    EXPECT_EQ(rig.LastLine(), "Check Flash be cleared ---> Failure ! 0");

    rig.panel.onPump = nullptr;
    rig.board.AddFault(Failing(0x02, 2));
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Check Flash be cleared ---> Failure ! 41");
    EXPECT_TRUE(rig.stop.Requested());  // left set until the next operation starts
    rig.board.ClearFaults();
    EXPECT_EQ(rig.ops.BlankCheck().result, StepResult::Ok);
}

}  // namespace
}  // namespace quillon::test
