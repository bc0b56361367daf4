#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

// One argument as the C runtime and CommandLineToArgvW read it back unchanged: as it is when
// it holds no space, tab, line break or quote and is not empty; else in quotes, each quote
// escaped with a backslash and the backslashes before a quote (or before the closing quote)
// doubled.
std::wstring QuotedArgument(const std::wstring& argument);

// The command line that starts `program` with `arguments` (UTF-8): the program in quotes (a
// Windows path holds no quote, and the first word is read without backslash escapes), then
// each argument quoted as above.
std::wstring QuotedCommandLine(const std::wstring& program,
                               const std::vector<std::string>& arguments);

}  // namespace quillon::platform
