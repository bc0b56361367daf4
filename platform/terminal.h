#pragma once

#include <cstddef>
#include <cstdio>

namespace quillon::platform {

// True when the stream is an interactive terminal (a console window on Windows), where a
// progress line may be redrawn in place; false when it goes to a file or a pipe.
bool IsTerminal(std::FILE* stream);

// True when the stream is a terminal that moves its cursor on the usual escape sequences:
// one whose TERM is not "dumb" (POSIX), a console that takes virtual-terminal sequences once
// asked to here (Windows 10 and later).
bool TakesCursorControl(std::FILE* stream);

// The terminal's width in characters, or 0 when the system cannot say.
std::size_t TerminalColumns(std::FILE* stream);

}  // namespace quillon::platform
