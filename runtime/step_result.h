#pragma once

#include "platform/lookup_table.h"

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

inline constexpr LookupRow<StepResult, const char*> kStepResultNames[] = {
    {StepResult::Ok, "ok"},
    {StepResult::Failed, "failed"},
    {StepResult::Refused, "refused"},
};

constexpr const char* StepResultName(StepResult result) {
    return LookUp(kStepResultNames, result, "failed");
}

}  // namespace quillon
