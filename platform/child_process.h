#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quillon::platform {

// A program run as a child of this one, its standard output and standard error on pipes this
// process reads and its standard input the null device. It runs in a process group of its
// own (Windows: without a console), so that a terminal's Ctrl+C reaches only this process,
// which passes it on once (Signal): a child that got it twice would end at once instead of
// stopping cleanly.
class ChildProcess {
public:
    enum class Stream { Out, Err };

    // Starts `program` with `arguments` (argv[0] is `program`). Throws std::runtime_error,
    // naming the program and the system's reason, when it cannot be started.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    // A child still running is killed and waited for.
    ~ChildProcess();
    ChildProcess(ChildProcess&&) noexcept;
    ChildProcess& operator=(ChildProcess&&) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what the child wrote on one stream: up to `size` bytes, blocking until some came;
    // 0 at the stream's end. The two streams may be read from two threads at once.
    std::size_t Read(Stream stream, char* buffer, std::size_t size);
    // Sends the child `signal` (SIGINT, SIGTERM, SIGHUP; on Windows the signal's number goes
    // through the child's stop pipe, which quillon-cli takes as that signal, see
    // platform/stop_requests.h); nothing once it has been waited for.
    void Signal(int signal);
    // Ends the child at once (SIGKILL; on Windows TerminateProcess, reported as 128 + 9); it
    // is still to be waited for.
    void Kill();
    // Waits for the child to end: its exit status, or 128 + N when signal N ended it (as a
    // shell reports it).
    int Wait();

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

}  // namespace quillon::platform
