// FastFlash: Auto's erase reads each used block first and erases only what the plan says
// must be erased; the later steps of the unit ask the same plan (see fast_flash_plan.h).
#include "config/setting_names.h"
#include "flashops/block_bytes.h"
#include "flashops/block_flash.h"
#include "flashops/block_limits.h"
#include "flashops/flash_kind.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"

namespace quillon {

void FlashOperations::BeginAutoUnit(const UnitSteps& follows) {
    const SettingsStore& settings = parts_.settings;
    // A store from before the setting existed holds no value: the full sequence.
    const auto stored = settings.Exists(setting::kFastFlash)
                            ? ModeFrom<FastFlash>(settings.ReadInt(setting::kFastFlash))
                            : std::nullopt;
    const auto mode = work_.controls.fastFlashForRun ? work_.controls.fastFlashForRun : stored;
    const bool plans = FactsOf(FlashKindOf(settings)).plansFastFlash;
    work_.fast.BeginUnit(plans ? mode.value_or(FastFlash::Off) : FastFlash::Off, follows);
}

void BlockFlash::ErasePlanned() {
    auto& image = work_.parts.image;
    auto& fast = work_.fast;
    const uint32_t used = image.usedBlockCount;
    image.readBuffer.resize(std::size_t{used} * kBlockSize);
    WalkPlan plan = Plan(Range::Erased);
    plan.gauge = WalkGauge::ByUnit;
    fast.StartWalk(used, static_cast<uint32_t>(plan.units - plan.workFrom));
    const WalkEnd end = work_.walk.Run(plan, run_.retries, [&](long long unit) {
        const auto b = static_cast<uint32_t>(unit);
        if (!fast.Decided(b)) {
            const std::size_t offset = std::size_t{b} * kBlockSize;
            const auto block = std::span<uint8_t>(image.readBuffer).subspan(offset, kBlockSize);
            run_.result = Read(unit, block).Succeeded();
            if (!run_.result) {
                return Turn::Repeat;
            }
            // Decided on the bytes as read, over all the unit writes of the block (the upper
            // half of a half last block is neither erased nor written); ReadBuffer then holds
            // what the blank check reads.
            const std::size_t length = work_.IsHalfBlock(b) ? kHalfBlock : kBlockSize;
            fast.Decide(b, block.first(length), work_.Image(offset, length), work_.SkipsBlock(b));
            MaskRomCodeArea(run_, b, block);
        }
        if (!fast.ErasesBlock(b)) {
            work_.walk.Gauge(plan, b);
            return Turn::Done;
        }
        return EraseSectors(b, &plan);
    });
    if (end == WalkEnd::Ended) {
        run_.result = false;
    }
}

bool BlockFlash::EraseOverturned(long long unit) {
    const auto block = static_cast<uint32_t>(unit);
    if (!work_.fast.Overturn(block)) {
        return false;
    }
    EraseSectors(block, nullptr);
    return true;
}

void FlashWork::LogAlreadyBlank() {
    if (fast.Mode() == FastFlash::SkipBlankErases && fast.DecidedCount() > 0) {
        parts.log.Append(AlreadyBlankLine(fast.BlankCount(), fast.DecidedCount()));
    }
}

void FlashWork::LogBlocksWritten(const FlashRun& run) {
    if (fast.Mode() != FastFlash::ChangedBlocksOnly || fast.DecidedCount() == 0 || !run.result) {
        return;
    }
    const WalkPlan plan = UsedBlocksPlan(run);
    uint32_t written = 0;
    for (long long unit = plan.workFrom; unit < plan.units; ++unit) {
        const auto b = static_cast<uint32_t>(unit);
        written += !SkipsBlock(b) && !fast.Unchanged(b) ? 1 : 0;
    }
    parts.log.Append(BlocksWrittenLine(written, fast.DecidedCount()));
}

}  // namespace quillon
