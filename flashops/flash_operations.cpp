#include "flashops/flash_operations.h"

#include <algorithm>
#include <utility>

#include "flashops/flash_run.h"
#include "flashops/flash_target.h"

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
    const Millis started = parts_.clock.Now();
    // A proof handed on is taken by the very next operation, whichever it is.
    taken_ = std::exchange(handed_, Proof::Own);
    const OperationSpec spec{texts.cursor,         [&] { return !refusal; },
                             refusal.value_or(""), texts.progressLine,
                             texts.outcome,        std::move(afterOutcome)};
    StepReport report = parts_.frame.Run(spec, [&] {
        body();
        return StepReport{StepFrom(run.result), run.retries,
                          static_cast<uint64_t>(std::max(0LL, run.errors)), run.cause, 0.0};
    });
    report.seconds = static_cast<double>((parts_.clock.Now() - started).count()) / 1000.0;
    if (report.result == StepResult::Refused) {
        report.cause = refusal.value_or("");
        return report;
    }
    if (report.Ok()) {
        return report;
    }
    if (!run.cause.empty()) {
        report.cause = run.cause;
    } else if (run.RetriesExhausted()) {
        report.cause =
            "a transfer still failed after " + std::to_string(kRetryLimit) + " repetitions";
    } else if (parts_.frame.StopRequested()) {
        report.cause = parts_.frame.StopCause();
    } else if (run.errors > 0) {
        report.cause = std::to_string(run.errors) + " bytes wrong";
    } else {
        report.cause = "the board did not carry out the command";
    }
    return report;
}

}  // namespace quillon
