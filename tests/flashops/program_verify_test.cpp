// Program and verify: block, quick and page writes, the PD pages, skip flags, half blocks,
// the SMBus speed switch, images shorter than the used blocks, retries and Stop. The
// verdict about the flash comes from the virtual board's memory.
#include <gmock/gmock.h>

#include <algorithm>

#include "board/block_checksum.h"
#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;

bool Holds(std::span<const uint8_t> flash, const std::vector<uint8_t>& image) {
    return flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin());
}

TEST(Program, WritesBlocksThatVerifyReadsBackAndCompares) {
    FlashRig rig;
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    EXPECT_TRUE(Holds(rig.Flash(), rig.image.imageBuffer));
    const auto writes = rig.SentWith(0x04);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].p[0], 0);  // CommandMode_Write
    EXPECT_EQ(writes[1].p[1], 1);  // block
    EXPECT_EQ(writes[1].p[2], 0);  // PageWriteSize 256 as a byte
    EXPECT_EQ(rig.panel.busyArea, CursorArea::LogPane);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> OK ! 0");

    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    EXPECT_EQ(rig.LastLine(), "Verify Flash with buffer ---> OK ! 0");
    EXPECT_EQ(rig.image.readBuffer, rig.image.imageBuffer);

    rig.Flash()[kBlock + 3] &= 0x0F;
    rig.Flash()[7] &= 0xF0;
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
    EXPECT_EQ(rig.panel.mainLog[rig.panel.mainLog.size() - 2],
              "Verify Flash with buffer ---> Failure ! 0");
    EXPECT_EQ(rig.LastLine(), "Error 2 bytes");
}

TEST(Program, ProgramWithoutEraseFailsItsReadBackAndVerifyFindsTheWrongBytes) {
    FlashRig rig;
    rig.FillFlash(0x00);
    rig.LoadImage(kBlock);
    // The board answers every write with success; the read-back shows the block is wrong.
    EXPECT_EQ(rig.ops.Program().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> Failure ! 41");
    EXPECT_EQ(rig.SentWith(0x04).size(), 41u);
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
}

TEST(Program, TheQuickPathWritesAndComparesWholeBlocksOnTheBoard) {
    FlashRig rig;
    rig.settings.WriteInt("QuickMode", 2);
    rig.flags.quickModeCapable = true;
    rig.cache.commandModeWrite = 3;
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    const auto quick = rig.SentWith(0x08);
    ASSERT_EQ(quick.size(), 2u);
    EXPECT_EQ(quick[0].p[2], 1);  // QuickMode - 1
    EXPECT_EQ(quick[1].p[1], 1);  // block low in P2
    EXPECT_TRUE(rig.SentWith(0x04).empty());
    EXPECT_TRUE(Holds(rig.Flash(), rig.image.imageBuffer));
    // The board compares each written block with the image's checksums; nothing is read.
    const auto compared = rig.SentWith(0x07);
    ASSERT_EQ(compared.size(), 2u);
    EXPECT_EQ(compared[1].p[1], 1);
    EXPECT_TRUE(rig.SentWith(0x02).empty());

    rig.board.ClearTrace();
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    const auto& trace = rig.board.Trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[1].header[1], 0x07);
    const auto sums = BlockChecksums(std::span(rig.image.imageBuffer).subspan(kBlock, kBlock));
    EXPECT_EQ(trace[1].digest, sim::Digest(sums));

    rig.Flash()[kBlock + 1000] &= 0x01;  // the board's compare fails, every time
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Verify Flash with buffer ---> Failure ! 41");
}

