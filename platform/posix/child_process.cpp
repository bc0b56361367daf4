#include "platform/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "platform/file_descriptor.h"

extern char** environ;

namespace quillon::platform {

namespace {

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
};

// Both ends close on exec: a child never holds another child's pipe open, so each stream
// ends when its own child ends.
Pipe MakePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("no pipe for a child process: ") +
                                 std::strerror(errno));
    }
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

// posix_spawn's attribute and file-action objects, destroyed however the start ends.
struct SpawnSetup {
    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

struct ChildProcess::Handles {
    pid_t pid = -1;
    FileDescriptor out;
    FileDescriptor err;
};

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments)
    : handles_(std::make_unique<Handles>()) {
    Pipe out = MakePipe();
    Pipe err = MakePipe();
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, out.write.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, err.write.Get(), STDERR_FILENO);
    // The stop signals and SIGPIPE as a fresh program has them, whatever this one does.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        sigaddset(&defaults, signal);
    }
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    const std::string file = program.string();
    std::vector<char*> argv = {const_cast<char*>(file.c_str())};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int failed = ::posix_spawn(&handles_->pid, file.c_str(), &setup.actions,
                                     &setup.attributes, argv.data(), environ);
    if (failed != 0) {
        throw std::runtime_error("cannot run '" + file + "': " + std::strerror(failed));
    }
    handles_->out = std::move(out.read);
    handles_->err = std::move(err.read);
}

ChildProcess::~ChildProcess() {
    if (handles_ && handles_->pid > 0) {
        ::kill(handles_->pid, SIGKILL);
        ::waitpid(handles_->pid, nullptr, 0);
    }
}

ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;

std::size_t ChildProcess::Read(Stream stream, char* buffer, std::size_t size) {
    const int fd = stream == Stream::Out ? handles_->out.Get() : handles_->err.Get();
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            return 0;  // a stream that cannot be read any further has ended for its reader
        }
    }
}

void ChildProcess::Signal(int signal) {
    if (handles_->pid > 0) {
        ::kill(handles_->pid, signal);
    }
}

void ChildProcess::Kill() {
    Signal(SIGKILL);
}

int ChildProcess::Wait() {
    if (handles_->pid <= 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(handles_->pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    handles_->pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace quillon::platform
