// Placement of a loaded file: the allocation rule, the boundary reads against the virtual
// board, and the ROM-key cases.
#include "image/image_merge.h"

#include <gmock/gmock.h>

#include "tests/image/image_fixture.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Checks every byte of the image against where it should have come from.
void ExpectImage(const std::vector<uint8_t>& image, std::size_t fileStart, std::size_t fileSize,
                 std::size_t flashFrom, std::size_t flashTo) {
    for (std::size_t a = 0; a < image.size(); ++a) {
        uint8_t expected = 0xFF;
        if (a >= fileStart && a < fileStart + fileSize) {
            expected = FileByte(a - fileStart);
        } else if (a >= flashFrom && a < flashTo) {
            expected = FlashByte(a);
        }
        ASSERT_EQ(image[a], expected) << "at 0x" << std::hex << a;
    }
}

class AllocationTest : public ImageTest {};

TEST_F(AllocationTest, FromTopReadsTheTailOfTheLastBlockFromTheFlash) {
    LoadRaw(100 * 1024);
    auto context = Context();
    EXPECT_EQ(MergeImage(context), StepResult::Ok);
    EXPECT_THAT(panel.mainLog, ElementsAre("Use Block=2  (End:2 - Start:0)",
                                           "Start Address = 0x00000000", "Merge File ---> OK !"));
    EXPECT_THAT(FlashReads(), ElementsAre(1));
    ASSERT_EQ(state.imageBuffer.size(), 0x20000u);
    ExpectImage(state.imageBuffer, 0, 100 * 1024, 100 * 1024, 0x20000);
    EXPECT_EQ(state.usedBlockCount, 2u);
    EXPECT_EQ(state.imageFileSize, 100u * 1024);
    EXPECT_TRUE(state.operationResult);
    EXPECT_THAT(panel.progress, ElementsAre(0, 50, 100));
}

TEST_F(AllocationTest, FromMediumLeavesTheLowerHalfErasedWithoutReading) {
    settings.WriteInt("Allocation", 2);
    LoadRaw(0x10000);
    auto context = Context();
    MergeImage(context);
    EXPECT_THAT(panel.mainLog, ElementsAre("Use Block=1  (End:3 - Start:2)",
                                           "Start Address = 0x00020000", "Merge File ---> OK !"));
    EXPECT_THAT(FlashReads(), IsEmpty());
    ASSERT_EQ(state.imageBuffer.size(), 0x30000u);
    ExpectImage(state.imageBuffer, 0x20000, 0x10000, 0, 0);
    EXPECT_EQ(state.startBlock, 2u);
    EXPECT_EQ(state.usedBlockCount, 3u);
}

TEST_F(AllocationTest, FromAssignedKeepsTheFlashBytesAroundAnUnalignedFile) {
    settings.WriteInt("Allocation", 3);
    assignedText = "18000";
    LoadRaw(0x10000);
    auto context = Context();
    MergeImage(context);
    EXPECT_THAT(FlashReads(), ElementsAre(1, 2));
    ASSERT_EQ(state.imageBuffer.size(), 0x30000u);
    for (std::size_t a = 0; a < 0x30000; ++a) {
        const uint8_t expected = a < 0x10000   ? 0xFF
                                 : a < 0x18000 ? FlashByte(a)
                                 : a < 0x28000 ? FileByte(a - 0x18000)
                                               : FlashByte(a);
        ASSERT_EQ(state.imageBuffer[a], expected) << std::hex << a;
    }
    EXPECT_EQ(panel.mainLog[1], "Start Address = 0x00018000");
    EXPECT_EQ(state.startBlock, 1u);
}

