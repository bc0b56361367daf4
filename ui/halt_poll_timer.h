#pragma once

namespace quillon {

// Timer2: the USB-PD processor-halt poll (1 ms). It runs only while the PD power prompt is
// open; its ticks go to ConnectionCycle::HaltPollTick().
class HaltPollTimer {
public:
    static constexpr int kIntervalMs = 1;
    virtual ~HaltPollTimer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
};

// A timer that only remembers its state; tests fire ticks themselves.
class ManualHaltPollTimer final : public HaltPollTimer {
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
