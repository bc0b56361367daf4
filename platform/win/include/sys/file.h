#pragma once

// flock() for the Windows build: an exclusive or shared lock over the whole file through
// LockFileEx, released with the descriptor. Only what the core uses.

#include <io.h>
#include <windows.h>

#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8

inline int flock(int fd, int operation) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        return -1;
    }
    OVERLAPPED whole{};
    constexpr DWORD kAll = 0xFFFFFFFF;
    if ((operation & LOCK_UN) != 0) {
        return ::UnlockFileEx(handle, 0, kAll, kAll, &whole) ? 0 : -1;
    }
    DWORD flags = (operation & LOCK_EX) != 0 ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if ((operation & LOCK_NB) != 0) {
        flags |= LOCKFILE_FAIL_IMMEDIATELY;
    }
    return ::LockFileEx(handle, flags, 0, kAll, kAll, &whole) ? 0 : -1;
}
