#pragma once

#include <filesystem>
#include <map>
#include <memory>
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
// extra environment variables, and collects its exit status and both output streams. With
// `interruptAfterMs`, the program gets an interrupt signal (Ctrl+C) after that time.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& folder,
                         const std::map<std::string, std::string>& environment = {},
                         int interruptAfterMs = 0);

// A program started by StartProgram: Finish waits for it and collects what it gave.
class StartedProgram {
public:
    StartedProgram(int pid, std::filesystem::path outFile, std::filesystem::path errFile)
        : pid_(pid), outFile_(std::move(outFile)), errFile_(std::move(errFile)) {}
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
    ~StartedProgram();
    int Pid() const { return pid_; }
    ProcessResult Finish();

private:
    int pid_;
    std::filesystem::path outFile_;
    std::filesystem::path errFile_;
};

// Starts `program` as RunProgram runs it; its output goes to files named after `tag`.
std::unique_ptr<StartedProgram> StartProgram(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::filesystem::path& folder,
                                             const std::map<std::string, std::string>& environment,
                                             const std::string& tag = "");

// Runs `program` as RunProgram does, with standard output and standard error on one
// pseudo-terminal of kTerminalColumns columns; `out` is everything the terminal received.
ProcessResult RunOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                            const std::filesystem::path& folder,
                            const std::map<std::string, std::string>& environment = {});
inline constexpr unsigned short kTerminalColumns = 200;

// The folder of the test program, where the programs under test are built.
std::filesystem::path BinFolder();

}  // namespace quillon::cli::test

namespace quillon::cli::test {

// A vessa-sim daemon serving a scenario on a socket in `folder` for the life of the object.
// It is stopped when the object goes, and also when the test program dies.
class SimDaemon {
public:
    // `boards`: how many boards it plays (serve --boards).
    SimDaemon(const std::filesystem::path& scenario, const std::filesystem::path& folder,
              int boards = 1);
    ~SimDaemon();
    SimDaemon(const SimDaemon&) = delete;
    SimDaemon& operator=(const SimDaemon&) = delete;

    const std::filesystem::path& Socket() const { return socket_; }
    // A control command ("fault ...", "dump external FILE", "--board 1 unplug"): its exit
    // status.
    int Control(const std::vector<std::string>& words) const;

private:
    std::filesystem::path folder_;
    std::filesystem::path socket_;
    int pid_ = -1;
};

}  // namespace quillon::cli::test
