#include "flashops/block_limits.h"

#include <algorithm>

#include "board/block_checksum.h"
#include "flashops/block_bytes.h"

namespace quillon {

namespace {
constexpr std::size_t kRomCodeOffset = 0xE000;  // in block 1
constexpr std::size_t kRomCodeLength = 8192;
constexpr uint32_t kRomCodeBlock = 1;
}  // namespace

void TestLimit::Update(const FlashRun& run, const EFlashFacts& eflash, uint32_t block) {
    if (!run.chip.romCodeFamily || run.romKey || eflash.eFlashSize == 0) {
        return;
    }
    const long long rest = static_cast<long long>(eflash.eFlashSize) -
                           static_cast<long long>(block) * static_cast<long long>(kBlockSize);
    if (rest >= 0 && rest < static_cast<long long>(kBlockSize)) {
        limit_ = static_cast<std::size_t>(rest);
    }
}

std::size_t TestLimit::Length(bool halfBlock) const {
    return halfBlock ? std::min(limit_, kHalfBlock) : limit_;
}

void MaskRomCodeArea(const FlashRun& run, uint32_t block, std::span<uint8_t> blockBytes) {
    if (block != kRomCodeBlock || run.romKey || !run.chip.romCodeAreaUntested ||
        blockBytes.size() < kRomCodeOffset + kRomCodeLength) {
        return;
    }
    std::fill_n(blockBytes.begin() + kRomCodeOffset, kRomCodeLength, kErased);
}

bool InternalFlashBlocksQuickPath(const FlashRun& run, const EFlashFacts& eflash) {
    return eflash.internalFlashSelected && !run.chip.internalFlashQuickPaths;
}

}  // namespace quillon
