#include "platform/command_line.h"

namespace quillon::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace quillon::platform
