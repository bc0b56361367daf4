#pragma once

#include <QObject>

#include <functional>

class QEventLoop;

namespace quillon {

// How the UI thread waits for a blocking call or a timed wait: in a local event loop that
// keeps repainting and running timers but hands no user input to any handler, so that no
// handler of ours starts inside another. The one exception is a press on the enabled Stop
// button (BitBtn_Stop): it registers the stop request at once, and the running operation
// notices it at its next check.
//
// Input is filtered rather than held back with QEventLoop::ExcludeUserInputEvents: that
// flag leaves the events in the platform's queue, where a Stop press could not be seen
// until the wait is over. Input for the main window that arrives during a wait is dropped, as
// the handlers would refuse it anyway while an operation runs. Input for an open modal box
// (a wait inside the box's own loop, as the USB-PD halt poll's board reads while the power
// prompt is open) goes through: an answer to a prompt is never lost.
class LiveWait final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kStopButtonName = "BitBtn_Stop";

    explicit LiveWait(QObject* parent = nullptr);

    // Called on the UI thread when Stop is pressed during a wait.
    void SetStopHandler(std::function<void()> onStop) { onStop_ = std::move(onStop); }

    // Runs `loop` (repeatedly, should something else end it early) until `finished()` holds.
    // The loop must be quit by whoever makes `finished()` true.
    void Exec(QEventLoop& loop, const std::function<bool()>& finished);

    // True while the UI thread is inside Exec.
    bool Waiting() const { return depth_ > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> onStop_;
    int depth_ = 0;
};

}  // namespace quillon