TEST(Program, SmallProgramCommandsGoPageByPageWithAGaugeStepEach) {
    FlashRig rig;
    rig.cache.commandModeWrite = 3;
    rig.cache.pageWriteSize = 16;
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    const auto pages = rig.SentWith(0x0A);
    ASSERT_EQ(pages.size(), 512u);
    EXPECT_EQ(pages[300].p[1], 16);  // PageWriteSize
    EXPECT_EQ(pages[300].p[2], 1);   // block
    EXPECT_EQ(pages[300].p[3], 44);  // page in block
    ASSERT_EQ(rig.panel.progress.size(), 512u + 2u);
    EXPECT_EQ(rig.panel.progress[0], 0);     // 1 * 100 / 512
    EXPECT_EQ(rig.panel.progress[255], 50);  // the last page of block 0
    EXPECT_EQ(rig.panel.progress[256], 50);  // the block step
    EXPECT_EQ(rig.panel.progress.back(), 100);
    EXPECT_TRUE(Holds(rig.Flash(), rig.image.imageBuffer));
}

TEST(Program, ThePdImageIsPaddedToWholePages) {
    for (const std::size_t size : {std::size_t{257}, std::size_t{256}}) {
        FlashRig rig(ScenarioFile("pd-d1"));
        rig.UsePd();
        rig.LoadImage(size);
        const auto original = rig.image.imageBuffer;
        EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
        const std::size_t pages = size == 257 ? 2 : 1;
        EXPECT_EQ(rig.SentWith(0x04, 0xFC).size(), pages);
        EXPECT_EQ(rig.image.imageBuffer.size(), pages * 256);
        EXPECT_TRUE(std::equal(original.begin(), original.end(), rig.image.imageBuffer.begin()));
        EXPECT_TRUE(std::all_of(rig.image.imageBuffer.begin() + static_cast<long>(size),
                                rig.image.imageBuffer.end(), [](uint8_t b) { return b == 0xFF; }));
        EXPECT_TRUE(Holds(rig.Flash(sim::FlashId::kPd), rig.image.imageBuffer));
        EXPECT_EQ(rig.SentWith(0x03, 0xFC).size(), pages);  // each page read back

        rig.board.ClearTrace();
        EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
        EXPECT_EQ(rig.SentWith(0x03, 0xFC).size(), pages);
        rig.Flash(sim::FlashId::kPd)[1] ^= 0x01;
        EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
        EXPECT_EQ(rig.LastLine(), "Error 1 bytes");
    }
}

TEST(Program, ASkippedBlockIsNeitherWrittenNorComparedButMovesTheGauge) {
    FlashRig rig;
    rig.skipFF = true;
    rig.LoadImage(3 * kBlock);
    std::fill_n(rig.image.imageBuffer.begin() + kBlock, kBlock, 0xFF);
    rig.image.blockSkipFlags.Reset(64);
    rig.image.blockSkipFlags.Set(1, true);
    rig.Flash()[kBlock + 2] = 0x00;  // not erased: a verify of block 1 would fail
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    auto blocks = [&](uint8_t sub, int at) {
        std::vector<int> out;
        for (const auto& s : rig.SentWith(sub)) {
            out.push_back(s.p[at]);
        }
        return out;
    };
    EXPECT_THAT(blocks(0x04, 1), ElementsAre(0, 2));
    EXPECT_THAT(blocks(0x02, 0), ElementsAre(0, 2));  // the written blocks read back
    EXPECT_THAT(rig.panel.progress, ElementsAre(33, 66, 100));
    rig.panel.progress.clear();
    rig.board.ClearTrace();
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    EXPECT_THAT(blocks(0x02, 0), ElementsAre(0, 2));
    EXPECT_THAT(rig.panel.progress, ElementsAre(33, 66, 100));

    // Skip FF off: the flags are cleared and block 1 is compared.
    rig.skipFF = false;
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
    EXPECT_FALSE(rig.image.blockSkipFlags.IsSkipped(1));
}

TEST(Program, SkipFlagsLeftFromAnEarlierImageNeverSkipABlockOfTheNewOne) {
    FlashRig rig;
    rig.skipFF = true;
    rig.image.blockSkipFlags.Reset(64);
    rig.image.blockSkipFlags.Set(1, true);  // the old image was blank in block 1
    rig.LoadImage(2 * kBlock);              // the new one is not
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(rig.SentWith(0x04).size(), 2u);
    EXPECT_EQ(rig.SentWith(0x02).size(), 2u);  // both read back
    EXPECT_TRUE(Holds(rig.Flash(), rig.image.imageBuffer));
    rig.board.ClearTrace();
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    EXPECT_EQ(rig.SentWith(0x02).size(), 2u);
}

