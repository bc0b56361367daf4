#include "app/qt_halt_poll_timer.h"

namespace quillon {

QtHaltPollTimer::QtHaltPollTimer(QObject* parent) : QObject(parent) {
    timer_ = new QTimer(parent ? parent : this);
    timer_->setObjectName("Timer2");
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (tick_) {
            tick_();
        }
    });
}

void QtHaltPollTimer::SetEnabled(bool enabled) {
    if (enabled && !timer_->isActive()) {
        timer_->start();
    } else if (!enabled) {
        timer_->stop();
    }
}

}  // namespace quillon
