#include "app/qt_connection_timer.h"

namespace quillon {

QtConnectionTimer::QtConnectionTimer(QObject* parent) : QObject(parent) {
    timer_ = new QTimer(parent ? parent : this);
    timer_->setObjectName("Timer1");
    timer_->setInterval(kIntervalMs);
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

void QtConnectionTimer::SetEnabled(bool enabled) {
    if (enabled && !timer_->isActive()) {
        timer_->start();
    } else if (!enabled) {
        timer_->stop();
    }
}

}  // namespace quillon
