#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

using Millis = std::chrono::milliseconds;

// Every wait of the system goes through a Clock, so tests run on virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(Millis duration) = 0;
    // Monotonic time since an arbitrary origin.
    virtual Millis Now() const = 0;
    // The local wall-clock time of day in the system's long time format ("HH:MM:SS").
    virtual std::string LocalTimeText() const = 0;
};

class SystemClock final : public Clock {
public:
    void Sleep(Millis duration) override;
    Millis Now() const override;
    std::string LocalTimeText() const override;
};

// Time moves only when the system sleeps or a test advances it.
class VirtualClock final : public Clock {
public:
    void Sleep(Millis duration) override;
    Millis Now() const override { return now_; }
    std::string LocalTimeText() const override;

    void Advance(Millis duration) { now_ += duration; }
    const std::vector<Millis>& Sleeps() const { return sleeps_; }
    // Called after each sleep, e.g. to pull the board out in the middle of a wait.
    std::function<void(Millis)> onSleep;

private:
    Millis now_{0};
    std::vector<Millis> sleeps_;
};

}  // namespace quillon
