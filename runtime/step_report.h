#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "runtime/step_result.h"

namespace quillon {

// What one command (a file command, an operation, one of Auto's steps) came to, as a value
// its caller reads instead of the log.
//   result  - Ok, Failed or Refused (see StepResult);
//   retries - repeats the retry rule spent (the count an outcome line shows after "OK !");
//   errors  - blocks or bytes found wrong (mismatches, non-blank bytes), where the step counts
//   them; cause   - why the step did not succeed, in the operator's words; empty when Ok; seconds -
//   time the step took on the station's clock.
struct StepReport {
    StepResult result = StepResult::Failed;
    int retries = 0;
    uint64_t errors = 0;
    std::string cause;
    double seconds = 0.0;

    bool Ok() const { return IsOk(result); }

    static StepReport Done(int retries = 0) { return {StepResult::Ok, retries, 0, {}, 0.0}; }
    static StepReport Failure(std::string cause, int retries = 0) {
        return {StepResult::Failed, retries, 0, std::move(cause), 0.0};
    }
    static StepReport Refusal(std::string cause) {
        return {StepResult::Refused, 0, 0, std::move(cause), 0.0};
    }
};

}  // namespace quillon
