#include "platform/stop_requests.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>

#include "platform/win/stop_pipe.h"

namespace quillon::platform {

void WatchStopRequests(void (*onStop)(int)) {
    wchar_t value[32] = {};
    const DWORD length = ::GetEnvironmentVariableW(kStopPipeVariable, value, 32);
    if (length == 0 || length >= 32) {
        return;
    }
    // This program's own children never take the handle for theirs.
    ::SetEnvironmentVariableW(kStopPipeVariable, nullptr);
    std::uintmax_t number = 0;
    try {
        number = std::stoull(std::wstring(value, length));
    } catch (const std::exception&) {
        return;
    }
    const HANDLE pipe = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(number));
    if (::GetFileType(pipe) != FILE_TYPE_PIPE) {
        return;  // not a handle this program inherited
    }
    // Each byte is one stop; the parent's end closing ends the watch (the parent went away,
    // which asks nothing of this run).
    std::thread([pipe, onStop] {
        unsigned char signal = 0;
        DWORD got = 0;
        while (::ReadFile(pipe, &signal, 1, &got, nullptr) != 0) {
            if (got == 1 && signal != 0) {
                onStop(signal);
            }
        }
        ::CloseHandle(pipe);
    }).detach();
}

}  // namespace quillon::platform