TEST_F(AllocationTest, AHalfLastBlockOfTheEFlashStaysRaw) {
    eflash.internalFlashSelected = true;
    LoadRaw(96 * 1024);
    auto context = Context();
    MergeImage(context);
    EXPECT_TRUE(state.halfLastBlock);
    EXPECT_EQ(panel.mainLog.back(), "The Last Block is 32K for EFlash!");
    EXPECT_EQ(state.usedBlockCount, 2u);
    EXPECT_EQ(state.imageBuffer, FileBytes(96 * 1024));
    EXPECT_THAT(FlashReads(), IsEmpty());

    eflash.internalFlashSelected = false;  // an external part gets whole blocks
    MergeImage(context);
    EXPECT_FALSE(state.halfLastBlock);
    EXPECT_EQ(state.imageBuffer.size(), 0x20000u);
    EXPECT_THAT(FlashReads(), ElementsAre(1));
}

TEST_F(AllocationTest, AFileLargerThanThePartIsWarnedAboutAndCut) {
    settings.WriteInt("Allocation", 2);
    LoadRaw(300 * 1024);
    auto context = Context();
    MergeImage(context);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].title, "Warning");
    EXPECT_EQ(panel.boxes[0].text,
              "The used address is more than the size of Flash ROM !\nPlease reset your setting.");
    ASSERT_EQ(state.imageBuffer.size(), 0x40000u);
    ExpectImage(state.imageBuffer, 0x20000, 0x20000, 0, 0);
    EXPECT_EQ(state.usedBlockCount, 4u);
    EXPECT_EQ(state.imageFileSize, 300u * 1024);
}

TEST_F(AllocationTest, AStartAddressBeyondThePartPlacesNothing) {
    settings.WriteInt("Allocation", 3);
    for (const char* text : {"40000", "FFFF0000"}) {  // at the end; far beyond (would wrap)
        assignedText = text;
        LoadRaw(0x20000);
        panel.boxes.clear();
        auto context = Context();
        EXPECT_EQ(MergeImage(context), StepResult::Failed) << text;
        ASSERT_EQ(panel.boxes.size(), 1u) << text;
        EXPECT_TRUE(state.imageBuffer.empty());
        EXPECT_EQ(state.usedBlockCount, 0u);
        EXPECT_FALSE(state.operationResult);
    }
    EXPECT_THAT(panel.mainLog, IsEmpty());
    EXPECT_THAT(FlashReads(), IsEmpty());
}

TEST_F(AllocationTest, AFailedBoundaryReadIsAFailureEvenWhenTheOtherReadSucceeds) {
    settings.WriteInt("Allocation", 3);
    assignedText = "18000";
    sim::FaultRule fault;
    fault.subCommand = 0x02;
    fault.unit = 1;  // the head read fails, the tail read of block 2 succeeds
    board.AddFault(fault);
    LoadRaw(0x10000);
    auto context = Context();
    EXPECT_EQ(MergeImage(context), StepResult::Failed);
    EXPECT_EQ(panel.mainLog.back(), "Merge File ---> Failure !");
    EXPECT_FALSE(state.operationResult);
    EXPECT_EQ(state.imageBuffer.size(), 0x30000u);  // still built
    EXPECT_EQ(state.imageBuffer[0x28000], FlashByte(0x28000));
    EXPECT_TRUE(state.besideFileUnread);  // but marked: the head's bytes are guesses

    // The same file merged once the read succeeds is complete again.
    board.ClearFaults();
    LoadRaw(0x10000);
    EXPECT_EQ(MergeImage(context), StepResult::Ok);
    EXPECT_FALSE(state.besideFileUnread);
}

TEST_F(AllocationTest, The11EDKeepsItsRomCodeAreaErasedInAMainImage) {
    SetChip("11ED");
    flashblock = 3;
    LoadRaw(0x30000);
    auto context = Context();
    MergeImage(context);
    ExpectImage(
        std::vector<uint8_t>(state.imageBuffer.begin(), state.imageBuffer.begin() + 0x1E000), 0,
        0x1E000, 0, 0);
    for (std::size_t a = 0x1E000; a < 0x20000; ++a) {
        ASSERT_EQ(state.imageBuffer[a], 0xFF);
    }
    EXPECT_EQ(state.imageBuffer[0x20000], FileByte(0x20000));
}

