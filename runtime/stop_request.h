#pragma once

#include <string>
#include <utility>

namespace quillon {

// The Stop button's request: set by Stop (or by a signal that stops the program), cleared by
// each operation when it starts, tested by the operation's loops at their checks. It keeps
// why the work was stopped, the cause a stopped step reports.
class StopRequest {
public:
    static constexpr const char* kByOperator = "stopped by the operator";

    void Request(std::string cause = kByOperator) {
        requested_ = true;
        cause_ = std::move(cause);
    }
    void Clear() { requested_ = false; }
    bool Requested() const { return requested_; }
    const std::string& Cause() const { return cause_; }

private:
    bool requested_ = false;
    std::string cause_ = kByOperator;
};

}  // namespace quillon
