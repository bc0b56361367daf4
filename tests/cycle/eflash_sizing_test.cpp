// The eFlash sizing run and the Internal-Flash button's second pass: blocks (stored and in
// memory), byte sizes, the ROM-code start and the log line of each rule.
#include <gmock/gmock.h>

#include "tests/cycle/target_bench.h"

namespace quillon {
namespace {

using test::BenchScenario;
using test::TargetBench;
using ::testing::ElementsAre;

constexpr const char* kIdLine = "Chip ID=line before sizing";

// A bench whose identity is set by hand; the sizing reads nothing from the board unless a
// rule says so.
class SizingTest : public ::testing::Test {
protected:
    void Chip(const std::string& code, const std::string& version, uint8_t config = 0,
              uint8_t sizeCode = 0) {
        bench.identity.chipIdStrings[kSlotChipCode] = code;
        bench.identity.chipIdStrings[kSlotChipVersion] = version;
        bench.identity.flashConfigByte = config;
        bench.identity.eFlashSizeCode = sizeCode;
    }
    // Runs the sizing after a line of its own, and returns the log lines after that line.
    std::vector<std::string> Size(bool byVersion = false) {
        bench.panel.mainLog.clear();
        bench.log.Append(kIdLine);
        if (byVersion) {
            bench.sizing.SizeByVersion();
        } else {
            bench.sizing.Size();
        }
        std::vector<std::string> lines(bench.panel.mainLog.begin(), bench.panel.mainLog.end());
        if (!lines.empty() && lines.front() == kIdLine) {
            lines.erase(lines.begin());
        }
        return lines;
    }
    void ExpectBlocks(int32_t blocks) {
        EXPECT_EQ(bench.settings.ReadInt("Flashblock"), blocks);
        EXPECT_EQ(bench.cache.flashblock, blocks);
    }

    TargetBench bench{BenchScenario("default"), 1};
};

TEST_F(SizingTest, ConfigByteSizesEFlashOnlyChipsAndTheirSeries) {
    struct Row {
        const char* code;
        uint8_t config;
        int32_t blocks;
        const char* line;
        uint32_t bytes;
    };
    for (const Row& r : {Row{"4C8A", 0x01, 2, "EFlash Size : 128 KB", 0x20000},
                         Row{"4CE1", 0x06, 1, "EFlash Size : 32 KB", 0x8000},
                         Row{"4C40", 0xFD, 1, "EFlash Size : 56 KB", 0xE000},
                         Row{"4CED", 0x07, 1, "EFlash Size : 64 KB", 0x10000},
                         Row{"1FD3", 0x01, 2, "EFlash Size : 128 KB", 0x20000},
                         Row{"1F62", 0x06, 1, "EFlash Size : 32 KB", 0x8000},
                         Row{"91F0", 0x00, 1, "EFlash Size : 64 KB", 0x10000},
                         Row{"D171", 0x05, 1, "EFlash Size : 56 KB", 0xE000}}) {
        SCOPED_TRACE(r.code);
        Chip(r.code, "00", r.config);
        bench.eflash.romCodeStart = EFlashFacts::kRomCodeStartHigh;
        EXPECT_THAT(Size(), ElementsAre(r.line));
        ExpectBlocks(r.blocks);
        EXPECT_EQ(bench.eflash.eFlashSize, r.bytes);
        EXPECT_EQ(bench.eflash.romCodeStart, EFlashFacts::kRomCodeStartLow);  // reset each run
    }
}

TEST_F(SizingTest, RomCodeChipsAndBankSizeChips) {
    Chip("11D3", "00", 0x18);  // low nibble 8
    EXPECT_THAT(Size(), ElementsAre("EFlash Size : 120 KB"));
    ExpectBlocks(2);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x1E000u);
    EXPECT_EQ(bench.eflash.romCodeStart, 0x1E000u);
    Chip("1140", "00", 0x01);
    EXPECT_THAT(Size(), ElementsAre("EFlash Size : 56 KB"));
    ExpectBlocks(1);
    EXPECT_EQ(bench.eflash.romCodeStart, 0xE000u);

