#include "platform/terminal.h"

#include <unistd.h>

namespace quillon::platform {

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

}  // namespace quillon::platform
