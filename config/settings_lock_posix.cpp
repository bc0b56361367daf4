// The settings lock on POSIX systems: an fcntl write lock on the whole lock file. The system
// releases it when the process ends, and F_GETLK names the holder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/settings_lock.h"
#include "platform/file_descriptor.h"

namespace quillon {

struct SettingsLock::Handle : platform::FileDescriptor {
    using UniqueHandle::UniqueHandle;
};

namespace {

struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end, however long the file grows
    return lock;
}

// The holder's process id: the system's answer, else what the holder wrote into the file
// (the system may not tell across containers).
long HolderOf(int fd) {
    struct flock probe = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK && probe.l_pid > 0) {
        return probe.l_pid;
    }
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    return got > 0 ? std::strtol(text, nullptr, 10) : 0;
}

bool TryLock(int fd) {
    struct flock lock = WholeFile(F_WRLCK);
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

bool WaitForLock(int fd) {
    struct flock lock = WholeFile(F_WRLCK);
    for (;;) {
        if (::fcntl(fd, F_SETLKW, &lock) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

void WriteOwnPid(int fd) {
    const std::string text = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        // Only for people and other systems looking at the file; the lock itself is what counts.
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
    }
}

}  // namespace

SettingsLock::SettingsLock() = default;
SettingsLock::SettingsLock(SettingsLock&&) noexcept = default;
SettingsLock& SettingsLock::operator=(SettingsLock&&) noexcept = default;
SettingsLock::~SettingsLock() = default;

SettingsLock SettingsLock::Acquire(const std::filesystem::path& settingsFile, LockWait wait,
                                   const std::function<void(long)>& waiting) {
    SettingsLock result;
    if (settingsFile.empty()) {
        return result;
    }
    const std::filesystem::path lockFile = LockFileOf(settingsFile);
    std::error_code error;
    if (lockFile.has_parent_path()) {
        std::filesystem::create_directories(lockFile.parent_path(), error);
    }
    // O_NOFOLLOW: a link planted in the settings folder must not make us write elsewhere.
    auto handle = std::make_unique<Handle>(
        ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    const int fd = handle->Get();
    if (fd < 0) {
        result.problem_ = "the lock file '" + lockFile.string() + "' cannot be opened (" +
                          std::strerror(errno) + ")";
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.problem_ = "the lock file '" + lockFile.string() + "' is not a regular file";
        return result;
    }
    if (!TryLock(fd)) {
        if (errno != EACCES && errno != EAGAIN) {
            result.problem_ = "the lock file '" + lockFile.string() + "' cannot be locked (" +
                              std::strerror(errno) + ")";
            return result;
        }
        const long holder = HolderOf(fd);
        if (wait == LockWait::No) {
            throw SettingsFileBusy(settingsFile, holder);
        }
        if (waiting) {
            waiting(holder);
        }
        if (!WaitForLock(fd)) {
            result.problem_ = "the lock file '" + lockFile.string() + "' cannot be locked (" +
                              std::strerror(errno) + ")";
            return result;
        }
    }
    WriteOwnPid(fd);
    result.handle_ = std::move(handle);
    return result;
}

}  // namespace quillon
