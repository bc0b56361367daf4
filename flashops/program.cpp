#include "flashops/flash_operations.h"
#include "flashops/flash_run.h"
#include "flashops/flash_target.h"
#include "flashops/range_refusals.h"

namespace quillon {

StepReport FlashOperations::Program() {
    // The high speed comes back after the outcome line, also after a stop or a failure.
    return OnTarget(operation_texts::kProgram, ImageWriteRefused(), &FlashOperations::RunProgram,
                    [this](FlashRun& run) {
                        if (run.chip.highSmbusSpeedAfterProgram && run.AtHighSmbusSpeed()) {
                            parts_.board.SmbPortControl(PortAction::SmbHighSpeed);
                        }
                        work_.LogBlocksWritten(run);
                    });
}

void FlashOperations::RunProgram(FlashRun& run, FlashTarget& flash) {
    run.result = parts_.frame.OperationResult();
    work_.ClearSkipFlagsUnlessSkipFF();
    if (run.ProgramsAtLowSpeed()) {
        parts_.board.SmbPortControl(PortAction::SmbLowSpeed);
    }
    // The SMBus speed of the program is not the verify's: a rewrite is left to it only when
    // the speeds agree.
    const bool leaves = leaveProof_ && flash.LeavesReadBackToVerify() && !run.ProgramsAtLowSpeed();
    flash.FitImage();
    WalkPlan plan = flash.Plan(FlashTarget::Range::Image);
    // A block Auto's erase found holding the image is not written (its verify proves it).
    plan.skipped = [&, skipFF = plan.skipped](long long u) {
        return (skipFF && skipFF(u)) || work_.fast.Unchanged(static_cast<uint32_t>(u));
    };
    work_.WalkTransfers(run, plan, [&](long long u) {
        if (!flash.Write(u).Succeeded()) {
            return false;
        }
        // The unit is read back as verify would test it; one that does not hold the image
        // counts as a failed write and is written again. A program that leaves this to the
        // verify that follows at once leaves it the rewrite too.
        if (leaves) {
            return true;
        }
        const auto wrong = flash.Compare(u, work_.Scratch().first(flash.UnitSize()));
        if (wrong && *wrong == 0) {
            return true;
        }
        // Written over a block Auto's erase left unerased: erased before it is written again.
        flash.EraseOverturned(u);
        return false;
    });
    if (leaves && run.result) {
        handed_ = Proof::ByVerify;
    }
}

}  // namespace quillon
