#include "config/flash_type.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/flash_type_layout.h"
#include "config/memory_settings_store.h"
#include "tests/flashtype/write_order_store.h"

namespace quillon {
namespace {

struct IntegerCase {
    const char* text;
    std::optional<int32_t> expected;
};

TEST(IniIntegerTest, DecimalHexAndDollarForms) {
    const IntegerCase cases[] = {
        {"0", 0},
        {"256", 256},
        {"-1", -1},
        {"+7", 7},
        {"0x10", 16},
        {"0X1f", 31},
        {"$80", 128},
        {"$ff", 255},
        {"-$10", -16},
        {"0xFFFFFFFF", -1},          // 32 bits of hex wrap like a register
        {"2147483647", 2147483647},  // largest decimal
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"0x100000000", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"12a", std::nullopt},
        {"0x1G", std::nullopt},
        {"1 2", std::nullopt},
        {"1.5", std::nullopt},
        {"0b101", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIniInteger(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(IniIntegerTest, ConversionErrorNamesTheValue) {
    try {
        ConvertIniInteger("0x1G");
        FAIL() << "no error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'0x1G' is not a valid integer value");
    }
}

TEST(SectorLayoutTest, GroupsFromAddressZeroUpwards) {
    const auto runs = ParseSectorLayout("04,02,08,01,16,01,32,01,64,31,");
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 5u);
    EXPECT_EQ((*runs)[4].sizeKb, 64);
    EXPECT_EQ((*runs)[4].count, 31);
    EXPECT_EQ(LayoutSizeKb(*runs), 2048);
    EXPECT_TRUE(ParseSectorLayout("0")->empty());
    for (const char* bad : {"", "00", "04,16", "04,16,0", "04;16,", "4,016,", "00,10,", "04,00,",
                            "0x,10,", "04,16,32,03"}) {
        EXPECT_FALSE(ParseSectorLayout(bad)) << bad;
    }
}

SettingsCache Part(int32_t readId, int32_t read, int32_t erase, int32_t write, int32_t page,
                   int32_t eraseType, int32_t sector, int32_t blocks, const std::string& layout) {
    SettingsCache type;
    type.commandModeReadId = readId;
    type.commandModeRead = read;
    type.commandModeErase = erase;
    type.commandModeWrite = write;
    type.pageWriteSize = page;
    type.eraseType = eraseType;
    type.sectorSize = sector;
    type.flashblock = blocks;
    type.sectorOffset = layout;
    return type;
}

TEST(FlashTypeStoreTest, StoresInTheOrderOfTheTypePageAndRestoresWithSectorSize) {
    testing::WriteOrderStore store;
    StoreFlashType(store, "Winbond", "W25Q64FV", Part(1, 2, 3, 4, 256, 2, 4, 128, "04,16,"));
    EXPECT_EQ(store.writes,
              (std::vector<std::string>{"LastFlashID1", "LastFlashID2", "CommandMode_ReadID",
                                        "CommandMode_Read", "CommandMode_Erase",
                                        "CommandMode_Write", "PageWriteSize", "EraseType",
                                        "SectorSize", "Flashblock", "SectorOffset"}));
    EXPECT_EQ(store.inner.ReadText("LastFlashID2"), "W25Q64FV");

    SettingsCache shown = Part(9, 9, 9, 9, 9, 9, 9, 9, "9");
    shown.pdI2cAddress = 0x42;
    RestoreFlashType(store, shown);
    EXPECT_EQ(shown.commandModeReadId, 1);
    EXPECT_EQ(shown.commandModeRead, 2);
    EXPECT_EQ(shown.commandModeErase, 3);
    EXPECT_EQ(shown.commandModeWrite, 4);
    EXPECT_EQ(shown.pageWriteSize, 256);
    EXPECT_EQ(shown.eraseType, 2);
    EXPECT_EQ(shown.sectorSize, 4);
    EXPECT_EQ(shown.flashblock, 128);
    EXPECT_EQ(shown.sectorOffset, "04,16,");
    EXPECT_EQ(shown.pdI2cAddress, 0x42);  // other cached settings are not the flash type's
}

TEST(FlashTypeStoreTest, RestoreStopsAtAMissingValueWithEarlierFieldsRestored) {
    MemorySettingsStore store;
    store.WriteInt("CommandMode_ReadID", 1);
    store.WriteInt("CommandMode_Read", 2);
    SettingsCache shown;
    shown.commandModeErase = 77;
    shown.sectorSize = 4;
    EXPECT_THROW(RestoreFlashType(store, shown), SettingsError);
    EXPECT_EQ(shown.commandModeReadId, 1);
    EXPECT_EQ(shown.commandModeRead, 2);
    EXPECT_EQ(shown.commandModeErase, 77);
    EXPECT_EQ(shown.sectorSize, 4);
}

}  // namespace
}  // namespace quillon
