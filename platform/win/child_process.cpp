#include "platform/child_process.h"

#include <stdexcept>

namespace quillon::platform {

// Not there yet on Windows: a console child's standard streams, and a stop it takes as
// Ctrl+C, need CreateProcessW with inherited pipe handles and a console process group.
struct ChildProcess::Handles {};

bool ChildProcessesAvailable() {
    return false;
}

ChildProcess::ChildProcess(const std::filesystem::path&, const std::vector<std::string>&) {
    throw std::runtime_error("child processes are not available on this platform");
}

ChildProcess::~ChildProcess() = default;
ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;

std::size_t ChildProcess::Read(Stream, char*, std::size_t) {
    return 0;
}

void ChildProcess::Signal(int) {}

void ChildProcess::Kill() {}

int ChildProcess::Wait() {
    return -1;
}

}  // namespace quillon::platform
