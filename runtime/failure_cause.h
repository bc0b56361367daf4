#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

// The cause of a file command the operator cancelled.
inline constexpr const char* kNoFileChosen = "no file was chosen";

// What the board link was found to be after a step failed (the command line asks once).
enum class LinkFault { None, BoardGone, TargetOff };

// What is known of a step that did not succeed.
struct FailureFacts {
    std::string stated;  // the cause the step gave itself (a problem it met), or empty
    LinkFault link = LinkFault::None;
    int retries = 0;     // repetitions the retry rule spent
    int retryLimit = 0;  // more than this many repetitions: the transfer gave up; 0: no limit
    std::optional<std::string> stopCause;  // why the work was stopped, when it was
    uint64_t errors = 0;                   // bytes found wrong
};

// Why a step failed, in the operator's words: the cause it stated, else a board or target
// that went away, else a transfer that gave up, else the stop request's cause, else the
// bytes found wrong, else that the board did not carry out the command. Every failure's
// cause the station reports is named here.
std::string CauseOfFailure(const FailureFacts& facts);

}  // namespace quillon
