#pragma once

#include "runtime/operator_panel.h"
#include "runtime/window_timer.h"

namespace quillon {

// Pauses the periodic connection check for a scope and puts it back as it was, so that an
// operation nested in another (Auto's steps) leaves the check paused for the outer one.
class ConnectionCheckPause {
public:
    explicit ConnectionCheckPause(ConnectionTimer& timer)
        : timer_(timer), wasEnabled_(timer.IsEnabled()) {
        timer_.SetEnabled(false);
    }
    ~ConnectionCheckPause() { timer_.SetEnabled(wasEnabled_); }
    ConnectionCheckPause(const ConnectionCheckPause&) = delete;
    ConnectionCheckPause& operator=(const ConnectionCheckPause&) = delete;

private:
    ConnectionTimer& timer_;
    bool wasEnabled_;
};

// Shows the busy cursor over `area` for a scope.
class BusyCursor {
public:
    explicit BusyCursor(OperatorPanel& panel, CursorArea area = CursorArea::Window)
        : panel_(panel), area_(area) {
        panel_.SetBusyCursor(true, area_);
    }
    ~BusyCursor() { panel_.SetBusyCursor(false, area_); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    OperatorPanel& panel_;
    CursorArea area_;
};

}  // namespace quillon
