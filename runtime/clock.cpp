#include "runtime/clock.h"

#include <cstdio>
#include <ctime>
#include <thread>

namespace quillon {

namespace {
std::string TimeOfDay(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}
}  // namespace

void SystemClock::Sleep(Millis duration) {
    std::this_thread::sleep_for(duration);
}

Millis SystemClock::Now() const {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch());
}

std::string SystemClock::LocalTimeText() const {
    return TimeOfDay(std::time(nullptr));
}

void VirtualClock::Sleep(Millis duration) {
    sleeps_.push_back(duration);
    now_ += duration;
    if (onSleep) {
        onSleep(duration);
    }
}

std::string VirtualClock::LocalTimeText() const {
    // A fixed day starting at midnight keeps logs in tests repeatable.
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now_).count();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

}  // namespace quillon
