#pragma once

#include <cstdint>
#include <span>

#include "sim/nor_array.h"

namespace quillon::sim {

// The board's own embedded flash, where it keeps its 32-byte parameter record (0x1DC00 on a
// KQ11ED board, 0x3FC00 on a KQ775A board). Erase works on 1 KiB pages. The KQ11ED board
// programs as many bytes as one command carries; the KQ775A board programs one byte per
// command and ignores the rest of the data.
class BoardFlash {
public:
    static constexpr uint32_t kPageSize = 1024;
    explicit BoardFlash(uint8_t controllerKind = 1);

    NorArray& Memory() { return memory_; }
    bool Read(uint32_t address, std::span<uint8_t> out) const;
    bool ErasePage(uint32_t address);
    bool Program(uint32_t address, std::span<const uint8_t> data);
    bool ProgramsManyBytes() const { return multiByte_; }
    uint32_t RecordAddress() const { return multiByte_ ? 0x1DC00 : 0x3FC00; }

private:
    bool multiByte_;
    NorArray memory_;
};

}  // namespace quillon::sim
