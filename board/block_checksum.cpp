#include "board/block_checksum.h"

namespace quillon {

namespace {
constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        auto crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
        }
        table[i] = crc;
    }
    return table;
}
constexpr auto kTable = MakeTable();
}  // namespace

uint16_t Crc16(std::span<const uint8_t> data) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : data) {
        crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ byte) & 0xFF]);
    }
    return crc;
}

std::array<uint8_t, kChecksumsPerBlock * 2> BlockChecksums(std::span<const uint8_t> block) {
    std::array<uint8_t, kChecksumsPerBlock * 2> words{};
    for (std::size_t i = 0; i < kChecksumsPerBlock && (i + 1) * kChecksumChunk <= block.size();
         ++i) {
        const uint16_t crc = Crc16(block.subspan(i * kChecksumChunk, kChecksumChunk));
        words[2 * i] = static_cast<uint8_t>(crc & 0xFF);
        words[2 * i + 1] = static_cast<uint8_t>(crc >> 8);
    }
    return words;
}

}  // namespace quillon
