#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "ui/halt_poll_timer.h"

namespace quillon {

// Timer2 on a QTimer: every 1 ms while enabled, the tick handler runs the USB-PD halt poll.
class QtHaltPollTimer final : public QObject, public HaltPollTimer {
    Q_OBJECT
public:
    explicit QtHaltPollTimer(QObject* parent = nullptr);

    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override { return timer_->isActive(); }

    void SetTickHandler(std::function<void()> handler) { tick_ = std::move(handler); }

private:
    QTimer* timer_ = nullptr;
    std::function<void()> tick_;
};

}  // namespace quillon
