#include "board/block_checksum.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon
