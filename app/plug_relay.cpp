#include "app/plug_relay.h"

#include <QTimer>

#include "app/platform/device_watcher.h"
#include "station/station.h"

namespace quillon {

namespace {
constexpr int kRetryMs = 50;
}

PlugRelay::PlugRelay(DeviceWatcher& watcher, Station& station, QObject* parent)
    : QObject(parent), station_(station) {
    retry_ = new QTimer(this);
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, &PlugRelay::Deliver);
    connect(&watcher, &DeviceWatcher::arrived, this, [this] { Queue(Event::Arrival); });
    connect(&watcher, &DeviceWatcher::removed, this, [this] { Queue(Event::Removal); });
}

void PlugRelay::Queue(Event event) {
    pending_.push_back(event);
    Deliver();
}

void PlugRelay::Deliver() {
    while (!pending_.empty()) {
        const Event event = pending_.front();
        BoardSession& session = station_.Session();
        const bool ran = station_.StartupDone() && station_.RunHandler([&] {
            if (event == Event::Arrival) {
                session.OnBoardArrived();
            } else if (station_.BoardIndex() == 0 || !session.BoardAnswers()) {
                session.OnBoardRemoved();
            }
        });
        if (!ran) {
            retry_->start();
            return;
        }
        pending_.pop_front();
    }
    retry_->stop();
}

}  // namespace quillon
