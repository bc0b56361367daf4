#pragma once

#include <unistd.h>

#include <string>
#include <vector>

namespace quillon::testing {

// In a forked child: replaces it by `program` with `arguments` (argv[0] is `program`); ends
// the child with status 127 when the program cannot be run.
[[noreturn]] inline void ExecProgram(const std::string& program,
                                     const std::vector<std::string>& arguments) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace quillon::testing
