#include "platform/locked_file.h"

#include <windows.h>

#include "platform/system_error_text.h"
#include "platform/win/file_handle.h"

namespace quillon::platform {

namespace {

// Windows locks are byte ranges that also stop reads and writes through other handles. One
// byte far beyond any real file's end serves as the lock, so readers are never stopped.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockLength = 1;
// Every handle lets others read, append and rename the file (a replay renames the spool
// while appenders wait for its lock).
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

struct LockedFile::Handle : FileHandle {
    using UniqueHandle::UniqueHandle;
};

void LockedFile::HandleCloser::operator()(Handle* handle) const {
    delete handle;
}

bool LockedFile::Fail() {
    problem_ = SystemErrorText(::GetLastError());
    return false;
}

LockedFile LockedFile::ForAppend(const std::filesystem::path& file, std::filesystem::perms) {
    // Append access without write access: every write lands at the end of the file. Read
    // access is what a lock needs.
    return Opened(::CreateFileW(
        file.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

LockedFile LockedFile::ForReading(const std::filesystem::path& file) {
    return Opened(::CreateFileW(file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool LockedFile::Lock(Wait wait) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    const DWORD flags =
        LOCKFILE_EXCLUSIVE_LOCK | (wait == Wait::Yes ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    return ::LockFileEx(handle_->Get(), flags, 0, kLockLength, 0, &at) || Fail();
}

bool LockedFile::IsNamedBy(const std::filesystem::path& file) {
    const FileHandle named(::CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION held{};
    BY_HANDLE_FILE_INFORMATION found{};
    return named.Valid() && ::GetFileInformationByHandle(handle_->Get(), &held) &&
           ::GetFileInformationByHandle(named.Get(), &found) &&
           held.dwVolumeSerialNumber == found.dwVolumeSerialNumber &&
           held.nFileIndexHigh == found.nFileIndexHigh && held.nFileIndexLow == found.nFileIndexLow;
}

std::int64_t LockedFile::Size() {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_->Get(), &size)) {
        Fail();
        return -1;
    }
    return size.QuadPart;
}

bool LockedFile::Append(std::string_view text) {
    // One WriteFile moves at most 4 GiB; a record is far smaller.
    if (text.size() > MAXDWORD) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return Fail();
    }
    const std::int64_t end = Size();
    if (end < 0) {
        return false;
    }
    DWORD written = 0;
    const bool wrote = ::WriteFile(handle_->Get(), text.data(), static_cast<DWORD>(text.size()),
                                   &written, nullptr);
    if (wrote && written == text.size()) {
        return true;
    }
    const DWORD error = wrote ? ERROR_DISK_FULL : ::GetLastError();
    CutBackTo(end);
    ::SetLastError(error);
    return Fail();
}

bool LockedFile::CutBackTo(std::int64_t size) {
    // The handle may only append: the end is set through a second handle with write access.
    const FileHandle writer(::ReOpenFile(handle_->Get(), GENERIC_WRITE, kShareAll, 0));
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return writer.Valid() &&
           ::SetFileInformationByHandle(writer.Get(), FileEndOfFileInfo, &end, sizeof end);
}

bool LockedFile::Flush() {
    return ::FlushFileBuffers(handle_->Get()) || Fail();
}

}  // namespace quillon::platform
