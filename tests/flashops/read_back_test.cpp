// The read-backs that stand between a board's "success" and an OK: an erase proves its range
// blank, a program reads each block back, a read confirms each block. The board's answers
// are made to lie with injected faults; the verdict comes from the board's memory.
#include <gmock/gmock.h>

#include <algorithm>

#include "board/block_checksum.h"
#include "tests/flashops/flash_rig.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;

sim::FaultRule Lie(sim::FaultKind kind, uint32_t unit, uint32_t times = 1) {
    sim::FaultRule rule;
    rule.kind = kind;
    rule.unit = unit;
    rule.times = times;
    return rule;
}

// The blocks (P1) of the ReadBlock commands sent, or of another command by its P byte.
std::vector<int> Blocks(const FlashRig& rig, uint8_t sub, int at) {
    std::vector<int> out;
    for (const auto& s : rig.SentWith(sub)) {
        out.push_back(s.p[at]);
    }
    return out;
}

bool AllErased(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

void SeedFlash(std::span<uint8_t> flash) {
    for (std::size_t i = 0; i < flash.size(); ++i) {
        flash[i] = static_cast<uint8_t>(i * 7 + (i >> 10));
    }
}

// 64 KB blocks erased by the block erase command.
void UseBlockErase(FlashRig& rig) {
    rig.cache.eraseType = 2;
    rig.cache.sectorSize = 64;
}

void UseQuickMode(FlashRig& rig) {
    rig.settings.WriteInt("QuickMode", 1);
    rig.flags.quickModeCapable = true;
}

TEST(EraseReadBack, AnEraseTheBoardOnlyClaimedFailsWithTheBytesLeft) {
    FlashRig rig;
    UseBlockErase(rig);
    rig.FillFlash(0x00);
    rig.LoadImage(3 * kBlock);
    rig.image.readBuffer.assign(100, 0x5A);  // a read the operator may still save
    rig.board.AddFault(Lie(sim::FaultKind::kEraseLie, 1));
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_THAT(rig.panel.mainLog,
                ElementsAre("Erase Flash ---> Failure ! 0", "Error 65536 bytes"));
    EXPECT_FALSE(rig.image.operationResult);
    // Every erased block is read back after the walk, into a buffer of the erase's own.
    EXPECT_THAT(Blocks(rig, 0x02, 0), ElementsAre(0, 1, 2));
    EXPECT_EQ(rig.board.Trace()[3].header[1], 0x02);  // after the three erase commands
    EXPECT_EQ(rig.image.readBuffer, std::vector<uint8_t>(100, 0x5A));
    EXPECT_THAT(rig.panel.progress, ElementsAre(33, 66, 100));  // the check moves no gauge

    rig.board.ClearFaults();
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> OK ! 0");
    EXPECT_TRUE(AllErased(rig.Flash().first(3 * kBlock)));
}

TEST(EraseReadBack, TheBoardComparesErasedChecksumsWhereItCan) {
    FlashRig rig;
    UseBlockErase(rig);
    UseQuickMode(rig);
    rig.FillFlash(0x00);
    rig.LoadImage(2 * kBlock);
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
    EXPECT_TRUE(rig.SentWith(0x02).empty());
    const auto& trace = rig.board.Trace();
    ASSERT_EQ(trace.size(), 6u);  // two erases, then register and compare for each block
    EXPECT_EQ(trace[2].header[1], 0x23);
    EXPECT_EQ(trace[2].data, std::vector<uint8_t>{0x40});  // bank of blocks below 256
    EXPECT_EQ(trace[3].header[1], 0x07);
    EXPECT_EQ(trace[5].header[3], 1);  // block 1 in P2
    const std::vector<uint8_t> erased(kBlock, 0xFF);
    const auto sums = BlockChecksums(erased);
    EXPECT_EQ(trace[5].digest, sim::Digest(sums));

    // The board never finds the block blank: the compare fails until the retry limit.
    rig.board.AddFault(Lie(sim::FaultKind::kEraseLie, 1));
    rig.Flash()[kBlock + 77] = 0x00;
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> Failure ! 41");
}

TEST(EraseReadBack, OnlyWhatWasErasedIsChecked) {
    {
        FlashRig rig;  // From Medium: the blocks below the start block were not erased
        UseBlockErase(rig);
        rig.settings.WriteInt("Allocation", 2);
        rig.FillFlash(0x00);
        rig.LoadImage(4 * kBlock);
        rig.image.startBlock = 2;
        EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
        EXPECT_THAT(Blocks(rig, 0x02, 0), ElementsAre(2, 3));
    }
    {
        FlashRig rig;  // the half the image leaves alone is neither erased nor checked
        rig.cache.sectorSize = 4;
        rig.FillFlash(0x00);
        rig.LoadImage(kBlock + kBlock / 2);
        rig.image.halfLastBlock = true;
        EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
        EXPECT_EQ(rig.Flash()[kBlock + kBlock / 2], 0x00);
    }
    {
        // Chip 11ED without the ROM key: its ROM-code area is not tested, what lies just
        // before it is. The area is written again behind the erase's back.
        FlashRig rig;
        UseBlockErase(rig);
        rig.identity.chipIdStrings[0] = "11ED";
        rig.LoadImage(2 * kBlock);
        auto dirtyAfterTheWalk = [&rig](std::size_t from, std::size_t count) {
            rig.panel.onPump = [&rig, from, count, pumps = 0]() mutable {
                if (++pumps == 2) {
                    std::fill_n(rig.Flash().begin() + static_cast<long>(from), count, 0x00);
                }
            };
        };
        dirtyAfterTheWalk(0x1E000, 8192);
        EXPECT_EQ(rig.ops.Erase().result, StepResult::Ok);
        dirtyAfterTheWalk(0x1DFFF, 1);
        EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
        EXPECT_EQ(rig.LastLine(), "Error 1 bytes");
    }
}

TEST(EraseReadBack, ThePdFlashIsReadBackPageByPage) {
    FlashRig rig(ScenarioFile("pd-d1"));
    rig.UsePd();
    rig.FillFlash(0x00, sim::FlashId::kPd);
    rig.LoadImage(1000);
    rig.board.AddFault(Lie(sim::FaultKind::kEraseLie, 8));  // the third KiB
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x02, 0xFC).size(), 64u);
    EXPECT_EQ(rig.SentWith(0x03, 0xFC).size(), 256u);
    EXPECT_THAT(rig.panel.mainLog, ElementsAre("Erase Flash ---> Failure ! 0", "Error 1024 bytes"));
}

