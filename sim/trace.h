#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::sim {

// One transfer as the board saw it.
struct TraceEntry {
    std::array<uint8_t, 9> header{};
    uint32_t direction = 0;  // 0 = data to the board, 1 = data from the board
    uint32_t length = 0;
    uint8_t result = 0;   // what the board answered (1 = success)
    uint64_t digest = 0;  // FNV-1a of the data block as it crossed the link
    // The data sent to the board, for direction 0 transfers of up to kTracedDataLimit bytes.
    std::vector<uint8_t> data;
};

constexpr uint32_t kTracedDataLimit = 64;

// FNV-1a style, 64 bit, over 64-bit words in four lanes: cheap enough to run over every
// 64 KiB block.
uint64_t Digest(std::span<const uint8_t> data);

}  // namespace quillon::sim
