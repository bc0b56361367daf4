#pragma once

namespace quillon {

// The Stop button's request: set by Stop, cleared by each operation when it starts, tested
// by the operation's loops at their checks.
class StopRequest {
public:
    void Request() { requested_ = true; }
    void Clear() { requested_ = false; }
    bool Requested() const { return requested_; }

private:
    bool requested_ = false;
};

}  // namespace quillon
