#include "cli/gang/child_lines.h"

namespace quillon::cli {

namespace {
constexpr std::size_t kChunk = 4096;
}  // namespace

ChildLines::~ChildLines() {
    Join();
}

void ChildLines::Join() {
    for (auto& reader : readers_) {
        if (reader.joinable()) {
            reader.join();
        }
    }
}

void ChildLines::Follow(std::size_t child, platform::ChildProcess& process) {
    using Stream = platform::ChildProcess::Stream;
    for (const Stream stream : {Stream::Out, Stream::Err}) {
        readers_.emplace_back([this, child, &process, stream] { Read(child, process, stream); });
    }
}

void ChildLines::Put(ChildLine line) {
    {
        const std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    arrived_.notify_one();
}

void ChildLines::Read(std::size_t child, platform::ChildProcess& process,
                      platform::ChildProcess::Stream stream) {
    std::string partial;
    char buffer[kChunk];
    for (;;) {
        const std::size_t got = process.Read(stream, buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        partial.append(buffer, got);
        std::size_t start = 0;
        for (std::size_t end; (end = partial.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string text = partial.substr(start, end - start);
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
            }
            Put({child, stream, std::move(text), false});
        }
        partial.erase(0, start);
    }
    if (!partial.empty()) {
        Put({child, stream, std::move(partial), false});
    }
    Put({child, stream, {}, true});
}

std::vector<ChildLine> ChildLines::Take(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [this] { return !lines_.empty(); });
    std::vector<ChildLine> taken(std::make_move_iterator(lines_.begin()),
                                 std::make_move_iterator(lines_.end()));
    lines_.clear();
    return taken;
}

}  // namespace quillon::cli
