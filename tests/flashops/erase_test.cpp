// Erase: the block walk with its sector table, the sector layout, chip erase, the socket part
// erased block by block, the last-KiB unprotect, the PD flash, retries and Stop.
#include <gmock/gmock.h>

#include <algorithm>

#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

bool AllErased(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

// Pairs (block, page byte) of the EraseFlash commands sent.
std::vector<std::pair<int, int>> Erased(const FlashRig& rig) {
    std::vector<std::pair<int, int>> out;
    for (const auto& s : rig.SentWith(0x03)) {
        out.emplace_back(s.p[2] | s.p[4] << 8, s.p[3]);
    }
    return out;
}

TEST(Erase, FourKilobyteSectorsWalkSixteenPageBytesPerBlock) {
    FlashRig rig;
    rig.FillFlash(0x00);
    rig.cache.sectorSize = 4;
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);

    std::vector<std::pair<int, int>> expected;
    for (int b = 0; b < 2; ++b) {
        for (int page = 15; page < 256; page += 16) {
            expected.emplace_back(b, page);
        }
    }
    EXPECT_EQ(Erased(rig), expected);
    for (const auto& s : rig.SentWith(0x03)) {
        EXPECT_EQ(s.p[0], 1);  // sector erase
    }
    EXPECT_TRUE(AllErased(rig.Flash().first(2 * kBlock)));
    EXPECT_EQ(rig.Flash()[2 * kBlock], 0x00);  // the next block is left alone
    EXPECT_THAT(rig.panel.mainLog, ElementsAre("Erase Flash ---> OK ! 0"));
    EXPECT_EQ(rig.panel.busyArea, CursorArea::LogPane);
    EXPECT_TRUE(rig.image.operationResult);
    EXPECT_TRUE(rig.timer.IsEnabled());
}

TEST(Erase, AHalfLastBlockGetsOnlyItsFirstEightSectors) {
    FlashRig rig;
    rig.FillFlash(0x00);
    rig.cache.sectorSize = 4;
    rig.LoadImage(kBlock + kBlock / 2);
    rig.image.halfLastBlock = true;
    ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
    const auto erased = Erased(rig);
    ASSERT_EQ(erased.size(), 16u + 8u);
    EXPECT_EQ(erased.back(), std::make_pair(1, 127));
    EXPECT_TRUE(AllErased(rig.Flash().subspan(kBlock, kBlock / 2)));
    EXPECT_EQ(rig.Flash()[kBlock + kBlock / 2], 0x00);
}

TEST(Erase, BlocksBelowTheStartBlockAreLeftAloneUnlessFromTop) {
    {
        FlashRig rig;
        rig.settings.WriteInt("Allocation", 2);
        rig.LoadImage(4 * kBlock);
        rig.image.startBlock = 2;
        ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
        EXPECT_EQ(Erased(rig), (std::vector<std::pair<int, int>>{{2, 255}, {3, 255}}));
        EXPECT_THAT(rig.panel.progress, ElementsAre(50, 100));
    }
    // A start block beyond the used blocks: nothing to walk, no gauge step, no crash.
    FlashRig from;
    from.LoadImage(2 * kBlock);
    from.image.startBlock = 3;
    ASSERT_EQ(from.ops.Erase().result, StepResult::Ok);
    EXPECT_EQ(Erased(from).size(), 2u);
    EXPECT_TRUE(from.panel.progress.empty());
}

TEST(Erase, ABlockThatAlwaysFailsEndsAfterFortyOneRepetitions) {
    FlashRig rig;
    rig.board.AddFault(Failing(0x03, 1));
    rig.LoadImage(3 * kBlock);
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> Failure ! 41");
    EXPECT_EQ(Erased(rig).size(), 1u + 41u);  // block 0, then block 1 once and 40 times again
    EXPECT_EQ(rig.clock.Sleeps().size(), 41u);
    EXPECT_EQ(rig.clock.Sleeps().front(), Millis(10));
    EXPECT_FALSE(rig.image.operationResult);
}

TEST(Erase, AFailedBlockIsRepeatedWholeAndCounted) {
    FlashRig rig;
    rig.cache.sectorSize = 32;
    rig.board.AddFault(Failing(0x03, 0, 1));
    rig.LoadImage(kBlock);
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
    EXPECT_EQ(Erased(rig),
              (std::vector<std::pair<int, int>>{{0, 127}, {0, 255}, {0, 127}, {0, 255}}));
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> OK ! 1");
}

