#include "flashops/flash_operations.h"

#include <algorithm>
#include <utility>

#include "flashops/flash_run.h"
#include "flashops/flash_target.h"
#include "flashops/range_refusals.h"

namespace quillon {

FlashOperations::FlashOperations(FlashOpsParts parts, FlashOpsControls controls)
    : work_(parts, std::move(controls)), parts_(work_.parts) {}

StepReport FlashOperations::LeavingProof(StepReport (FlashOperations::*operation)()) {
    leaveProof_ = true;
    StepReport report = (this->*operation)();
    leaveProof_ = false;
    return report;
}

StepReport FlashOperations::OnTarget(const OperationTexts& texts, const TargetRefusal& refusal,
                                     TargetBody body, std::function<void(FlashRun&)> afterOutcome) {
    FlashRun run = FlashRun::Read(parts_.settings, parts_.cache, parts_.identity);
    const auto flash = ChooseFlashTarget(work_, run);
    std::function<void()> after;
    if (afterOutcome) {
        after = [&] { afterOutcome(run); };
    }
    return RunInFrame(
        run, texts, refusal(run, *flash), [&] { (this->*body)(run, *flash); }, std::move(after));
}

FlashOperations::TargetRefusal FlashOperations::ImageWriteRefused() {
    return [this](FlashRun&, FlashTarget& flash) { return ImageWriteRefusal(work_, flash); };
}

StepReport FlashOperations::EraseProvenByCheck() {
    return LeavingProof(&FlashOperations::Erase);
}

StepReport FlashOperations::ProgramProvenByVerify() {
    return LeavingProof(&FlashOperations::Program);
}

StepReport FlashOperations::RunInFrame(FlashRun& run, const OperationTexts& texts,
                                       const std::optional<std::string>& refusal,
                                       const std::function<void()>& body,
                                       std::function<void()> afterOutcome) {
    // A proof handed on is taken by the very next operation, whichever it is.
    taken_ = std::exchange(handed_, Proof::Own);
    // An operation is named as its failure line names it (the read's OK line has a spelling
    // of its own).
    const std::string name = texts.outcome ? texts.outcome->failureName : std::string();
    const OperationSpec spec{
        texts.cursor,  [&] { return !refusal; }, refusal.value_or(""), name, texts.progressLine,
        texts.outcome, std::move(afterOutcome),  kRetryLimit};
    // The frame names the cause of a failure the run did not name itself.
    return parts_.frame.Run(spec, [&] {
        body();
        return StepReport{StepFrom(run.result), run.retries,
                          static_cast<uint64_t>(std::max(0LL, run.errors)), run.cause, 0.0};
    });
}

}  // namespace quillon