TEST(EraseReadBack, AFlashTypeWhoseSectorEraseClearsLessThanItsSectorSizeFails) {
    // The part's sector erase clears 4 KB; a flash type that counts it as 64 KB left the
    // rest of each block as it was.
    FlashRig rig;
    rig.FillFlash(0x00);
    rig.cache.eraseType = 1;
    rig.cache.sectorSize = 64;
    rig.LoadImage(kBlock);
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Error 61440 bytes");
}

TEST(EraseReadBack, StopDuringTheCheckFails) {
    FlashRig rig;
    rig.LoadImage(3 * kBlock);
    rig.StopAtPump(4);  // three erased blocks, then the first block checked
    EXPECT_EQ(rig.ops.Erase().result, StepResult::Failed);
    EXPECT_EQ(rig.SentWith(0x02).size(), 1u);
    EXPECT_EQ(rig.LastLine(), "Erase Flash ---> Failure ! 0");
}

TEST(ProgramReadBack, ABlockTheBoardDidNotWriteIsWrittenAgain) {
    for (const auto kind : {sim::FaultKind::kWriteLie, sim::FaultKind::kPartialWrite}) {
        FlashRig rig;
        rig.LoadImage(2 * kBlock);
        auto lie = Lie(kind, 1);
        lie.bytes = 100;  // a partial write keeps its first 100 bytes
        rig.board.AddFault(lie);
        EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
        EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> OK ! 1");
        EXPECT_THAT(Blocks(rig, 0x04, 1), ElementsAre(0, 1, 1));
        EXPECT_THAT(Blocks(rig, 0x02, 0), ElementsAre(0, 1, 1));
        EXPECT_THAT(rig.clock.Sleeps(), ElementsAre(Millis(10)));
        EXPECT_TRUE(std::equal(rig.image.imageBuffer.begin(), rig.image.imageBuffer.end(),
                               rig.Flash().begin()));
    }
}

TEST(ProgramReadBack, TheQuickWriteIsComparedByTheBoard) {
    FlashRig rig;
    UseQuickMode(rig);
    rig.cache.commandModeWrite = 3;
    rig.LoadImage(2 * kBlock);
    rig.board.AddFault(Lie(sim::FaultKind::kWriteLie, 0));
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> OK ! 1");
    std::vector<int> order;
    for (const auto& e : rig.board.Trace()) {
        order.push_back(e.header[1]);
    }
    EXPECT_THAT(order, ElementsAre(0x08, 0x07, 0x08, 0x07, 0x08, 0x07));
    const auto sums = BlockChecksums(std::span(rig.image.imageBuffer).first(kBlock));
    EXPECT_EQ(rig.board.Trace()[1].digest, sim::Digest(sums));
}