TEST(Erase, NoUsedBlocksSendNothingAndReportThePreviousResult) {
    for (const bool previous : {true, false}) {
        FlashRig rig;
        rig.LoadImage(kBlock);
        rig.image.usedBlockCount = 0;
        rig.image.operationResult = previous;
        EXPECT_EQ(rig.ops.Erase().result, StepFrom(previous));
        EXPECT_TRUE(Erased(rig).empty());
        EXPECT_EQ(rig.LastLine(),
                  previous ? "Erase Flash ---> OK ! 0" : "Erase Flash ---> Failure ! 0");
    }
}

TEST(Erase, ChipEraseSendsOneCommandWithThePartSize) {
    FlashRig rig;
    rig.FillFlash(0x12);
    rig.cache.eraseType = 0;
    rig.cache.sectorSize = 4;
    rig.LoadImage(kBlock);
    ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
    const auto sent = rig.SentWith(0x03);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_THAT(sent[0].p, ElementsAre(0, 0, 64, 4, 0, 0, 0));  // P3 = 64 blocks, P4 = 4 KB
    EXPECT_THAT(rig.panel.progress, ElementsAre(100));
    EXPECT_TRUE(AllErased(rig.Flash()));
}

TEST(Erase, ASectorLayoutIsWalkedUntilTheEndOfTheImage) {
    {
        FlashRig rig;
        rig.FillFlash(0x00);
        rig.cache.sectorOffset = "04,16,32,03,";
        rig.LoadImage(kBlock);
        ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
        std::vector<std::pair<int, int>> expected;
        for (int page = 15; page < 256; page += 16) {
            expected.emplace_back(0, page);
        }
        EXPECT_EQ(Erased(rig), expected);
        EXPECT_TRUE(AllErased(rig.Flash().first(kBlock)));
    }
    // Past the 16 small sectors the walk goes on in 32 KB steps (pages 15 and 143).
    FlashRig two;
    two.cache.sectorOffset = "04,16,32,03,";
    two.LoadImage(2 * kBlock);
    ASSERT_EQ(two.ops.Erase().result, StepResult::Ok);
    const auto erased = Erased(two);
    ASSERT_EQ(erased.size(), 18u);
    EXPECT_EQ(erased[16], std::make_pair(1, 15));
    EXPECT_EQ(erased[17], std::make_pair(1, 143));
}

TEST(Erase, ASectorLayoutThatMissesTheEndFailsWithAReason) {
    {
        FlashRig rig;
        rig.cache.sectorOffset = "04,02,32,03,";  // 0, 4, 8, 40 ... 72: never exactly 64
        rig.LoadImage(kBlock);
        rig.image.operationResult = true;
        EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
        EXPECT_EQ(Erased(rig).size(), 4u);
        EXPECT_THAT(
            rig.panel.mainLog,
            ElementsAre("Erase Flash ---> Failure ! 0",
                        "Sector layout ends at 72 KB, not at the end of the image (64 KB)"));
    }

    FlashRig bad;
    bad.cache.sectorOffset = "4K,xx";
    bad.LoadImage(kBlock);
    EXPECT_EQ(bad.ops.Erase().result, StepResult::Failed);
    EXPECT_TRUE(Erased(bad).empty());
    EXPECT_EQ(bad.panel.mainLog.back(), "Sector layout '4K,xx' cannot be read");
}

TEST(Erase, ASectorLayoutWithAFailedSectorNeverReportsOk) {
    FlashRig rig;
    rig.cache.sectorOffset = "32,02,";
    rig.board.AddFault(Failing(0x03, 0, 1));
    rig.LoadImage(kBlock);
    EXPECT_EQ(rig.ops.Erase().result,
              StepResult::Failed);  // the second sector's success hides nothing
    EXPECT_EQ(Erased(rig).size(), 2u);
}

TEST(Erase, TheMacronixSocketPartIsErasedBlockByBlockOverItsWholeSize) {
    FlashRig rig(ScenarioFile("socket"));
    rig.settings.WriteInt("ConnectMode", 3);
    rig.settings.WriteText("LastFlashID2", "MX25L12845E");
    rig.cache.flashblock = 4;
    rig.FillFlash(0x00, sim::FlashId::kSocket);
    rig.LoadImage(kBlock);
    std::vector<std::string> seen;
    rig.panel.onPump = [&] { seen.push_back(rig.panel.mainLog.back()); };
    ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
    const auto sent = rig.SentWith(0x13, 0xF2);
    ASSERT_EQ(sent.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(sent[k].p[0], 2);
        EXPECT_EQ(sent[k].p[2], k);
        EXPECT_EQ(sent[k].p[3], 255);
    }
    EXPECT_EQ(seen.front(), "Erase Flash ---> Chip Erasing...");
    EXPECT_THAT(rig.panel.progress, ElementsAre(25, 50, 75, 100));
    EXPECT_TRUE(AllErased(rig.Flash(sim::FlashId::kSocket).first(4 * kBlock)));
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> OK ! 0");
}

