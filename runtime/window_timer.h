#pragma once

namespace quillon {

// A window timer, serviced on the user-interface thread. Two of them run: Timer1, the periodic
// connection check, which operations pause while they talk to the board so that no tick builds
// a command while another is in flight; and Timer2, the USB-PD processor-halt poll, which runs
// only while the PD power prompt is open. The front-end connects the ticks.
class WindowTimer {
public:
    virtual ~WindowTimer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
};

// The two roles, by the interval each runs at.
using ConnectionTimer = WindowTimer;  // Timer1
using HaltPollTimer = WindowTimer;    // Timer2; its ticks go to ConnectionCycle::HaltPollTick()
inline constexpr int kConnectionCheckIntervalMs = 2000;
inline constexpr int kHaltPollIntervalMs = 1;

// A timer that only remembers its state; tests fire ticks themselves.
class ManualTimer final : public WindowTimer {
public:
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        ++changes_;
    }
    bool IsEnabled() const override { return enabled_; }
    int Changes() const { return changes_; }

private:
    bool enabled_ = false;
    int changes_ = 0;
};

}  // namespace quillon
