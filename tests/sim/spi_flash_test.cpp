#include "sim/spi_flash.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/command_modes.h"

namespace quillon::sim {
namespace {

SpiFlash Part(const char* name) {
    const SpiPartInfo* info = FindSpiPart(name);
    EXPECT_NE(info, nullptr) << name;
    return SpiFlash(*info);
}

std::vector<uint8_t> Bytes(std::size_t count, uint8_t value) {
    return std::vector<uint8_t>(count, value);
}

TEST(SpiPartTable, HoldsEveryPartOfTheFactsFileWithConsistentSizes) {
    EXPECT_EQ(SpiPartTable().size(), 116u);
    for (const SpiPartInfo& part : SpiPartTable()) {
        EXPECT_GT(part.size, 0u) << part.name;
        EXPECT_EQ(part.size & (part.size - 1), 0u) << part.name << " size not a power of two";
        EXPECT_TRUE(part.erase20 || part.eraseD7 || part.erase52 || part.eraseD8) << part.name;
    }
    EXPECT_NE(FindSpiPart("w25q32fv"), nullptr);  // names match without regard to case
    EXPECT_EQ(FindSpiPart("NoSuchPart"), nullptr);
}

TEST(SpiFlashProgram, OnlyClearsBitsSoAMissingEraseShows) {
    SpiFlash flash = Part("W25Q32FV");
    ASSERT_TRUE(flash.Program(modes::kWritePage, 0, Bytes(256, 0x0F), 256));
    ASSERT_TRUE(flash.Program(modes::kWritePage, 0, Bytes(256, 0xF5), 256));
    EXPECT_EQ(flash.Memory().Bytes()[0], 0x05);
    ASSERT_TRUE(flash.Erase(modes::kEraseStandard, 1, 0x0F00));  // sector 0 by its last page
    EXPECT_EQ(flash.Memory().Bytes()[0], 0xFF);
}

TEST(SpiFlashProgram, AddressWrapsInsideThePartsPage) {
    SpiFlash flash = Part("MX25L5121E");  // 32-byte program page
    std::vector<uint8_t> data(64);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(0x80 | i);
    }
    // One 64-byte command: the second half wraps onto the first 32 bytes.
    ASSERT_TRUE(flash.Program(modes::kWritePage, 0, data, 64));
    EXPECT_EQ(flash.Memory().Bytes()[0], static_cast<uint8_t>(0x80 & 0xA0));
    EXPECT_EQ(flash.Memory().Bytes()[32], 0xFF);
    // Sent in 32-byte commands the same data lands where it belongs.
    SpiFlash fresh = Part("MX25L5121E");
    ASSERT_TRUE(fresh.Program(modes::kWritePage, 0, data, 32));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), fresh.Memory().Bytes().begin()));
}

TEST(SpiFlashProgram, ByteProgramPartsTakeOneByteOfAPageCommand) {
    SpiFlash flash = Part("SST25VF040B");
    std::vector<uint8_t> status(1);
    ASSERT_TRUE(flash.WriteStatus(modes::kStatusWriteOne, 0x00, 0, status));  // unprotect
    ASSERT_TRUE(flash.Program(modes::kWritePage, 0, Bytes(4, 0x12), 256));
    EXPECT_EQ(flash.Memory().Bytes()[0], 0x12);
    EXPECT_EQ(flash.Memory().Bytes()[1], 0xFF);
    ASSERT_TRUE(flash.Program(modes::kWriteAaiWord, 0x100, Bytes(4, 0x34), 0));
    EXPECT_EQ(flash.Memory().Bytes()[0x103], 0x34);
}

TEST(SpiFlashProgram, AnOpcodeThePartDoesNotKnowChangesNothingButSucceeds) {
    SpiFlash flash = Part("W25Q32FV");
    EXPECT_TRUE(flash.Program(modes::kWriteAaiWord, 0, Bytes(16, 0x00), 0));
    EXPECT_EQ(flash.Memory().Bytes()[0], 0xFF);
}