    struct Row {
        uint8_t code;
        int32_t blocks;
        const char* line;
        uint32_t bytes;
        uint32_t romStart;
    };
    for (const Row& r : {Row{0, 1, "EFlash Size : 56 KB", 0xE000, 0xE000},
                         Row{1, 2, "EFlash Size : 120 KB", 0x1E000, 0x1E000},
                         Row{2, 3, "EFlash Size : 184(+8) KB", 0x30000, 0x1E000},
                         Row{3, 2, "EFlash Size : 120 KB", 0x1E000, 0x1E000}}) {
        SCOPED_TRACE(r.code);
        Chip("1194", "00", 0, r.code);
        EXPECT_THAT(Size(), ElementsAre(r.line));
        ExpectBlocks(r.blocks);
        EXPECT_EQ(bench.eflash.eFlashSize, r.bytes);
        EXPECT_EQ(bench.eflash.romCodeStart, r.romStart);
    }
}

TEST_F(SizingTest, 11EDAnd1142ReplaceTheBankSizeLine) {
    Chip("11ED", "00", 0, 0);
    EXPECT_THAT(Size(), ElementsAre("EFlash Size : 184(+8) KB"));
    EXPECT_EQ(bench.panel.mainLog.size(), 2u);  // the chip line stays
    ExpectBlocks(3);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x30000u);
    EXPECT_EQ(bench.eflash.romCodeStart, 0x1E000u);

    Chip("1142", "00", 0, 0);
    EXPECT_THAT(Size(), ElementsAre("EFlash Size : 120 KB"));
    ExpectBlocks(2);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x1E000u);
    EXPECT_EQ(bench.eflash.romCodeStart, 0x1E000u);
}

TEST_F(SizingTest, VersionByteSizesPdChips) {
    struct Row {
        const char* code;
        const char* version;
        int32_t blocks;
        uint16_t kb;
    };
    for (const Row& r :
         {Row{"D108", "00", 1, 64}, Row{"D108", "01", 2, 128}, Row{"D1C5", "80", 1, 64},
          Row{"D1C5", "7F", 2, 128}, Row{"0232", "80", 2, 128}, Row{"02D1", "00", 1, 64},
          Row{"0275", "81", 2, 128}}) {
        SCOPED_TRACE(std::string(r.code) + " " + r.version);
        Chip(r.code, r.version);
        EXPECT_THAT(Size(), ElementsAre("EFlash Size : " + std::to_string(r.kb) + " KB"));
        ExpectBlocks(r.blocks);
        EXPECT_EQ(bench.eflash.eFlashSizeKB, r.kb);
        EXPECT_EQ(bench.eflash.eFlashSize, r.kb * 1024u);
    }
}

TEST(SizingPd, D110ReadsItsSizeRegisterOverI2c) {
    TargetBench bench(BenchScenario("pd-d110"), 4);
    bench.cycle.Tick();  // identifies the chip
    ASSERT_EQ(bench.identity.ChipCode(), "D110");
    bench.Transfers();
    bench.sizing.Size();
    EXPECT_THAT(bench.Transfers(), ElementsAre("FC 16 FFC3"));
    EXPECT_EQ(bench.panel.mainLog.back(), "EFlash Size : 256 KB");
    EXPECT_EQ(bench.cache.flashblock, 4);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x40000u);
    EXPECT_EQ(bench.eflash.eFlashSizeKB, 256);
}

TEST(SizingPd, SizeCode3ChangesNothing) {
    auto scenario = BenchScenario("pd-d110");
    scenario.pd->registers[0xFFC3] = 0x0C;
    TargetBench bench(scenario, 4);
    bench.cycle.Tick();
    bench.eflash.eFlashSize = 0x1234;
    const auto lines = bench.panel.mainLog.size();
    bench.sizing.Size();
    EXPECT_EQ(bench.panel.mainLog.size(), lines);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x1234u);
}

