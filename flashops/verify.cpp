#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/flash_target.h"
#include "flashops/range_refusals.h"

namespace quillon {

StepReport FlashOperations::Verify() {
    // The high speed comes back after the outcome line, also after a stop or a failure.
    return OnTarget(operation_texts::kVerify, ImageWriteRefused(), &FlashOperations::RunVerify,
                    [this](FlashRun& run) {
                        if (run.VerifiesAtLowSpeed()) {
                            parts_.board.SmbPortControl(PortAction::SmbHighSpeed);
                        }
                    });
}

void FlashOperations::RunVerify(FlashRun& run, FlashTarget& flash) {
    work_.ClearSkipFlagsUnlessSkipFF();
    auto& buffer = parts_.image.readBuffer;
    buffer.resize(static_cast<std::size_t>(parts_.image.usedBlockCount) * kBlockSize);
    if (run.VerifiesAtLowSpeed()) {
        parts_.board.SmbPortControl(PortAction::SmbLowSpeed);
    }
    flash.FitImage();
    const WalkPlan plan = flash.Plan(FlashTarget::Range::Image);
    const std::size_t unitSize = flash.UnitSize();
    buffer.resize(static_cast<std::size_t>(plan.units) * unitSize);
    // After a program that left its read-back here, a unit that does not hold the image is
    // written again and compared again under the repeat rule, as that read-back would have.
    const bool rewrites = taken_ == Proof::ByVerify && flash.LeavesReadBackToVerify();
    long long errors = 0;
    long long stillWrong = 0;
    const WalkEnd end = work_.walk.Run(plan, run.retries, [&](long long u) {
        const auto found = flash.Compare(u, std::span<uint8_t>(buffer).subspan(
                                                static_cast<std::size_t>(u) * unitSize, unitSize));
        if (rewrites && (!found || *found > 0)) {
            stillWrong = found.value_or(0);
            flash.EraseOverturned(u);  // a block Auto's erase spared is erased first
            flash.Write(u);            // its answer counts at the compare that follows
            return Turn::Repeat;
        }
        if (!found) {
            return Turn::Repeat;
        }
        errors += *found;
        stillWrong = 0;
        return Turn::Done;
    });
    // A unit still wrong when the retries ran out is reported with its bytes.
    run.errors = end == WalkEnd::Ended ? errors + stillWrong : errors;
    run.result = run.errors == 0 && !parts_.frame.StopRequested();
}

}  // namespace quillon
