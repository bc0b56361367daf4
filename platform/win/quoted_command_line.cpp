#include "platform/win/quoted_command_line.h"

#include "platform/system_error_text.h"

namespace quillon::platform {

std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are read as escapes: double them, then escape the quote.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    // Before the closing quote too.
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring QuotedCommandLine(const std::wstring& program,
                               const std::vector<std::string>& arguments) {
    std::wstring line = L"\"" + program + L"\"";
    for (const auto& argument : arguments) {
        line += L' ';
        line += QuotedArgument(Widen(argument));
    }
    return line;
}

}  // namespace quillon::platform
