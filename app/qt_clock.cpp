#include "app/qt_clock.h"

#include <QEventLoop>
#include <QTimer>

#include "app/live_wait.h"

namespace quillon {

void QtClock::Sleep(Millis duration) {
    if (duration.count() <= 0) {
        return;
    }
    const Millis end = Now() + duration;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(duration.count()));
    wait_.Exec(loop, [&] {
        const Millis now = Now();
        if (now >= end) {
            return true;
        }
        // Ended early (the application is quitting): wait out the rest.
        if (!timer.isActive()) {
            timer.start(static_cast<int>((end - now).count()));
        }
        return false;
    });
}

}  // namespace quillon
