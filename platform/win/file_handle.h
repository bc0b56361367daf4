#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace quillon::platform {

// CreateFileW's handles: INVALID_HANDLE_VALUE holds nothing.
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;

// The handles of a process, a thread or an event: NULL holds nothing.
struct ObjectHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

using ObjectHandle = UniqueHandle<ObjectHandleTraits>;

}  // namespace quillon::platform
