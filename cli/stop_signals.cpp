#include "cli/stop_signals.h"

#include <atomic>
#include <chrono>
#include <csignal>

#include "platform/stop_requests.h"

namespace quillon::cli {

namespace {

std::atomic<int> stopSignal{0};
std::atomic<long long> lastSignalMs{0};

long long NowMs() {
    // steady_clock reads CLOCK_MONOTONIC, which a signal handler may call.
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

extern "C" void OnStopSignal(int signal) {
    const long long now = NowMs();
    int none = 0;
    if (!stopSignal.compare_exchange_strong(none, signal) &&
        now - lastSignalMs.load() < kSecondSignalWindowMs) {
        // Asked twice: end the program the signal's ordinary way.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    lastSignalMs.store(now);
#ifdef _WIN32
    // The Windows C runtime puts the default action back before it calls a handler: the
    // next signal is this handler's too, as on POSIX.
    std::signal(signal, OnStopSignal);
#endif
}

}  // namespace

void InstallStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, OnStopSignal);
#endif
#ifdef SIGBREAK
    // Windows: Ctrl+Break.
    std::signal(SIGBREAK, OnStopSignal);
#endif
    // A gang's station on Windows: the gang's stop, passed on.
    platform::WatchStopRequests(OnStopSignal);
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

int StopSignal() {
    return stopSignal.load();
}

std::string StopSignalCause(int signal) {
    return "stopped by signal " + std::to_string(signal);
}

}  // namespace quillon::cli
