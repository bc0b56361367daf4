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

}  // namespace quillon::platform
