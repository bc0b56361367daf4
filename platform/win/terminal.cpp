#include "platform/terminal.h"

#include <io.h>
#include <windows.h>

namespace quillon::platform {

bool IsTerminal(std::FILE* stream) {
    // The C runtime's isatty() is also true for the NUL device; only a console has a mode.
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace quillon::platform
