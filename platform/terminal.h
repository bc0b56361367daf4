#pragma once

#include <cstdio>

namespace quillon::platform {

// True when the stream is an interactive terminal (a console window on Windows), where a
// progress line may be redrawn in place; false when it goes to a file or a pipe.
bool IsTerminal(std::FILE* stream);

}  // namespace quillon::platform
