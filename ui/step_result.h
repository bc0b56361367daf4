#pragma once

namespace quillon {

// What a file or flash step came to.
//   Ok      - done, and the flash or buffer holds what the step claims.
//   Failed  - tried and did not succeed (a transfer, a mismatch, a stop request).
//   Refused - not tried: a precondition was missing and the operator was told.
// OperationResult, the flag the chained steps test, is true only for Ok.
enum class StepResult { Ok, Failed, Refused };

constexpr bool IsOk(StepResult result) {
    return result == StepResult::Ok;
}

constexpr StepResult StepFrom(bool ok) {
    return ok ? StepResult::Ok : StepResult::Failed;
}

constexpr const char* StepResultName(StepResult result) {
    switch (result) {
        case StepResult::Ok:
            return "ok";
        case StepResult::Failed:
            return "failed";
        case StepResult::Refused:
            return "refused";
    }
    return "failed";
}

}  // namespace quillon
