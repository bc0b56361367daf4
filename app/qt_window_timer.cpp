#include "app/qt_window_timer.h"

namespace quillon {

QtWindowTimer::QtWindowTimer(const char* name, int intervalMs, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)) {
    setObjectName(name);
    timer_->setObjectName(name);
    timer_->setInterval(intervalMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (!tick_) {
            return;
        }
        if (gate_) {
            const std::function<void()> tick = tick_;  // the tick may install another
            gate_(tick);
        } else {
            tick_();
        }
    });
}

void QtWindowTimer::SetEnabled(bool enabled) {
    if (enabled && !timer_->isActive()) {
        timer_->start();
    } else if (!enabled) {
        timer_->stop();
    }
}

}  // namespace quillon
