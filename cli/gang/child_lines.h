#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"

namespace quillon::cli {

// One line a child wrote, or the end of one of its streams.
struct ChildLine {
    std::size_t child = 0;
    platform::ChildProcess::Stream stream = platform::ChildProcess::Stream::Out;
    std::string text;
    bool ended = false;  // the stream ended (`text` is empty)
};

// Reads the two streams of every child on threads of their own, so that a child never waits
// for its reader however slowly this process writes what it reads (a pipe into `less`), and
// hands the lines over in the order they came. A last line without a line break is handed
// over when its stream ends.
class ChildLines {
public:
    ChildLines() = default;
    ~ChildLines();  // waits for the readers: end the children first
    ChildLines(const ChildLines&) = delete;
    ChildLines& operator=(const ChildLines&) = delete;

    // Starts reading both streams of `process`, the child numbered `child`. `process` stays
    // where it is until Join.
    void Follow(std::size_t child, platform::ChildProcess& process);
    // The lines and ends that came, waiting up to `timeout` when none are there yet.
    std::vector<ChildLine> Take(std::chrono::milliseconds timeout);
    // Waits for every reader to reach its stream's end.
    void Join();

private:
    void Read(std::size_t child, platform::ChildProcess& process,
              platform::ChildProcess::Stream stream);
    void Put(ChildLine line);

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<ChildLine> lines_;
    std::vector<std::thread> readers_;
};

}  // namespace quillon::cli
