#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "flashops/flash_run.h"
#include "target/eflash_facts.h"

namespace quillon {

// The bytes of a block that a blank check or verify tests. A ROM-code controller whose ROM
// key is not in use is tested only up to the end of its eFlash: from the block where the
// eFlash ends, the limit stays at that end's offset. An unsized eFlash (0) sets no limit.
class TestLimit {
public:
    void Update(const FlashRun& run, const EFlashFacts& eflash, uint32_t block);
    // The first bytes of the block to test: the limit, and only the first half of a half
    // last block.
    std::size_t Length(bool halfBlock) const;

private:
    std::size_t limit_ = 65536;
};

// A chip with an untested ROM-code area, without the ROM key: the 8 KiB at 0x1E000 are not
// tested, so
// after block 1 is read its bytes (at 0xE000 of the block's 64 KiB) count as erased.
void MaskRomCodeArea(const FlashRun& run, uint32_t block, std::span<uint8_t> blockBytes);

// The quick paths (the board compares checksums or writes whole blocks itself) serve the
// internal flash only on the chips whose traits allow it.
bool InternalFlashBlocksQuickPath(const FlashRun& run, const EFlashFacts& eflash);

}  // namespace quillon