TEST(SpiFlashProgram, AnUnknownWriteModeIsRefused) {
    SpiFlash flash = Part("W25Q32FV");
    EXPECT_FALSE(flash.Program(0x42, 0, Bytes(16, 0x00), 256));
    EXPECT_FALSE(flash.Program(modes::kWriteEFlash, 0, Bytes(16, 0x00), 256));  // eFlash only
}

TEST(SpiFlashProtection, PowerUpBlockProtectionIgnoresEraseAndProgramUntilCleared) {
    SpiFlash flash = Part("SST25VF016B");
    EXPECT_TRUE(flash.WriteProtected());
    ASSERT_TRUE(flash.Program(modes::kWriteByte, 0, Bytes(1, 0x00), 0));
    EXPECT_EQ(flash.Memory().Bytes()[0], 0xFF);
    std::vector<uint8_t> reply(2);
    ASSERT_TRUE(flash.WriteStatus(modes::kStatusWriteTwo, 0x00, 0x00, reply));
    EXPECT_EQ(reply[0], 0x00);
    ASSERT_TRUE(flash.Program(modes::kWriteByte, 0, Bytes(1, 0x00), 0));
    EXPECT_EQ(flash.Memory().Bytes()[0], 0x00);
    flash.PowerUp();
    EXPECT_TRUE(flash.WriteProtected());
}

TEST(SpiFlashErase, SectorBlockAndChipEraseClearTheirUnitOnly) {
    SpiFlash flash = Part("W25Q32FV");
    std::fill(flash.Memory().Bytes().begin(), flash.Memory().Bytes().end(), 0x00);
    ASSERT_TRUE(flash.Erase(modes::kEraseStandard, 1, 0x10000 + 31 * 256));  // 2nd 4K sector
    EXPECT_EQ(flash.Memory().Bytes()[0x10FFF], 0x00);
    EXPECT_EQ(flash.Memory().Bytes()[0x11000], 0xFF);
    EXPECT_EQ(flash.Memory().Bytes()[0x11FFF], 0xFF);
    EXPECT_EQ(flash.Memory().Bytes()[0x12000], 0x00);
    ASSERT_TRUE(flash.Erase(modes::kEraseStandard, 2, 0x30000 + 255 * 256));
    EXPECT_EQ(flash.Memory().Bytes()[0x30000], 0xFF);
    EXPECT_EQ(flash.Memory().Bytes()[0x3FFFF], 0xFF);
    EXPECT_EQ(flash.Memory().Bytes()[0x40000], 0x00);
    ASSERT_TRUE(flash.Erase(modes::kEraseStandard, 0, 0));
    EXPECT_EQ(flash.Memory().Bytes()[0x3FFFFF], 0xFF);
}

TEST(SpiFlashErase, PartsFollowTheirOwnEraseUnits) {
    SpiFlash noSmallSector = Part("M25P80");  // no 20h: a "sector" erase does nothing
    noSmallSector.Memory().Bytes()[0] = 0x00;
    ASSERT_TRUE(noSmallSector.Erase(modes::kEraseStandard, 1, 15 * 256));
    EXPECT_EQ(noSmallSector.Memory().Bytes()[0], 0x00);
    ASSERT_TRUE(noSmallSector.Erase(modes::kEraseLarge, 1, 15 * 256));
    EXPECT_EQ(noSmallSector.Memory().Bytes()[0], 0xFF);

    SpiFlash bottomBoot = Part("EN25B16");  // D8h follows the sector map: 4K first
    std::fill(bottomBoot.Memory().Bytes().begin(), bottomBoot.Memory().Bytes().begin() + 0x10000,
              0x00);
    ASSERT_TRUE(bottomBoot.Erase(modes::kEraseStandard, 2, 0));
    EXPECT_EQ(bottomBoot.Memory().Bytes()[0x0FFF], 0xFF);
    EXPECT_EQ(bottomBoot.Memory().Bytes()[0x1000], 0x00);

    SpiFlash atmel = Part("AT25F512A");  // chip erase is 62h
    atmel.Memory().Bytes()[5] = 0;
    ASSERT_TRUE(atmel.Erase(modes::kEraseStandard, 0, 0));
    EXPECT_EQ(atmel.Memory().Bytes()[5], 0x00);
    ASSERT_TRUE(atmel.Erase(modes::kEraseAtmel, 0, 0));
    EXPECT_EQ(atmel.Memory().Bytes()[5], 0xFF);
}