TEST(Program, AHalfLastBlockIsWrittenAndComparedOverItsFirstHalf) {
    FlashRig rig;
    rig.LoadImage(kBlock + kBlock / 2);  // the raw file: it ends 32 KB into block 1
    rig.image.halfLastBlock = true;
    rig.Flash()[kBlock + kBlock / 2] = 0x00;  // past the half: neither written nor compared
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    // Each write is followed by its read-back; the byte past the half is not compared.
    const auto& trace = rig.board.Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[1].header[1], 0x02);
    EXPECT_EQ(trace[2].length, kBlock / 2);
    EXPECT_EQ(trace[3].header[1], 0x02);
    EXPECT_TRUE(Holds(rig.Flash(), rig.image.imageBuffer));
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
}

TEST(Program, AHalfLastBlockIsWrittenInOneHundredTwentyEightPages) {
    FlashRig pages;
    pages.cache.commandModeWrite = 3;
    pages.cache.pageWriteSize = 32;
    pages.LoadImage(kBlock / 2);
    pages.image.halfLastBlock = true;
    EXPECT_EQ(pages.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(pages.SentWith(0x0A).size(), 128u);
}

TEST(Program, BlocksPastTheEndOfTheImageAreSentAsErasedBytesNeverAsGarbage) {
    FlashRig rig;
    rig.LoadImage(kBlock + 100);
    rig.image.usedBlockCount = 3;  // stale: one block more than the image reaches
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    const auto& trace = rig.board.Trace();
    ASSERT_EQ(trace.size(), 6u);  // write and read back, three times
    std::vector<uint8_t> tail(kBlock, 0xFF);
    std::copy_n(rig.image.imageBuffer.begin() + kBlock, 100, tail.begin());
    EXPECT_EQ(trace[2].digest, sim::Digest(tail));
    EXPECT_EQ(trace[3].digest, sim::Digest(tail));  // read back as written
    EXPECT_EQ(trace[4].digest, sim::Digest(std::vector<uint8_t>(kBlock, 0xFF)));
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
    rig.Flash()[2 * kBlock + 5] = 0x00;
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
}

TEST(Program, TheSmbusSpeedIsLoweredForProgrammingAndRestoredEvenAfterStop) {
    auto speedCodes = [](const FlashRig& rig) {
        std::vector<int> codes;
        for (const auto& s : rig.SentWith(0x20, 0xF3)) {
            codes.push_back(s.p[0]);
        }
        return codes;
    };
    {
        FlashRig rig;
        rig.identity.chipIdStrings[0] = "4CE1";
        rig.settings.WriteInt("SMBusSpeed", 2);
        rig.LoadImage(kBlock);
        EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
        EXPECT_THAT(speedCodes(rig), ElementsAre(2, 12));
        EXPECT_EQ(rig.board.Trace().front().header[1], 0x20);
        EXPECT_EQ(rig.board.Trace().back().header[1], 0x20);
        rig.board.ClearTrace();
        EXPECT_EQ(rig.ops.Verify().result, StepResult::Ok);
        EXPECT_TRUE(speedCodes(rig).empty());
    }
    {
        FlashRig rig;
        rig.identity.chipIdStrings[0] = "4CED";
        rig.settings.WriteInt("SMBusSpeed", 2);
        rig.LoadImage(3 * kBlock);
        rig.StopAtPump(1);
        EXPECT_EQ(rig.ops.Program().result, StepResult::Failed);
        EXPECT_EQ(rig.SentWith(0x04).size(), 1u);
        EXPECT_THAT(speedCodes(rig), ElementsAre(2, 12));
        rig.board.ClearTrace();
        rig.StopAtPump(1);
        EXPECT_EQ(rig.ops.Verify().result, StepResult::Failed);
        EXPECT_THAT(speedCodes(rig), ElementsAre(2, 12));
    }
    {
        FlashRig rig;  // the high speed is not set: nothing is switched
        rig.identity.chipIdStrings[0] = "4CE1";
        rig.LoadImage(kBlock);
        EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
        EXPECT_TRUE(speedCodes(rig).empty());
    }
}

TEST(Program, AWriteThatAlwaysFailsEndsAfterTheRetryLimit) {
    FlashRig rig;
    rig.board.AddFault(Failing(0x04, 1));
    rig.LoadImage(2 * kBlock);
    rig.image.operationResult = true;
    EXPECT_EQ(rig.ops.Program().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> Failure ! 41");
    EXPECT_FALSE(rig.image.operationResult);
}

TEST(Program, AFailedPageRepeatsItsBlockFromTheFirstPage) {
    FlashRig pages;
    pages.cache.commandModeWrite = 3;
    pages.cache.pageWriteSize = 16;
    pages.board.AddFault(Failing(0x0A, 0, 1));
    pages.LoadImage(kBlock);
    EXPECT_EQ(pages.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(pages.SentWith(0x0A).size(), 257u);  // the block again from its first page
    EXPECT_EQ(pages.LastLine(), "Write Flash from buffer ---> OK ! 1");
}

TEST(Program, StopInsideAPageByPageBlockFinishesThatBlockAndEndsBeforeTheNext) {
    FlashRig rig;
    rig.cache.commandModeWrite = 3;
    rig.cache.pageWriteSize = 16;
    rig.LoadImage(2 * kBlock);
    rig.StopAtPump(10);
    EXPECT_EQ(rig.ops.Program().result, StepResult::Failed);
    const auto pages = rig.SentWith(0x0A);
    ASSERT_EQ(pages.size(), 256u);
    EXPECT_EQ(pages.back().p[2], 0);    // block 0
    EXPECT_EQ(pages.back().p[3], 255);  // its last page
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> Failure ! 0");
    const auto flash = rig.Flash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + kBlock, rig.image.imageBuffer.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + kBlock, flash.begin() + 2 * kBlock,
                            [](uint8_t b) { return b == 0xFF; }));
}

TEST(Program, AFailedWriteAfterStopIsStillCountedAsARetry) {
    FlashRig rig;
    rig.cache.commandModeWrite = 3;
    rig.cache.pageWriteSize = 16;
    rig.LoadImage(2 * kBlock);
    // Stop is pressed after page 9 and page 10 then fails: the block counts one repetition
    // and the walk ends before it is written again.
    rig.panel.onPump = [&rig, count = 0]() mutable {
        if (++count == 10) {
            rig.stop.Request();
            rig.board.AddFault(Failing(0x0A, std::nullopt, 1));
        }
    };
    EXPECT_EQ(rig.ops.Program().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x0A).size(), 11u);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> Failure ! 1");
    EXPECT_EQ(rig.clock.Now().count(), 10);
}

TEST(Program, ProgramAndVerifyRefuseWithoutImageOrType) {
    FlashRig rig;
    EXPECT_EQ(rig.ops.Program().result, StepResult::Refused);
    EXPECT_EQ(rig.ops.Verify().result, StepResult::Refused);
    ASSERT_EQ(rig.panel.boxes.size(), 2u);
    EXPECT_EQ(rig.panel.boxes[1].text, "Please Open BIN File First or Choice Flash Type !");
    EXPECT_TRUE(rig.board.Trace().empty());
}

TEST(Program, APdImageLargerThanThePdFlashIsRefused) {
    FlashRig pd(ScenarioFile("pd-d1"));
    pd.UsePd();
    pd.LoadImage(0x10001);  // one byte more than the 64 KB PD flash
    EXPECT_EQ(pd.ops.Program().result, StepResult::Refused);
    EXPECT_THAT(pd.panel.boxes.back().text, ::testing::HasSubstr("larger than the PD flash"));
    EXPECT_TRUE(pd.board.Trace().empty());
}

}  // namespace
}  // namespace quillon::test
