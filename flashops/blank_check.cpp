#include "flashops/block_bytes.h"
#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/flash_target.h"
#include "flashops/range_refusals.h"

namespace quillon {

StepReport FlashOperations::BlankCheck() {
    return OnTarget(
        operation_texts::kBlankCheck,
        [this](FlashRun&, FlashTarget& flash) {
            const auto refusal = ImageAndTypeRefusal(parts_.image, work_.controls.deviceLines);
            return refusal ? refusal : flash.Refusal(FlashTarget::Range::Erased);
        },
        &FlashOperations::RunBlankCheck);
}

void FlashOperations::RunBlankCheck(FlashRun& run, FlashTarget& flash) {
    parts_.image.readBuffer.resize(static_cast<std::size_t>(parts_.image.usedBlockCount) *
                                   kBlockSize);
    run.errors = CheckRange(run, flash, CheckWalk::BlankCheck);
    run.result = run.errors == 0 && !parts_.frame.StopRequested();
}

long long FlashOperations::CheckRange(FlashRun& run, FlashTarget& flash, CheckWalk walk) {
    const bool blankCheck = walk == CheckWalk::BlankCheck;
    auto& buffer = parts_.image.readBuffer;
    const std::size_t unitSize = flash.UnitSize();
    WalkPlan plan = flash.Plan(FlashTarget::Range::Erased);
    if (blankCheck) {
        buffer.resize(static_cast<std::size_t>(plan.units) * unitSize);
    }
    plan.gauge = blankCheck ? WalkGauge::Step : WalkGauge::Pump;
    // A block whose blank proof Auto's erase already read, or that holds the image, is not
    // read again here.
    plan.skipped = [&](long long u) { return work_.fast.CheckPasses(static_cast<uint32_t>(u)); };
    long long errors = 0;
    work_.walk.Run(plan, run.retries, [&](long long u) {
        const auto into = blankCheck ? std::span<uint8_t>(buffer).subspan(
                                           static_cast<std::size_t>(u) * unitSize, unitSize)
                                     : work_.Scratch().first(unitSize);
        const auto found = flash.CountNotBlank(u, into);
        // A block Auto's erase left unerased that is not blank after all is erased now and
        // checked again.
        if ((!found || *found > 0) && flash.EraseOverturned(u)) {
            return Turn::Repeat;
        }
        if (!found) {
            return Turn::Repeat;
        }
        errors += *found;
        return Turn::Done;
    });
    return errors;
}

}  // namespace quillon