TEST(ProgramReadBack, AStuckBitFailsAfterTheRetryLimit) {
    FlashRig rig;
    rig.LoadImage(2 * kBlock);
    sim::FaultRule stuck;
    stuck.kind = sim::FaultKind::kStuckBits;
    stuck.address = kBlock + 10;
    stuck.bits = static_cast<uint8_t>(~rig.image.imageBuffer[kBlock + 10]);
    rig.board.AddFault(stuck);
    rig.image.operationResult = true;
    EXPECT_EQ(rig.ops.Program().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> Failure ! 41");
    EXPECT_FALSE(rig.image.operationResult);
    EXPECT_EQ(rig.SentWith(0x04).size(), 1u + 41u);
}

TEST(ProgramReadBack, APdPageIsReadBackAndWrittenAgain) {
    FlashRig rig(ScenarioFile("pd-d1"));
    rig.UsePd();
    rig.LoadImage(1024);
    auto partial = Lie(sim::FaultKind::kPartialWrite, 2);
    partial.bytes = 10;
    rig.board.AddFault(partial);
    EXPECT_EQ(rig.ops.Program().result, StepResult::Ok);
    EXPECT_EQ(rig.LastLine(), "Write Flash from buffer ---> OK ! 1");
    EXPECT_EQ(rig.SentWith(0x04, 0xFC).size(), 5u);
    EXPECT_EQ(rig.SentWith(0x03, 0xFC).size(), 5u);
    EXPECT_TRUE(std::equal(rig.image.imageBuffer.begin(), rig.image.imageBuffer.end(),
                           rig.Flash(sim::FlashId::kPd).begin()));
}

TEST(ReadConfirm, AStaleReplyIsReadAgain) {
    for (const bool quick : {false, true}) {
        FlashRig rig;
        if (quick) {
            UseQuickMode(rig);
        }
        SeedFlash(rig.Flash());
        rig.cache.flashblock = 3;
        rig.board.AddFault(Lie(sim::FaultKind::kStaleRead, 1));
        EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
        EXPECT_EQ(rig.LastLine(), "Read Flash to Bufferr ---> OK ! 1");
        EXPECT_TRUE(std::equal(rig.image.readBuffer.begin(), rig.image.readBuffer.end(),
                               rig.Flash().begin()));
        if (quick) {
            // Each block read is followed by the board's compare of its checksums.
            EXPECT_THAT(Blocks(rig, 0x02, 0), ElementsAre(0, 1, 1, 2));
            EXPECT_THAT(Blocks(rig, 0x07, 1), ElementsAre(0, 1, 1, 2));
            const auto sums = BlockChecksums(rig.Flash().subspan(2 * kBlock, kBlock));
            EXPECT_EQ(rig.board.Trace().back().digest, sim::Digest(sums));
        } else {
            EXPECT_THAT(Blocks(rig, 0x02, 0), ElementsAre(0, 0, 1, 1, 1, 1, 2, 2));
        }
    }
}

TEST(ReadConfirm, AStalePdPageIsReadAgainAndReadTwiceRunsItsSecondPass) {
    FlashRig rig(ScenarioFile("pd-d1"));
    rig.UsePd();
    SeedFlash(rig.Flash(sim::FlashId::kPd));
    rig.board.AddFault(Lie(sim::FaultKind::kStaleRead, 4));
    EXPECT_EQ(rig.ops.Read().result, StepResult::Ok);
    EXPECT_EQ(rig.LastLine(), "Read Flash to Bufferr ---> OK ! 1");
    EXPECT_TRUE(std::equal(rig.image.readBuffer.begin(), rig.image.readBuffer.end(),
                           rig.Flash(sim::FlashId::kPd).begin()));

    // A page that reads the same twice in the first pass and otherwise in the second fails
    // Read Twice.
    rig.readTwice = true;
    rig.board.ClearTrace();
    rig.panel.onPump = [&rig, pumps = 0]() mutable {
        if (++pumps == 256) {  // the first pass is done
            rig.Flash(sim::FlashId::kPd)[3] ^= 0x10;
        }
    };
    EXPECT_EQ(rig.ops.Read().result, StepResult::Failed);
    EXPECT_EQ(rig.LastLine(), "Read Flash to Buffer ---> Failure ! 0");
    EXPECT_EQ(rig.SentWith(0x03, 0xFC).size(), 3 * 256u);
}

}  // namespace
}  // namespace quillon::test
