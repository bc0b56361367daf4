#include "platform/command_line.h"

#include <windows.h>
// windows.h first: shellapi.h uses its types.
#include <shellapi.h>

#include "platform/system_error_text.h"

namespace quillon::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Narrow(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace quillon::platform
