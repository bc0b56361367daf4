#include "runtime/failure_cause.h"

namespace quillon {

std::string CauseOfFailure(const FailureFacts& facts) {
    if (!facts.stated.empty()) {
        return facts.stated;
    }
    switch (facts.link) {
        case LinkFault::BoardGone:
            return "the board does not answer: it was pulled out or its USB link broke";
        case LinkFault::TargetOff:
            return "the target does not answer: it is switched off";
        case LinkFault::None:
            break;
    }
    if (facts.retryLimit > 0 && facts.retries > facts.retryLimit) {
        return "a transfer still failed after " + std::to_string(facts.retryLimit) + " repetitions";
    }
    if (facts.stopCause) {
        return *facts.stopCause;
    }
    if (facts.errors > 0) {
        return std::to_string(facts.errors) + " bytes wrong";
    }
    return "the board did not carry out the command";
}

}  // namespace quillon