TEST_F(AllocationTest, OnlyTheRomCodeChipsReadRomKey) {
    // A store without RomKey (never created for a part that has no ROM code).
    MemorySettingsStore bare;
    for (const char* name : {"ConnectMode", "Allocation", "DesignatedEflashSizeKB", "SwitchRom"}) {
        bare.WriteInt(name, settings.ReadInt(name));
    }
    auto context = Context();
    ImageContext withoutRomKey{state,        bare,           panel,  log,        timer,
                               commands,     identity,       eflash, flashblock, commandModeRead,
                               assignedText, context.pathBox};
    for (const char* chip : {"8458", "0", "1B50"}) {
        SetChip(chip);
        LoadRaw(0x10000);
        EXPECT_EQ(MergeImage(withoutRomKey), StepResult::Ok) << chip;
        EXPECT_EQ(state.usedBlockCount, 1u) << chip;
    }
    // A ROM-code chip (11ED among them) does need it.
    SetChip("11ED");
    LoadRaw(0x10000);
    EXPECT_THROW(MergeImage(withoutRomKey), SettingsError);
}

// ROM-key chips (series 1FDx) with RomKey on.
class RomKeyTest : public ImageTest {
protected:
    RomKeyTest() {
        SetChip("1FD1");
        settings.WriteInt("RomKey", 1);
        settings.WriteText("LastFilePath", "/images/rom.bin");
        settings.WriteText("LastFileName", "rom.bin");
        pathText = "rom.bin";
        pathHint = "/images/rom.bin";
    }
    void ExpectForgotten() {
        EXPECT_EQ(settings.ReadText("LastFilePath"), "");
        EXPECT_EQ(settings.ReadText("LastFileName"), "");
        EXPECT_EQ(pathText, "");
        EXPECT_EQ(pathHint, "");
        EXPECT_TRUE(state.imageBuffer.empty());
        EXPECT_EQ(state.usedBlockCount, 0u);
        EXPECT_FALSE(state.operationResult);
    }
};

struct RomCodeRow {
    uint32_t romCodeStart;
    uint8_t sizeCode;
    const char* line;
    int32_t blocks;
};

class RomCodeTableTest : public RomKeyTest, public ::testing::WithParamInterface<RomCodeRow> {};

