#pragma once

#include "runtime/clock.h"

namespace quillon {

class LiveWait;

// The window's clock: a sleep waits live (LiveWait) on a precise timer, so the window
// repaints through the power and plug sequences' waits and a Stop press registers at once.
class QtClock final : public Clock {
public:
    explicit QtClock(LiveWait& wait) : wait_(wait) {}

    void Sleep(Millis duration) override;
    Millis Now() const override { return system_.Now(); }
    std::string LocalTimeText() const override { return system_.LocalTimeText(); }

private:
    LiveWait& wait_;
    SystemClock system_;
};

}  // namespace quillon
