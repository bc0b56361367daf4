// quillon-cli: the programming station without a window, for production lines and scripts.
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "platform/command_line.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments = quillon::platform::CommandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (auto& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return quillon::cli::CliMain(static_cast<int>(arguments.size()), pointers.data());
}
