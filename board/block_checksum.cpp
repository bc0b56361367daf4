#include "board/block_checksum.h"

namespace quillon {

namespace {

constexpr uint16_t kPolynomial = 0x8005;
constexpr std::size_t kSlices = 8;

// tables[k][b]: what byte b contributes to the CRC when k zero bytes follow it. tables[0]
// is the classic byte-at-a-time table; with all eight, eight bytes fold in per step.
using SliceTables = std::array<std::array<uint16_t, 256>, kSlices>;

constexpr SliceTables MakeTables() {
    SliceTables tables{};
    for (unsigned i = 0; i < 256; ++i) {
        auto crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ kPolynomial : crc << 1);
        }
        tables[0][i] = crc;
    }
    for (std::size_t k = 1; k < kSlices; ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const uint16_t previous = tables[k - 1][i];
            tables[k][i] =
                static_cast<uint16_t>((previous << 8) ^ tables[0][(previous >> 8) & 0xFF]);
        }
    }
    return tables;
}
constexpr SliceTables kTables = MakeTables();

}  // namespace

uint16_t Crc16(std::span<const uint8_t> data) {
    uint32_t crc = 0xFFFF;
    const uint8_t* p = data.data();
    std::size_t remaining = data.size();
    // The 16-bit state only meets the first two bytes of each group of eight.
    while (remaining >= kSlices) {
        const uint32_t x0 = p[0] ^ (crc >> 8);
        const uint32_t x1 = p[1] ^ (crc & 0xFF);
        crc = kTables[7][x0] ^ kTables[6][x1] ^ kTables[5][p[2]] ^ kTables[4][p[3]] ^
              kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
        p += kSlices;
        remaining -= kSlices;
    }
    for (; remaining > 0; --remaining, ++p) {
        crc = ((crc << 8) ^ kTables[0][((crc >> 8) ^ *p) & 0xFF]) & 0xFFFF;
    }
    return static_cast<uint16_t>(crc);
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
