#include "platform/program_file.h"

#include <windows.h>

#include <string>

namespace quillon::platform {

std::filesystem::path RunningProgramFile() {
    // Long paths can exceed MAX_PATH: grow the buffer until the name fits.
    constexpr DWORD kFirstSize = MAX_PATH;
    constexpr DWORD kLargestSize = 32768;  // the longest path Windows knows
    for (DWORD size = kFirstSize; size <= kLargestSize; size *= 2) {
        std::wstring name(size, L'\0');
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            name.resize(length);
            return std::filesystem::path(name);
        }
    }
    return {};
}

}  // namespace quillon::platform
