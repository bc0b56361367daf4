// Read: the whole part whatever the allocation, Read Twice, PD pages, Stop and refusals.
#include <gmock/gmock.h>

#include <algorithm>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;

void SeedFlash(std::span<uint8_t> flash) {
    for (std::size_t i = 0; i < flash.size(); ++i) {
        flash[i] = static_cast<uint8_t>(i * 13 + (i >> 12));
    }
}

TEST(Read, ReadsEveryBlockOfThePartWhateverTheAllocation) {
    FlashRig rig;
    SeedFlash(rig.Flash());
    rig.settings.WriteInt("Allocation", 2);
    rig.image.usedBlockCount = 2;
    rig.image.startBlock = 1;
    rig.cache.flashblock = 4;
    rig.cache.commandModeRead = 1;
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
    std::vector<int> blocks;
    for (const auto& s : rig.SentWith(0x02)) {
        blocks.push_back(s.p[0]);
        EXPECT_EQ(s.p[1], 1);  // CommandMode_Read
    }
    // Without the board's checksum compare every block is read a second time to confirm it.
    EXPECT_THAT(blocks, ElementsAre(0, 0, 1, 1, 2, 2, 3, 3));
    EXPECT_THAT(rig.panel.progress, ElementsAre(25, 50, 75, 100));
    ASSERT_EQ(rig.image.readBuffer.size(), 4 * kBlock);
    EXPECT_TRUE(
        std::equal(rig.image.readBuffer.begin(), rig.image.readBuffer.end(), rig.Flash().begin()));
    EXPECT_THAT(rig.panel.mainLog, ElementsAre("Read Flash to Bufferr ---> OK ! 0"));
    EXPECT_EQ(rig.panel.busyArea, CursorArea::Window);
}

TEST(Read, ReadTwiceReadsAgainAndFailsOnAnUnstableByte) {
    FlashRig rig;
    SeedFlash(rig.Flash());
    rig.readTwice = true;
    rig.cache.flashblock = 2;
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
    EXPECT_EQ(rig.SentWith(0x02).size(), 6u);  // each block twice, then the second pass
    EXPECT_THAT(rig.panel.progress, ElementsAre(50, 100, 50, 100));

    sim::FaultRule unstable;
    unstable.kind = sim::FaultKind::kUnstableRead;
    unstable.address = kBlock + 40;
    unstable.length = 8;
    unstable.rate = 1.0;
    rig.board.AddFault(unstable);
    // The byte never reads the same twice: block 1 is read again until the limit.
    EXPECT_EQ(rig.ops.Read().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Read Flash to Buffer ---> Failure ! 41");
    EXPECT_FALSE(rig.image.operationResult);
}

TEST(Read, AFirstPassEndedByStopFailsAndIsNotReadAgain) {
    FlashRig rig;
    rig.readTwice = true;
    rig.cache.flashblock = 4;
    rig.StopAtPump(2);
    EXPECT_EQ(rig.ops.Read().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x02).size(), 4u);  // blocks 0 and 1, each read twice
    EXPECT_EQ(rig.LastLine(), "Read Flash to Buffer ---> Failure ! 0");

    // Stop in the second pass ends it as well.
    rig.board.ClearTrace();
    rig.StopAtPump(5);
    EXPECT_EQ(rig.ops.Read().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x02).size(), 9u);  // the first pass's 8, then block 0 again
}

TEST(Read, RetriesAreCountedAndTheLimitEndsTheRead) {
    FlashRig rig;
    rig.cache.flashblock = 2;
    rig.board.AddFault(Failing(0x02, 1, 3));
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
    EXPECT_EQ(rig.LastLine(), "Read Flash to Bufferr ---> OK ! 3");
    EXPECT_THAT(rig.clock.Sleeps(), ElementsAre(Millis(10), Millis(10), Millis(10)));

    rig.board.AddFault(Failing(0x02, 0));
    EXPECT_EQ(rig.ops.Read().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Read Flash to Buffer ---> Failure ! 41");
}

TEST(Read, ThePdFlashIsReadPageByPage) {
    FlashRig rig(ScenarioFile("pd-d1"));
    rig.UsePd();
    SeedFlash(rig.Flash(sim::FlashId::kPd));
    rig.readTwice = true;          // a second pass here as well
    rig.cache.flashblock = 70000;  // the flash type does not size the PD flash
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
    // Each page twice (no checksum compare on the controller), then the second pass.
    const auto pages = rig.SentWith(0x03, 0xFC);
    ASSERT_EQ(pages.size(), 3 * 256u);
    EXPECT_EQ(pages[2].p[3], 1);  // page 1 (low byte in P4), read twice
    EXPECT_EQ(pages[3].p[3], 1);
    EXPECT_EQ(pages[513].p[3], 1);  // page 1 of the second pass
    ASSERT_EQ(rig.image.readBuffer.size(), 0x10000u);
    EXPECT_TRUE(std::equal(rig.image.readBuffer.begin(), rig.image.readBuffer.end(),
                           rig.Flash(sim::FlashId::kPd).begin()));
    EXPECT_EQ(rig.panel.progress.back(), 100);
}

TEST(Read, RefusesWithoutAFlashTypeOrWithOneThatCannotBeRead) {
    FlashRig rig;
    rig.cache.flashblock = 0;
    EXPECT_EQ(rig.ops.Read().result, StepResult::Refused);
    ASSERT_EQ(rig.panel.boxes.size(), 1u);
    EXPECT_EQ(rig.panel.boxes[0].text, "Please Choice Flash Type First !");
    EXPECT_EQ(rig.panel.boxes[0].kind, MessageKind::Warning);

    for (const int32_t blocks : {-1, 70000, 5000}) {
        rig.cache.flashblock = blocks;
        EXPECT_EQ(rig.ops.Read().result, StepResult::Refused);
        EXPECT_THAT(rig.panel.boxes.back().text,
                    ::testing::HasSubstr(std::to_string(blocks) + " blocks"));
    }
    EXPECT_TRUE(rig.board.Trace().empty());
    EXPECT_TRUE(rig.image.readBuffer.empty());
}

}  // namespace
}  // namespace quillon::test