TEST_F(SizingTest, DesignatedSizeReplacesTheLastLineAndSetsTheUsedBlocks) {
    bench.settings.WriteInt("RomKey", 2);
    bench.settings.WriteInt("DesignatedEflashSizeKB", 128);
    Chip("1194", "00", 0, 0);
    EXPECT_THAT(Size(), ElementsAre("Designated EFlash Size : 128 KB"));
    ExpectBlocks(2);
    EXPECT_EQ(bench.usedBlockCount, 2u);
    EXPECT_EQ(bench.eflash.eFlashSize, 0x20000u);
    EXPECT_EQ(bench.eflash.romCodeStart, 0x1E000u);

    // No sizing line: whatever line was last is replaced.
    Chip("8458", "01");
    bench.settings.WriteInt("DesignatedEflashSizeKB", 192);
    EXPECT_THAT(bench.panel.mainLog.size(), 2u);
    bench.panel.mainLog.clear();
    bench.log.Append(kIdLine);
    bench.sizing.Size();
    EXPECT_THAT(bench.panel.mainLog, ElementsAre("Designated EFlash Size : 192 KB"));
    EXPECT_EQ(bench.usedBlockCount, 3u);

    // An image placed beyond the designated blocks is named in the log.
    bench.settings.WriteInt("DesignatedEflashSizeKB", 64);
    bench.startBlock = 2;
    EXPECT_THAT(Size(), ElementsAre("Designated EFlash Size : 64 KB",
                                    "Use Block=1 designated ; the image starts at block 2 and "
                                    "is not reached"));
    EXPECT_EQ(bench.eflash.romCodeStart, 0xE000u);
}

TEST_F(SizingTest, DesignatedSizeNeedsRomKeyExactly2AndAKnownSize) {
    Chip("8458", "01");
    bench.usedBlockCount = 7;
    for (const auto& [romKey, kb] : {std::pair{1, 128}, std::pair{2, 96}, std::pair{0, 64}}) {
        bench.settings.WriteInt("RomKey", romKey);
        bench.settings.WriteInt("DesignatedEflashSizeKB", kb);
        EXPECT_THAT(Size(), ElementsAre());
        EXPECT_EQ(bench.usedBlockCount, 7u);
        ExpectBlocks(64);  // untouched
    }
}

TEST_F(SizingTest, WriteCommandFixAndNoRuleKeepsThePreviousSizes) {
    bench.cache.pageWriteSize = 1;
    bench.cache.commandModeWrite = 0;
    Chip("1BD2", "00");
    Size();
    EXPECT_EQ(bench.cache.commandModeWrite, 3);
    EXPECT_FALSE(bench.settings.Exists("CommandMode_Write"));  // in memory only

    bench.cache.commandModeWrite = 0;
    Chip("1BD2", "01");
    Size();
    EXPECT_EQ(bench.cache.commandModeWrite, 0);
    bench.cache.pageWriteSize = 256;
    Chip("0219", "00");
    Size();
    EXPECT_EQ(bench.cache.commandModeWrite, 0);

    bench.eflash.eFlashSize = 0x4000;
    bench.eflash.eFlashSizeKB = 16;
    Chip("8458", "01");
    EXPECT_THAT(Size(), ElementsAre());
    EXPECT_EQ(bench.eflash.eFlashSize, 0x4000u);
    EXPECT_EQ(bench.eflash.eFlashSizeKB, 16);
}

TEST(SizingDump, SixteenByteEFlashIdOnlyForTheInternalFlashOverTheDebugger) {
    auto scenario = BenchScenario("ec-eflash-only");
    scenario.ec->eflashId16 = {0xC8, 0x60, 0x14, 0x00, 0x01, 0x02, 0x03, 0x04,
                               0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0xAB};
    TargetBench bench(scenario, 1);
    bench.settings.WriteInt("ReadEFlashID16Bytes", 1);
    bench.identity.chipIdStrings[kSlotChipCode] = "4C8A";
    bench.sizing.Size();
    EXPECT_THAT(bench.Transfers(), ElementsAre("F2 01 10"));
    EXPECT_EQ(bench.panel.mainLog.back(), "C8 60 14 00 01 02 03 04 05 06 07 08 09 0A 0B AB ");

    bench.eflash.internalFlashSelected = false;
    bench.sizing.Size();
    bench.eflash.internalFlashSelected = true;
    bench.SetMode(3);
    bench.sizing.Size();
    EXPECT_THAT(bench.Transfers(), ElementsAre());
}