TEST(Erase, EraseLastKiBUnprotectsTheControllersOwnFlashFirst) {
    {
        FlashRig rig;
        rig.eraseLast1K = true;
        rig.settings.WriteText("LastFlashID1", "Kavo");
        rig.cache.commandModeWrite = 5;
        rig.LoadImage(kBlock);
        ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
        std::vector<std::string> order;
        for (const auto& e : rig.board.Trace()) {
            char text[32];
            std::snprintf(text, sizeof text, "%02X/%02X %02X %02X %02X", e.header[0], e.header[1],
                          e.header[2], e.header[3], e.header[5]);
            order.emplace_back(text);
        }
        EXPECT_THAT(order, ElementsAre("F2/03 01 00 FC",  // the KiB at 0x1FC00
                                       "F2/27 80 00 FC", "F2/20 03 00 FC", "F2/23 20 06 FC",
                                       "F2/27 80 00 FC", "F2/20 03 00 FC", "F2/23 10 58 FC",
                                       "F2/20 04 58 FC", "F2/27 81 00 FC", "F2/20 02 00 FC",
                                       "F2/03 01 00 FF",    // then the block walk
                                       "F2/02 00 00 FF"));  // and its read-back
        EXPECT_EQ(rig.board.Trace()[3].data, std::vector<uint8_t>{0x44});
        EXPECT_EQ(rig.board.Trace()[6].data, std::vector<uint8_t>{0x40});
        EXPECT_THAT(rig.clock.Sleeps(), ElementsAre(Millis(1000)));
    }

    FlashRig excluded;
    excluded.eraseLast1K = true;
    excluded.settings.WriteText("LastFlashID1", "Kavo");
    excluded.identity.chipIdStrings[0] = "4C8A";
    excluded.LoadImage(kBlock);
    ASSERT_EQ(excluded.ops.Erase().result, StepResult::Ok);
    EXPECT_EQ(excluded.board.Trace().size(), 2u);  // the block's erase and its read-back
}

TEST(Erase, ThePdFlashIsErasedOneKiBAtATime) {
    FlashRig rig(ScenarioFile("pd-d1"));
    rig.UsePd();
    rig.FillFlash(0x00, sim::FlashId::kPd);
    rig.LoadImage(1000);
    ASSERT_EQ(rig.ops.Erase().result, StepResult::Ok);
    const auto sent = rig.SentWith(0x02, 0xFC);
    ASSERT_EQ(sent.size(), 64u);
    EXPECT_EQ(sent[1].p[3], 4);  // page 4 (low byte in P4)
    EXPECT_EQ(rig.panel.progress.front(), 1);
    EXPECT_EQ(rig.panel.progress.back(), 100);
    EXPECT_TRUE(AllErased(rig.Flash(sim::FlashId::kPd)));
}

TEST(Erase, StopEndsTheWalkAtTheChosenTransfer) {
    FlashRig rig;
    rig.FillFlash(0x00);
    rig.LoadImage(4 * kBlock);
    rig.StopAtPump(2);
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_EQ(Erased(rig).size(), 2u);
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> Failure ! 0");
    EXPECT_EQ(rig.Flash()[2 * kBlock], 0x00);
}

TEST(Erase, RefusesWithoutImageOrTypeAndForAnUnusableFlashType) {
    FlashRig rig;
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Refused);
    ASSERT_EQ(rig.panel.boxes.size(), 1u);
    EXPECT_EQ(rig.panel.boxes[0].title, "Warning");
    EXPECT_EQ(rig.panel.boxes[0].text, "Please Open BIN File First or Choice Flash Type !");
    EXPECT_TRUE(rig.board.Trace().empty());
    EXPECT_TRUE(rig.panel.mainLog.empty());
    EXPECT_TRUE(rig.timer.IsEnabled());

    rig.LoadImage(kBlock);
    rig.deviceLines.clear();
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Refused);

    // A hand-edited Flashblock the two-byte block field cannot carry.
    rig.deviceLines = {"W25Q32FV"};
    rig.cache.eraseType = 0;
    rig.cache.flashblock = 70000;
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Refused);
    EXPECT_THAT(rig.panel.boxes.back().text, ::testing::HasSubstr("70000 blocks"));
    EXPECT_TRUE(rig.board.Trace().empty());

    rig.cache.eraseType = 1;
    rig.cache.sectorSize = 0;  // no sector table: nothing would be erased
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Refused);
    EXPECT_TRUE(rig.board.Trace().empty());
}

}  // namespace
}  // namespace quillon::test
