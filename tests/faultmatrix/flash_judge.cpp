#include "tests/faultmatrix/flash_judge.h"

#include <algorithm>
#include <cstdio>

namespace quillon::test {

namespace {

void Count(Judgement& judgement, uint32_t address, uint64_t count = 1) {
    if (count == 0) {
        return;
    }
    judgement.wrongBytes += count;
    if (!judgement.firstWrong || address < *judgement.firstWrong) {
        judgement.firstWrong = address;
    }
}

// The part of the range that lies inside a memory of `size` bytes; the rest is counted wrong.
uint64_t Inside(Judgement& judgement, ByteRange range, std::size_t size) {
    const uint64_t end = uint64_t{range.start} + range.length;
    const uint64_t insideEnd = std::min<uint64_t>(end, size);
    if (insideEnd <= range.start) {
        Count(judgement, range.start, range.length);
        return 0;
    }
    Count(judgement, static_cast<uint32_t>(insideEnd), end - insideEnd);
    return insideEnd - range.start;
}

}  // namespace

std::string Judgement::Describe() const {
    if (Right()) {
        return "right";
    }
    char text[80];
    std::snprintf(text, sizeof text, "%llu wrong bytes, first at 0x%X",
                  static_cast<unsigned long long>(wrongBytes), *firstWrong);
    return text;
}

Judgement JudgeBlank(std::span<const uint8_t> truth, ByteRange range) {
    Judgement judgement;
    const uint64_t length = Inside(judgement, range, truth.size());
    for (uint64_t i = 0; i < length; ++i) {
        if (truth[range.start + i] != 0xFF) {
            Count(judgement, static_cast<uint32_t>(range.start + i));
        }
    }
    return judgement;
}

Judgement JudgeHolds(std::span<const uint8_t> truth, std::span<const uint8_t> expected,
                     ByteRange range) {
    Judgement judgement;
    const uint64_t length = Inside(
        judgement,
        ByteRange{range.start, static_cast<uint32_t>(Inside(judgement, range, truth.size()))},
        expected.size());
    for (uint64_t i = 0; i < length; ++i) {
        const uint64_t a = range.start + i;
        if (truth[a] != expected[a]) {
            Count(judgement, static_cast<uint32_t>(a));
        }
    }
    return judgement;
}

}  // namespace quillon::test
