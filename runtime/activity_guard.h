#pragma once

#include <optional>

namespace quillon {

// Keeps the station's work from nesting. While an operation, a connection-check tick or a
// blocking wait is in progress the window still processes events (so that Stop, the log and
// the gauge stay live); a timer tick or a click that arrives then must not start a second
// piece of work inside the first. Work asks TryEnter(); nothing is returned while busy.
class ActivityGuard {
public:
    class Scope {
    public:
        explicit Scope(ActivityGuard& guard) : guard_(&guard) { ++guard_->depth_; }
        Scope(Scope&& other) noexcept : guard_(other.guard_) { other.guard_ = nullptr; }
        Scope& operator=(Scope&&) = delete;
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        ~Scope() {
            if (guard_ != nullptr) {
                --guard_->depth_;
            }
        }

    private:
        ActivityGuard* guard_;
    };

    bool Busy() const { return depth_ > 0; }

    // A scope when nothing runs; nothing when the caller would nest inside running work.
    std::optional<Scope> TryEnter() {
        if (Busy()) {
            return std::nullopt;
        }
        return std::optional<Scope>(std::in_place, *this);
    }

    // Marks work that may legitimately run inside other work (an operation calling the
    // flash-mode entry of the connection cycle, Auto calling its steps).
    Scope EnterNested() { return Scope(*this); }

private:
    int depth_ = 0;
};

}  // namespace quillon
