#include "board/block_checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

TEST(BlockChecksumTest, KnownCrcValues) {
    constexpr std::string_view check = "123456789";
    EXPECT_EQ(Crc16({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xAEE7);
    const std::vector<uint8_t> erased(1024, 0xFF);
    EXPECT_EQ(Crc16(erased), 0x7F0D);
}

TEST(BlockChecksumTest, WordsAreLeastSignificantByteFirstPerKilobyte) {
    std::vector<uint8_t> block(kBlockSize, 0xFF);
    block[1024 * 5] = 0x00;
    const auto words = BlockChecksums(block);
    EXPECT_EQ(words[0], 0x0D);
    EXPECT_EQ(words[1], 0x7F);
    const uint16_t changed = Crc16(std::span<const uint8_t>(block).subspan(1024 * 5, 1024));
    EXPECT_NE(changed, 0x7F0D);
    EXPECT_EQ(words[10], changed & 0xFF);
    EXPECT_EQ(words[11], changed >> 8);
}

// Bit by bit, straight from the definition.
uint16_t ReferenceCrc16(std::span<const uint8_t> data) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : data) {
        crc = static_cast<uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
        }
    }
    return crc;
}

TEST(BlockChecksumTest, SlicedCrcMatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
    std::mt19937 random(42);
    std::vector<uint8_t> data(1100);
    for (auto& byte : data) {
        byte = static_cast<uint8_t>(random());
    }
    const std::span<const uint8_t> all(data);
    for (std::size_t offset = 0; offset < 9; ++offset) {
        for (std::size_t length : {0, 1, 2, 7, 8, 9, 15, 16, 17, 1024, 1091}) {
            const auto piece = all.subspan(offset, length);
            ASSERT_EQ(Crc16(piece), ReferenceCrc16(piece))
                << "offset " << offset << " length " << length;
        }
    }
}

TEST(BlockChecksumTest, ShortBlockLeavesMissingWordsZero) {
    const std::vector<uint8_t> half(kBlockSize / 2, 0xFF);
    const auto words = BlockChecksums(half);
    EXPECT_EQ(words[62], 0x0D);
    EXPECT_EQ(words[63], 0x7F);
    EXPECT_EQ(words[64], 0);
    EXPECT_EQ(words[127], 0);
}

}  // namespace
}  // namespace quillon
