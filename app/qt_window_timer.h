#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "runtime/window_timer.h"

namespace quillon {

// A window timer on a QTimer: while enabled, the tick handler runs every interval. The QTimer
// and this object both carry the timer's name ("Timer1", "Timer2").
class QtWindowTimer final : public QObject, public WindowTimer {
    Q_OBJECT
public:
    QtWindowTimer(const char* name, int intervalMs, QObject* parent = nullptr);

    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override { return timer_->isActive(); }

    void SetTickHandler(std::function<void()> handler) { tick_ = std::move(handler); }
    // Every tick goes through the gate when one is set: the window drops a tick that falls
    // due while other work runs.
    using TickGate = std::function<void(const std::function<void()>& tick)>;
    void SetTickGate(TickGate gate) { gate_ = std::move(gate); }
    QTimer* Timer() const { return timer_; }

private:
    QTimer* timer_ = nullptr;  // child of this object
    std::function<void()> tick_;
    TickGate gate_;
};

}  // namespace quillon