TEST(SpiFlashErase, AnUnknownModeOrTypeIsRefused) {
    SpiFlash flash = Part("W25Q32FV");
    EXPECT_FALSE(flash.Erase(0x42, 1, 0));
    EXPECT_FALSE(flash.Erase(modes::kEraseStandard, 3, 0));
}

TEST(SpiFlashId, JedecAndOlderIdsInTheFiveByteReply) {
    std::vector<uint8_t> reply(5);
    SpiFlash winbond = Part("W25Q64FV");
    ASSERT_TRUE(winbond.ReadId(modes::kIdJedecAndRems, reply));
    EXPECT_EQ(reply, (std::vector<uint8_t>{0xEF, 0x40, 0x17, 0xEF, 0x16}));

    SpiFlash sst = Part("SST25VF512A");  // no RDID: FF FF FF, then REMS
    ASSERT_TRUE(sst.ReadId(modes::kIdJedecAndRems, reply));
    EXPECT_EQ(reply, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xBF, 0x48}));

    SpiFlash atmel = Part("AT25F1024A");  // product ID only through 15h
    ASSERT_TRUE(atmel.ReadId(modes::kIdJedecAndRems, reply));
    EXPECT_EQ(reply[3], 0xFF);
    ASSERT_TRUE(atmel.ReadId(modes::kIdJedecAndAtmel, reply));
    EXPECT_EQ(reply[3], 0x1F);
    EXPECT_EQ(reply[4], 0x60);
    EXPECT_FALSE(atmel.ReadId(0x33, reply));
}

TEST(SpiFlashRead, FastReadOnAPartWithoutItFloatsHighAndTheAddressWraps) {
    SpiFlash flash = Part("SST25VF020");  // READ 03h only, 256 KiB
    flash.Memory().Bytes()[0] = 0x5A;
    std::vector<uint8_t> out(16);
    ASSERT_TRUE(flash.Read(modes::kReadFast, 0, out));
    EXPECT_EQ(out[0], 0xFF);
    ASSERT_TRUE(flash.Read(modes::kReadNormal, 0x40000, out));  // one past the end: wraps to 0
    EXPECT_EQ(out[0], 0x5A);
    EXPECT_FALSE(flash.Read(0x44, 0, out));
}

TEST(EmbeddedFlash, ErasesItsOwnSectorsAndRefusesRangesOutsideIt) {
    SpiFlash eflash = SpiFlash::Embedded(0x20000, 1024, {0xC8, 0x60, 0x14, 0xC8, 0x13}, {});
    std::fill(eflash.Memory().Bytes().begin(), eflash.Memory().Bytes().end(), 0x00);
    // The last-KiB erase: block 1, page byte 0xFC.
    ASSERT_TRUE(eflash.Erase(modes::kEraseStandard, 1, 0x10000 + 0xFC * 256));
    EXPECT_EQ(eflash.Memory().Bytes()[0x1FBFF], 0x00);
    EXPECT_EQ(eflash.Memory().Bytes()[0x1FC00], 0xFF);
    std::vector<uint8_t> block(0x10000);
    EXPECT_FALSE(eflash.Read(modes::kReadNormal, 0x20000, block));
    // A block that runs past the end reads its missing tail as erased.
    eflash.Memory().Bytes()[0x1FFFF] = 0x12;
    ASSERT_TRUE(eflash.Read(modes::kReadNormal, 0x18000, block));
    EXPECT_EQ(block[0x7FFF], 0x12);
    EXPECT_EQ(block[0x8000], 0xFF);
    EXPECT_FALSE(eflash.Program(modes::kWritePage, 0x20000, block, 256));
    EXPECT_TRUE(eflash.Program(modes::kWriteEFlash, 0x10000, block, 256));
}

}  // namespace
}  // namespace quillon::sim