TEST(DisplayName, SuffixesOfTheNamedChipsAndTheLargeFlashFamilies) {
    for (const char* code : {"9258", "92D2", "92CF", "8D58", "8DD2", "8DCF", "8D1B", "8D39"}) {
        TargetIdentity id;
        id.chipIdStrings[0] = code;
        EXPECT_EQ(DisplayNameSuffix(id.Traits(), code), std::string(" --> KQ") + code);
    }
    for (const char* code : {"5D58", "7801", "83AA", "D300", "CB12"}) {
        TargetIdentity id;
        id.chipIdStrings[0] = code;
        EXPECT_EQ(DisplayNameSuffix(id.Traits(), code), std::string(" --> KQ8") + code);
    }
    for (const char* code : {"9259", "8D00", "8458", "D108"}) {
        TargetIdentity id;
        id.chipIdStrings[0] = code;
        EXPECT_EQ(DisplayNameSuffix(id.Traits(), code), "");
    }
}

TEST_F(SizingTest, SecondPassByVersionByte) {
    struct Row {
        const char* code;
        const char* version;
        uint8_t config;
        int32_t blocks;  // -1: nothing changes
        const char* line;
        uint32_t bytes;  // 0: the byte size is not touched
    };
    const Row rows[] = {
        {"777E", "23", 0, 3, "EFlash Size : 192 KB", 0},  // first table by V AND 0xF0
        {"7712", "23", 0, 2, "EFlash Size : 128 KB", 0},  // second table by V AND 0xC0
        {"7712", "C0", 0, 1, "EFlash Size : 64 KB", 0},
        {"7712", "40", 0, 3, "EFlash Size : 192 KB", 0},
        {"7712", "80", 0, 4, "EFlash Size : 256 KB", 0},
        {"9134", "43", 0, 4, "EFlash Size : 256 KB", 0},  // a listed 914x member
        {"91E9", "63", 0, 6, "EFlash Size : 384 KB", 0},
        {"9193", "83", 0, 8, "EFlash Size : 512 KB", 0},
        {"917E", "03", 0, 2, "EFlash Size : 128 KB", 0},
        {"917E", "A3", 0, -1, "", 0},                     // first table, no row
        {"FE51", "02", 0, 2, "EFlash Size : 128 KB", 0},  // V AND 0x0F below 3
        {"5D58", "80", 0, 8, "EFlash Size : 512 KB", 0},
        {"7801", "40", 0, 4, "EFlash Size : 256 KB", 0},
        {"83AA", "A3", 0, 0, "EFlash Size : 0 KB", 0},
        {"D301", "C0", 0, 16, "EFlash Size : 1024 KB", 0},
        {"CB01", "10", 0, -1, "", 0},
        {"32C0", "00", 0, 5, "EFlash Size : 288 KB", 0x48000},
        {"3258", "00", 0, 3, "EFlash Size : 160 KB", 0x28000},
        {"1F52", "00", 0x02, 4, "EFlash Size : 256 KB", 0x40000},
        {"115E", "00", 0x01, 2, "EFlash Size : 128 KB", 0x20000},
        {"3271", "00", 0x03, 3, "EFlash Size : 192 KB", 0x30000},
        {"1B25", "07", 0x03, 3, "EFlash Size : 192 KB", 0x30000},
        {"9201", "00", 0x00, -1, "", 0},
        {"8D58", "00", 0x01, 2, "EFlash Size : 128 KB", 0x20000},
        {"1B25", "08", 0x0F, 16, "EFlash Size : 1 MB", 0x100000},
        {"1BD2", "00", 0x0E, 8, "EFlash Size : 512 KB", 0x80000},
        {"1B5A", "00", 0x02, 4, "EFlash Size : 256 KB", 0x40000},
        {"0245", "00", 0x31, 2, "EFlash Size : 128 KB", 0x20000},
        {"021C", "00", 0x05, -1, "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.code) + " " + r.version);
        Chip(r.code, r.version, r.config);
        bench.settings.WriteInt("Flashblock", 99);
        bench.cache.flashblock = 99;
        bench.eflash.eFlashSize = 0x5555;
        const auto lines = Size(/*byVersion=*/true);
        if (r.blocks < 0) {
            EXPECT_THAT(lines, ElementsAre());
            ExpectBlocks(99);
        } else {
            EXPECT_THAT(lines, ElementsAre(r.line));
            ExpectBlocks(r.blocks);
        }
        EXPECT_EQ(bench.eflash.eFlashSize, r.bytes == 0 ? 0x5555u : r.bytes);
    }
}

}  // namespace
}  // namespace quillon
