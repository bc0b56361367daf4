// The block process: one block at a time through erase, check, program and read-back, with
// the four stage lines rewritten from the end of the log.
#include <gmock/gmock.h>

#include <algorithm>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> LastFour(const FlashRig& rig) {
    const auto& log = rig.panel.mainLog;
    return {log.end() - 4, log.end()};
}

TEST(BlockProcess, EveryBlockPassesEveryStageInTurn) {
    FlashRig rig;
    rig.FillFlash(0x00);
    rig.cache.sectorSize = 4;
    rig.LoadImage(3 * kBlock);
    rig.log.Append("Auto Flash ---> ...");
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Ok);
    EXPECT_THAT(LastFour(rig), ElementsAre("Erase  : 2 Block", "Check  : 2 Block",
                                           "Program: 2 Block", "Check  : 2 Block"));
    EXPECT_EQ(rig.log.Lines(), rig.panel.mainLog);
    EXPECT_EQ(rig.panel.mainLog.size(), 5u);
    EXPECT_THAT(rig.panel.progress, ElementsAre(33, 66, 100));
    EXPECT_EQ(rig.stepBoxesTicked, 1);
    EXPECT_TRUE(std::equal(rig.image.imageBuffer.begin(), rig.image.imageBuffer.end(),
                           rig.Flash().begin()));
    EXPECT_EQ(rig.Flash()[3 * kBlock], 0x00);
    EXPECT_TRUE(rig.image.operationResult);
    // Per block: 16 sector erases, a read, a write and a read back.
    std::vector<uint8_t> subs;
    for (const auto& e : rig.board.Trace()) {
        if (subs.empty() || subs.back() != e.header[1]) {
            subs.push_back(e.header[1]);
        }
    }
    EXPECT_THAT(subs, ElementsAre(3, 2, 4, 2, 3, 2, 4, 2, 3, 2, 4, 2));
}

TEST(BlockProcess, ASkippedBlockLeavesTheLinesAndIsNotWritten) {
    FlashRig rig;
    rig.skipFF = true;
    rig.LoadImage(2 * kBlock);
    std::fill_n(rig.image.imageBuffer.begin() + kBlock, kBlock, 0xFF);
    rig.image.blockSkipFlags.Reset(64);
    rig.image.blockSkipFlags.Set(1, true);
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Ok);
    EXPECT_THAT(LastFour(rig), ElementsAre("Erase  : 0 Block", "Check  : 0 Block",
                                           "Program: 0 Block", "Check  : 0 Block"));
    for (const auto& e : rig.board.Trace()) {
        EXPECT_EQ(e.header[1] == 0x03   ? e.header[4]
                  : e.header[1] == 0x04 ? e.header[3]
                                        : e.header[2],
                  0);
    }
}

TEST(BlockProcess, AHalfLastBlockIsErasedWrittenAndCheckedOverItsFirstHalf) {
    FlashRig rig;
    rig.cache.sectorSize = 4;
    rig.LoadImage(kBlock + kBlock / 2);
    rig.image.halfLastBlock = true;
    rig.Flash()[kBlock + kBlock / 2 + 1] = 0x00;  // past the half: neither erased nor checked
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Ok);
    const auto erases = rig.SentWith(0x03);
    ASSERT_EQ(erases.size(), 16u + 8u);
    EXPECT_EQ(erases.back().p[3], 127);
    const auto& trace = rig.board.Trace();
    const auto write = std::find_if(trace.rbegin(), trace.rend(),
                                    [](const auto& e) { return e.header[1] == 0x04; });
    EXPECT_EQ(write->length, kBlock / 2);
    EXPECT_EQ(rig.Flash()[kBlock + kBlock / 2 + 1], 0x00);
    EXPECT_TRUE(std::equal(rig.image.imageBuffer.begin(), rig.image.imageBuffer.end(),
                           rig.Flash().begin()));
}

TEST(BlockProcess, ABlockBelowTheStartBlockIsNotErasedAndPassesOnlyWhenBlank) {
    FlashRig rig;
    rig.settings.WriteInt("Allocation", 2);
    rig.LoadImage(2 * kBlock);
    std::fill_n(rig.image.imageBuffer.begin(), kBlock, 0xFF);
    rig.image.startBlock = 1;
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Ok);
    ASSERT_EQ(rig.SentWith(0x03).size(), 1u);
    EXPECT_EQ(rig.SentWith(0x03)[0].p[2], 1);
    EXPECT_THAT(rig.panel.progress, ElementsAre(0, 100));
}

TEST(BlockProcess, StopBetweenBlocksEndsTheRunBeforeTheNextBlock) {
    FlashRig rig;
    rig.LoadImage(3 * kBlock);
    rig.image.operationResult = true;
    rig.StopAtPump(1);
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x04).size(), 1u);
    EXPECT_EQ(rig.panel.mainLog.back(), "Check  : 0 Block");
    EXPECT_FALSE(rig.image.operationResult);
}

TEST(BlockProcess, ABlockThatNeverPassesStillLetsStopEndTheRun) {
    FlashRig rig;
    rig.board.AddFault(Failing(0x04, 1));
    rig.LoadImage(2 * kBlock);
    rig.StopAtPump(20);  // block 0 passes (pump 1), then block 1 fails over and over
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x04).size(), 1u + 19u);
    EXPECT_EQ(rig.clock.Sleeps().size(), 19u);
    EXPECT_THAT(LastFour(rig), ElementsAre("Erase  : 1 Block", "Check  : 1 Block",
                                           "Program: 0 Block", "Check  : 0 Block"));
}

TEST(BlockProcess, AChipEraseTypeIsRefusedBeforeAnythingIsErased) {
    FlashRig rig;
    rig.cache.eraseType = 0;  // each sector step would erase the whole part
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Refused);
    ASSERT_EQ(rig.panel.boxes.size(), 1u);
    EXPECT_EQ(rig.panel.boxes[0].title, "Warning");
    EXPECT_TRUE(rig.board.Trace().empty());
    EXPECT_FALSE(rig.image.operationResult);
}

TEST(BlockProcess, ChipsWithASmallEFlashCompareOnlyItsSize) {
    FlashRig rig;
    rig.identity.chipIdStrings[0] = "1FD2";
    rig.eflash.eFlashSize = 0x8000;
    rig.LoadImage(kBlock);
    sim::FaultRule stuck;  // a bit past the eFlash that cannot be programmed
    stuck.kind = sim::FaultKind::kStuckBits;
    stuck.address = 0x9000;
    stuck.bits = 0x01;
    rig.image.imageBuffer[0x9000] = 0x00;
    rig.board.AddFault(stuck);
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Ok);

    // Any other chip compares the whole block: the stuck bit keeps it failing until Stop.
    rig.identity.chipIdStrings[0] = "8458";
    rig.StopAtPump(3);
    EXPECT_EQ(rig.ops.BlockProcess().result, StepResult::Failed);
    EXPECT_EQ(rig.panel.mainLog.back(), "Check  : ");
}

}  // namespace
}  // namespace quillon::test
