#pragma once

// The few POSIX file calls the core makes, as the Windows C runtime offers them. The build
// puts this header in front of every source file of a Windows build, so that the core's
// descriptor-based readers and writers compile unchanged:
// - every descriptor is opened in binary mode and not inherited by child processes (the
//   core opens every file with O_CLOEXEC);
// - paths given as std::filesystem::path reach the system as UTF-16 (_wopen, _waccess);
// - there are no FIFOs in a Windows folder, so O_NONBLOCK has nothing to do;
// - file sizes are 64-bit (_FILE_OFFSET_BITS=64 from the build);
// - fsync is the runtime's _commit, which flushes the file's buffers to the disk.

#ifdef __cplusplus
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
// No controlling terminals on Windows.
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

inline int open(const wchar_t* path, int flags, int mode = _S_IREAD | _S_IWRITE) {
    return ::_wopen(path, flags, mode);
}

inline int access(const wchar_t* path, int mode) {
    return ::_waccess(path, mode);
}

// The runtime counts bytes in unsigned int; one call moves at most 1 GiB here, and the
// callers loop until everything has moved.
inline constexpr std::size_t kLargestCrtTransfer = 1u << 30;

inline int read(int fd, void* buffer, std::size_t count) {
    return ::_read(fd, buffer, static_cast<unsigned>(std::min(count, kLargestCrtTransfer)));
}

inline int write(int fd, const void* buffer, std::size_t count) {
    return ::_write(fd, buffer, static_cast<unsigned>(std::min(count, kLargestCrtTransfer)));
}

inline int fsync(int fd) {
    return ::_commit(fd);
}

inline int setenv(const char* name, const char* value, int overwrite) {
    if (overwrite == 0 && std::getenv(name) != nullptr) {
        return 0;
    }
    return ::_putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    return ::_putenv_s(name, "") == 0 ? 0 : -1;
}

// A new folder named after the pattern's trailing "XXXXXX"; the pattern is filled in.
inline char* mkdtemp(char* pattern) {
    const std::size_t size = std::strlen(pattern) + 1;
    constexpr int kAttempts = 100;
    std::string original(pattern);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::memcpy(pattern, original.c_str(), size);
        if (::_mktemp_s(pattern, size) != 0) {
            return nullptr;
        }
        if (::_mkdir(pattern) == 0) {
            return pattern;
        }
    }
    return nullptr;
}
#endif
