#include "flashops/flash_work.h"

#include <utility>

#include "flashops/block_bytes.h"
#include "flashops/flash_run.h"

namespace quillon {

FlashWork::FlashWork(FlashOpsParts theParts, FlashOpsControls theControls)
    : parts(theParts),
      controls(std::move(theControls)),
      walk(parts.frame, parts.stop, parts.clock) {}

std::span<const uint8_t> FlashWork::Image(std::size_t offset, std::size_t length) {
    return ImageBytes(parts.image.imageBuffer, offset, length, imageScratch_);
}

std::span<uint8_t> FlashWork::Scratch() {
    readBackScratch_.resize(kBlockSize);
    return readBackScratch_;
}

bool FlashWork::SkipsBlock(uint32_t block) const {
    return parts.image.blockSkipFlags.IsSkipped(block) &&
           IsAllErased(parts.image.imageBuffer, static_cast<std::size_t>(block) * kBlockSize,
                       kBlockSize);
}

void FlashWork::ClearSkipFlagsUnlessSkipFF() {
    if (!controls.skipFF) {
        parts.image.blockSkipFlags.Clear(parts.image.usedBlockCount);
    }
}

bool FlashWork::IsHalfBlock(uint32_t block) const {
    return parts.image.halfLastBlock && block == parts.image.usedBlockCount - 1;
}

bool FlashWork::Step(long long done, long long total) {
    if (const auto percent = OperationFrame::GaugePercent(done, total)) {
        return parts.frame.Progress(*percent);
    }
    return parts.frame.Pump();
}

WalkPlan FlashWork::UsedBlocksPlan(const FlashRun& run) const {
    WalkPlan plan;
    plan.units = parts.image.usedBlockCount;
    plan.gaugeFrom = parts.image.startBlock;
    plan.workFrom = run.Covers(0, parts.image.startBlock) ? 0 : plan.gaugeFrom;
    return plan;
}

bool FlashWork::WalkTransfers(FlashRun& run, const WalkPlan& plan,
                              const std::function<bool(long long unit)>& transfer) {
    const WalkEnd end = walk.Run(plan, run.retries, [&](long long unit) {
        run.result = transfer(unit);
        return run.result ? Turn::Done : Turn::Repeat;
    });
    if (end == WalkEnd::Ended) {
        run.result = false;
    }
    return run.result;
}

}  // namespace quillon
