#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

// The program's arguments as UTF-8, the program's own text. Windows hands main() its
// arguments in the ANSI code page, which cannot hold every name: there they are taken from
// the wide command line instead.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace quillon::platform
