#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quillon::cli::test {

// What one run of a program gave.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` (a file beside the test program) with `arguments` in `folder`, with the
// extra environment variables, and collects its exit status and both output streams.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& folder,
                         const std::map<std::string, std::string>& environment = {});

// The folder of the test program, where the programs under test are built.
std::filesystem::path BinFolder();

}  // namespace quillon::cli::test
