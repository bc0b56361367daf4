#include "app/qt_call_runner.h"

#include <QEventLoop>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <exception>

#include "app/live_wait.h"

namespace quillon {

namespace {
// How long the UI thread polls for a fast call before it waits in the event loop, and how
// long the worker polls for the next call before it sleeps. Both are far below one frame.
constexpr auto kUiSpin = std::chrono::microseconds(1000);
constexpr auto kWorkerSpin = std::chrono::microseconds(500);
}  // namespace

struct QtCallRunner::Job {
    explicit Job(const std::function<void()>& c) : call(c) {}
    const std::function<void()>& call;
    std::exception_ptr error;
    std::atomic<bool> done{false};
    // The loop the UI thread waits in; set and cleared under the runner's mutex.
    QEventLoop* loop = nullptr;
};

QtCallRunner::QtCallRunner(LiveWait& wait) : wait_(wait), worker_([this] { WorkerMain(); }) {}

QtCallRunner::~QtCallRunner() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void QtCallRunner::Run(const std::function<void()>& call) {
    if (std::this_thread::get_id() == worker_.get_id()) {
        call();  // a call made by a call: already off the UI thread
        return;
    }
    Job job(call);
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(&job);
    }
    wake_.notify_one();

    const auto spinEnd = std::chrono::steady_clock::now() + kUiSpin;
    while (!job.done.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < spinEnd) {
        std::this_thread::yield();
    }
    if (!job.done.load(std::memory_order_acquire)) {
        QEventLoop loop;
        {
            const std::lock_guard lock(mutex_);
            if (!job.done.load(std::memory_order_acquire)) {
                job.loop = &loop;
            }
        }
        wait_.Exec(loop, [&] { return job.done.load(std::memory_order_acquire); });
        // The worker posts to the loop only under the mutex: once `done` was seen and the
        // mutex taken, nothing touches the loop again (a quit still queued goes with it).
        const std::lock_guard lock(mutex_);
        job.loop = nullptr;
    }
    if (job.error) {
        std::rethrow_exception(job.error);
    }
}

void QtCallRunner::Finish(Job& job) {
    const std::lock_guard lock(mutex_);
    // The caller's spin returns the moment it sees `done`, and `job` lives in its frame: read
    // everything needed before that. The loop itself stays alive until the caller has taken
    // the mutex, which this holds.
    QEventLoop* const loop = job.loop;
    job.done.store(true, std::memory_order_release);
    if (loop != nullptr) {
        QMetaObject::invokeMethod(loop, "quit", Qt::QueuedConnection);
    }
}

void QtCallRunner::WorkerMain() {
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            // Back-to-back calls (a flash loop's blocks) find the next one without a sleep.
            const auto spinEnd = std::chrono::steady_clock::now() + kWorkerSpin;
            while (queue_.empty() && !quit_ && std::chrono::steady_clock::now() < spinEnd) {
                lock.unlock();
                std::this_thread::yield();
                lock.lock();
            }
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;  // quit, with no call left
            }
            job = queue_.front();
            queue_.pop_front();
        }
        try {
            job->call();
        } catch (...) {
            job->error = std::current_exception();
        }
        Finish(*job);
    }
}

}  // namespace quillon
