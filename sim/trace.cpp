#include "sim/trace.h"

#include <array>
#include <cstring>

namespace quillon::sim {

namespace {
constexpr uint64_t kOffset = 0xCBF29CE484222325ull;
constexpr uint64_t kPrime = 0x100000001B3ull;
constexpr std::size_t kLanes = 4;
}  // namespace

uint64_t Digest(std::span<const uint8_t> data) {
    // Four independent lanes of 64-bit words keep the multiplier busy; the tail and the
    // lanes are folded in byte by byte at the end.
    std::array<uint64_t, kLanes> lanes{kOffset, kOffset ^ 1, kOffset ^ 2, kOffset ^ 3};
    const std::size_t stride = kLanes * sizeof(uint64_t);
    std::size_t at = 0;
    for (; at + stride <= data.size(); at += stride) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            uint64_t word = 0;
            std::memcpy(&word, data.data() + at + lane * sizeof(uint64_t), sizeof word);
            lanes[lane] = (lanes[lane] ^ word) * kPrime;
        }
    }
    uint64_t hash = kOffset;
    for (; at < data.size(); ++at) {
        hash = (hash ^ data[at]) * kPrime;
    }
    for (uint64_t lane : lanes) {
        hash = (hash ^ lane) * kPrime;
    }
    return (hash ^ data.size()) * kPrime;
}

}  // namespace quillon::sim
