// FastFlash: Auto's erase reads each used block first and erases only what the plan says
// must be erased; the later steps of the unit ask the same plan (see fast_flash_plan.h).
#include "config/setting_names.h"
#include "flashops/block_bytes.h"
#include "flashops/block_limits.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

void FlashOperations::BeginAutoUnit(const UnitSteps& follows) {
    const SettingsStore& settings = parts_.settings;
    // A store from before the setting existed holds no value: the full sequence.
    const auto stored = settings.Exists(setting::kFastFlash)
                            ? ModeFrom<FastFlash>(settings.ReadInt(setting::kFastFlash))
                            : std::nullopt;
    const auto mode = controls_.fastFlashForRun ? controls_.fastFlashForRun : stored;
    // The USB-PD controller keeps its own sequence.
    const bool pd = settings.ReadInt(setting::kConnectMode) == StoredValue(ConnectMode::Pd);
    fast_.BeginUnit(pd ? FastFlash::Off : mode.value_or(FastFlash::Off), follows);
}

void FlashOperations::EraseBlockWalkPlanned(FlashRun& run) {
    auto& image = parts_.image;
    const uint32_t used = image.usedBlockCount;
    image.readBuffer.resize(std::size_t{used} * kBlockSize);
    WalkPlan plan = UsedBlocksPlan(run);
    plan.gauge = WalkGauge::ByUnit;
    fast_.StartWalk(used, static_cast<uint32_t>(plan.units - plan.workFrom));
    const WalkEnd end = walk_.Run(plan, run.retries, [&](long long unit) {
        const auto b = static_cast<uint32_t>(unit);
        if (!fast_.Decided(b)) {
            const std::size_t offset = std::size_t{b} * kBlockSize;
            const auto block = std::span<uint8_t>(image.readBuffer).subspan(offset, kBlockSize);
            run.result = parts_.board
                             .ReadBlock(static_cast<int>(b),
                                        static_cast<uint8_t>(run.type.commandModeRead), block)
                             .Succeeded();
            if (!run.result) {
                return Turn::Repeat;
            }
            // Decided on the bytes as read, over all the unit writes of the block (the upper
            // half of a half last block is neither erased nor written); ReadBuffer then holds
            // what the blank check reads.
            const bool halfBlock = image.halfLastBlock && b == used - 1;
            const std::size_t length = halfBlock ? kHalfBlock : kBlockSize;
            fast_.Decide(b, block.first(length),
                         ImageBytes(image.imageBuffer, offset, length, imageScratch_),
                         SkipsBlock(b));
            MaskRomCodeArea(run, b, block);
        }
        if (!fast_.ErasesBlock(b)) {
            walk_.Gauge(plan, b);
            return Turn::Done;
        }
        return EraseBlockSectors(run, b, &plan);
    });
    if (end == WalkEnd::Ended) {
        run.result = false;
    }
}

bool FlashOperations::EraseOverturned(FlashRun& run, uint32_t block) {
    if (!fast_.Overturn(block)) {
        return false;
    }
    EraseBlockSectors(run, block, nullptr);
    return true;
}

void FlashOperations::LogAlreadyBlank() {
    if (fast_.Mode() == FastFlash::SkipBlankErases && fast_.DecidedCount() > 0) {
        parts_.log.Append(AlreadyBlankLine(fast_.BlankCount(), fast_.DecidedCount()));
    }
}

void FlashOperations::LogBlocksWritten(const FlashRun& run) {
    if (fast_.Mode() != FastFlash::ChangedBlocksOnly || fast_.DecidedCount() == 0 || !run.result) {
        return;
    }
    const WalkPlan plan = UsedBlocksPlan(run);
    uint32_t written = 0;
    for (long long unit = plan.workFrom; unit < plan.units; ++unit) {
        const auto b = static_cast<uint32_t>(unit);
        written += !SkipsBlock(b) && !fast_.Unchanged(b) ? 1 : 0;
    }
    parts_.log.Append(BlocksWrittenLine(written, fast_.DecidedCount()));
}

}  // namespace quillon
