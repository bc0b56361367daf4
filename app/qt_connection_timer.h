#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "ui/connection_timer.h"

namespace quillon {

// Timer1 on a QTimer: every 2000 ms while enabled, the tick handler runs the connection check.
class QtConnectionTimer final : public QObject, public ConnectionTimer {
    Q_OBJECT
public:
    explicit QtConnectionTimer(QObject* parent = nullptr);

    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override { return timer_->isActive(); }

    void SetTickHandler(std::function<void()> handler) { tick_ = std::move(handler); }
    // Every tick goes through the gate when one is set: the window drops a tick that falls
    // due while other work runs.
    using TickGate = std::function<void(const std::function<void()>& tick)>;
    void SetTickGate(TickGate gate) { gate_ = std::move(gate); }
    QTimer* Timer() const { return timer_; }

private:
    QTimer* timer_ = nullptr;
    std::function<void()> tick_;
    TickGate gate_;
};

}  // namespace quillon
