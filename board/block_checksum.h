#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon {

// CRC-16: polynomial 0x8005, MSB first, initial value 0xFFFF, no reflection, no final XOR.
uint16_t Crc16(std::span<const uint8_t> data);

constexpr std::size_t kBlockSize = 65536;
constexpr std::size_t kChecksumChunk = 1024;
constexpr std::size_t kChecksumsPerBlock = kBlockSize / kChecksumChunk;  // 64

// One CRC-16 per 1024 bytes of a 64 KiB block, each stored least significant byte first:
// the 128 bytes the board compares against its own checksums.
std::array<uint8_t, kChecksumsPerBlock * 2> BlockChecksums(std::span<const uint8_t> block);

}  // namespace quillon
