#pragma once

namespace quillon {

// Timer1: the periodic connection check (2000 ms). Operations pause it while they
// talk to the board, so no tick builds a command while another is in flight.
class ConnectionTimer {
public:
    static constexpr int kIntervalMs = 2000;
    virtual ~ConnectionTimer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
};

// A timer that only remembers its state; tests fire ticks themselves.
class ManualConnectionTimer final : public ConnectionTimer {
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
