#pragma once

#include <QObject>

#include <deque>

class QTimer;

namespace quillon {

class DeviceWatcher;
class Station;

// Hands the device watcher's plug-in and plug-out events to the station's plug handler, in
// the order they came. An event that arrives while other work runs (start-up, an operation,
// a wait) is held until the station is free: the board is never unbound under a call in
// flight.
// With several boards on one computer the events may be another board's: a USB board's
// arrival and removal name its class, not which board (Windows' device-interface
// notifications, the USB IDs on Linux; the virtual board's per-board socket is exact). An
// arrival binds only the station's own board, so another board's arrival finds nothing to
// bind; a removal is taken for the station of board N > 0 only when its own board no longer
// answers. Board 0 takes every removal, as a one-board bench always has.
class PlugRelay final : public QObject {
    Q_OBJECT
public:
    PlugRelay(DeviceWatcher& watcher, Station& station, QObject* parent = nullptr);

    // Events still waiting for the station.
    std::size_t Pending() const { return pending_.size(); }

private:
    enum class Event { Arrival, Removal };
    void Queue(Event event);
    void Deliver();

    Station& station_;
    std::deque<Event> pending_;
    QTimer* retry_ = nullptr;
};

}  // namespace quillon
