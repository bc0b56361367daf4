#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "runtime/blocking_call.h"

namespace quillon {

class LiveWait;

// The window's blocking-call seam: each call runs on one long-lived worker thread while the
// UI thread waits live (LiveWait: repaints and timers, no user input, Stop registered).
// A call that ends within a short spin is collected without entering the event loop, so a
// fast library call costs little more than the thread hand-off.
class QtCallRunner final : public BlockingCallRunner {
public:
    explicit QtCallRunner(LiveWait& wait);
    ~QtCallRunner() override;
    QtCallRunner(const QtCallRunner&) = delete;
    QtCallRunner& operator=(const QtCallRunner&) = delete;

    // Runs `call` on the worker and returns when it has finished; an exception the call
    // throws is thrown again here. Called on the UI thread only.
    void Run(const std::function<void()>& call) override;

    std::thread::id WorkerId() const { return worker_.get_id(); }

private:
    struct Job;
    void WorkerMain();
    void Finish(Job& job);

    LiveWait& wait_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job*> queue_;
    bool quit_ = false;
    std::thread worker_;
};

}  // namespace quillon
