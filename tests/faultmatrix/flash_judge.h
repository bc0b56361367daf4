#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quillon::test {

// Flash addresses [start, start + length).
struct ByteRange {
    uint32_t start = 0;
    uint32_t length = 0;
};

// How far the flash's true memory is from what an operation claimed it holds.
struct Judgement {
    uint64_t wrongBytes = 0;
    std::optional<uint32_t> firstWrong;  // flash address of the first wrong byte

    bool Right() const { return wrongBytes == 0; }
    std::string Describe() const;
};

// The claim "the range is blank": every byte 0xFF.
Judgement JudgeBlank(std::span<const uint8_t> truth, ByteRange range);

// The claim "the range holds `expected`": expected[a] at every flash address a of the range
// (`expected` is indexed by flash address, like ImageBuffer and ReadBuffer).
Judgement JudgeHolds(std::span<const uint8_t> truth, std::span<const uint8_t> expected,
                     ByteRange range);

// Addresses of the range that the flash does not have, or `expected` does not cover, are
// wrong: a claim about bytes that do not exist is never right.

}  // namespace quillon::test