TEST_P(RomCodeTableTest, PlacesTheRomCodeInAnErasedEFlashImage) {
    const RomCodeRow row = GetParam();
    eflash.romCodeStart = row.romCodeStart;
    identity.eFlashSizeCode = row.sizeCode;
    // An earlier merge left a half block at a high start block: it must not linger.
    state.halfLastBlock = true;
    state.startBlock = 2;
    LoadRaw(4096);
    auto context = Context();
    EXPECT_EQ(MergeImage(context), StepResult::Ok);
    EXPECT_THAT(panel.mainLog, ElementsAre(row.line));
    EXPECT_EQ(flashblock, row.blocks);
    EXPECT_EQ(state.usedBlockCount, static_cast<uint32_t>(row.blocks));
    ASSERT_EQ(state.imageBuffer.size(), static_cast<std::size_t>(row.blocks) * kBlockSize);
    const uint32_t start = row.romCodeStart == 0x1E000 ? 0x1E000 : 0xE000;
    ExpectImage(state.imageBuffer, start, 4096, 0, 0);  // 0xFF after the short file too
    EXPECT_FALSE(state.halfLastBlock);
    EXPECT_EQ(state.startBlock, 0u);
    EXPECT_THAT(FlashReads(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RomCodeTableTest,
    ::testing::Values(
        RomCodeRow{0xE000, 0,
                   "Rom Code Start Address is 0xe000 and size is 8k. The other 56K will be "
                   "cleared.",
                   1},
        RomCodeRow{0x1E000, 2,
                   "Rom Code Start Address is 0x1e000 and size is 8k. The other 184K will be "
                   "cleared.",
                   3},
        RomCodeRow{0x1E000, 1,
                   "Rom Code Start Address is 0x1e000 and size is 8k. The other 120K will be "
                   "cleared.",
                   2},
        RomCodeRow{0, 0,  // not identified yet: the 0xE000 row
                   "Rom Code Start Address is 0xe000 and size is 8k. The other 56K will be "
                   "cleared.",
                   1}));

TEST_F(RomKeyTest, AnUnidentifiedPartIsRefusedWhileTheConnectionCheckIsPaused) {
    settings.WriteInt("RomKey", 2);
    bool pausedDuringMessage = false;
    panel.onMessage = [&](const RecordingPanel::Box&) { pausedDuringMessage = !timer.IsEnabled(); };
    LoadRaw(0x10000);
    auto context = Context();
    EXPECT_EQ(MergeImage(context), StepResult::Failed);
    EXPECT_TRUE(pausedDuringMessage);
    EXPECT_TRUE(timer.IsEnabled());
    ExpectForgotten();
}

TEST_F(RomKeyTest, AFileAbove8KIsRejectedAndForgotten) {
    eflash.romCodeStart = 0xE000;
    LoadRaw(16 * 1024);
    auto context = Context();
    EXPECT_EQ(MergeImage(context), StepResult::Failed);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "The Rom Code Size can not more 8K.");
    ExpectForgotten();
}

struct CombinedCase {
    uint32_t romCodeStart;
    uint8_t sizeCode;
    int32_t designatedKB;
    std::size_t size;
    uint32_t blocks;   // 0: rejected
    const char* text;  // the line when accepted, the message when rejected; "" for none
};

class CombinedImageTest : public RomKeyTest, public ::testing::WithParamInterface<CombinedCase> {};

TEST_P(CombinedImageTest, ChecksTheSizeAgainstTheEFlash) {
    const CombinedCase c = GetParam();
    settings.WriteInt("RomKey", 2);
    settings.WriteInt("DesignatedEflashSizeKB", c.designatedKB);
    eflash.romCodeStart = c.romCodeStart;
    identity.eFlashSizeCode = c.sizeCode;
    LoadRaw(c.size);
    auto context = Context();
    const bool kept = IsOk(MergeImage(context));
    EXPECT_EQ(kept, c.blocks != 0);
    if (kept) {
        EXPECT_EQ(state.usedBlockCount, c.blocks);
        EXPECT_EQ(state.imageBuffer, FileBytes(c.size));
        EXPECT_TRUE(panel.boxes.empty());
        if (*c.text != '\0') {
            EXPECT_THAT(panel.mainLog, ElementsAre(c.text));
        } else {
            EXPECT_THAT(panel.mainLog, IsEmpty());
        }
    } else {
        ASSERT_EQ(panel.boxes.size(), 1u);  // no "8K" message with RomKey 2
        EXPECT_EQ(panel.boxes[0].text, c.text);
        ExpectForgotten();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CombinedImageTest,
    ::testing::Values(
        CombinedCase{0x1E000, 2, 0, 0x30000, 3,
                     "Rom Code Start Address is 0x1e000 and the tatol size including main code "
                     "is 192k."},
        CombinedCase{0x1E000, 0, 192, 0x30000, 3, ""},
        CombinedCase{0x1E000, 1, 0, 0x20000, 2,
                     "Rom Code Start Address is 0x1e000 and the tatol size including main code "
                     "is 128k."},
        CombinedCase{0xE000, 0, 0, 0x10000, 1,
                     "Rom Code Start Address is 0xe000 and the tatol size including main code "
                     "is 64k."},
        CombinedCase{0x1E000, 1, 0, 0x30000, 0, "The Rom+Main Code Size must be 128K."},
        CombinedCase{0x1E000, 2, 0, 0x20000, 0, "The Rom+Main Code Size must be 192K."},
        CombinedCase{0xE000, 0, 0, 0x20000, 0, "The Rom+Main Code Size must be 64K."},
        CombinedCase{0, 0, 0, 0x20000, 0, "Plese press the 'Internal-Flash' button first."}));

}  // namespace
}  // namespace quillon::test
