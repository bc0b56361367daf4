#include "platform/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_descriptor.h"

namespace quillon::platform {

// flock: the lock belongs to the open file, so two opens in one process exclude each other
// as two processes do.
struct LockedFile::Handle : FileDescriptor {
    using UniqueHandle::UniqueHandle;
};

void LockedFile::HandleCloser::operator()(Handle* handle) const {
    delete handle;
}

bool LockedFile::Fail() {
    problem_ = std::strerror(errno);
    return false;
}

LockedFile LockedFile::ForAppend(const std::filesystem::path& file, std::filesystem::perms mode) {
    return Opened(
        ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode)));
}

LockedFile LockedFile::ForReading(const std::filesystem::path& file) {
    return Opened(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
}

bool LockedFile::Lock(Wait wait) {
    return ::flock(handle_->Get(), wait == Wait::Yes ? LOCK_EX : LOCK_EX | LOCK_NB) == 0 || Fail();
}

bool LockedFile::IsNamedBy(const std::filesystem::path& file) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(handle_->Get(), &opened) == 0 && ::stat(file.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

std::int64_t LockedFile::Size() {
    struct stat info {};
    if (::fstat(handle_->Get(), &info) != 0) {
        Fail();
        return -1;
    }
    return info.st_size;
}

bool LockedFile::Append(std::string_view text) {
    const std::int64_t end = Size();
    if (end < 0) {
        return false;
    }
    const ssize_t written = ::write(handle_->Get(), text.data(), text.size());
    if (written == static_cast<ssize_t>(text.size())) {
        return true;
    }
    const int error = written >= 0 ? ENOSPC : errno;
    CutBackTo(end);
    errno = error;
    return Fail();
}

bool LockedFile::CutBackTo(std::int64_t size) {
    return ::ftruncate(handle_->Get(), static_cast<off_t>(size)) == 0;
}

bool LockedFile::Flush() {
    return ::fsync(handle_->Get()) == 0 || Fail();
}

}  // namespace quillon::platform
