#include "tests/cli/cli_process.h"

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>
#include <sys/prctl.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "board/driver_loader.h"
#include "platform/virtual_board_socket.h"
#include "tests/support/exec_program.h"

namespace quillon::cli::test {

namespace {
std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The child's side of a run: its folder, environment and program.
[[noreturn]] void ExecProgram(const std::string& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& folder,
                              const std::map<std::string, std::string>& environment) {
    if (chdir(folder.c_str()) != 0) {
        _exit(127);
    }
    for (const auto& [name, value] : environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    quillon::testing::ExecProgram((BinFolder() / program).string(), arguments);
}
}  // namespace

std::filesystem::path BinFolder() {
    return ProgramFolder();
}

std::unique_ptr<StartedProgram> StartProgram(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const std::filesystem::path& folder,
                                             const std::map<std::string, std::string>& environment,
                                             const std::string& tag) {
    auto outFile = folder / (".stdout" + tag);
    auto errFile = folder / (".stderr" + tag);
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen(outFile.c_str(), "w", stdout) || !freopen(errFile.c_str(), "w", stderr)) {
            _exit(127);
        }
        ExecProgram(program, arguments, folder, environment);
    }
    return std::make_unique<StartedProgram>(child, std::move(outFile), std::move(errFile));
}

StartedProgram::~StartedProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

ProcessResult StartedProgram::Finish() {
    ProcessResult result;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadAll(outFile_);
    result.err = ReadAll(errFile_);
    std::filesystem::remove(outFile_);
    std::filesystem::remove(errFile_);
    return result;
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& folder,
                         const std::map<std::string, std::string>& environment,
                         int interruptAfterMs) {
    auto started = StartProgram(program, arguments, folder, environment);
    if (interruptAfterMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
        kill(started->Pid(), SIGINT);
    }
    return started->Finish();
}

ProcessResult RunOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                            const std::filesystem::path& folder,
                            const std::map<std::string, std::string>& environment) {
    constexpr unsigned short kRows = 50;
    winsize size{};
    size.ws_row = kRows;
    size.ws_col = kTerminalColumns;
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
    if (child < 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    if (child == 0) {
        auto withTerm = environment;
        withTerm.emplace("TERM", "xterm");
        ExecProgram(program, arguments, folder, withTerm);
    }
    ProcessResult result;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got > 0) {
            result.out.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO: the program has ended and closed the terminal
        }
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace quillon::cli::test

namespace quillon::cli::test {

SimDaemon::SimDaemon(const std::filesystem::path& scenario, const std::filesystem::path& folder,
                     int boards)
    : folder_(folder), socket_(folder / "sim.sock") {
    const auto state = folder / "sim-state";
    std::filesystem::create_directories(state);
    const std::string program = (BinFolder() / "vessa-sim").string();
    const std::string boardCount = std::to_string(boards);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(0);
        }
        if (!freopen((folder / "sim.log").c_str(), "w", stderr)) {
            _exit(127);
        }
        execl(program.c_str(), program.c_str(), "serve", "--scenario", scenario.c_str(), "--socket",
              socket_.c_str(), "--state", state.c_str(), "--boards", boardCount.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // The boards' sockets appear in board order: the last one's says all are there.
    const std::filesystem::path last = BoardSocketPath(socket_.string(), boards - 1);
    for (int i = 0; i < 500 && !std::filesystem::exists(last); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!std::filesystem::exists(last)) {
        throw std::runtime_error("vessa-sim did not start: " + ReadAll(folder / "sim.log"));
    }
}

SimDaemon::~SimDaemon() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

int SimDaemon::Control(const std::vector<std::string>& words) const {
    std::vector<std::string> arguments = words;
    arguments.push_back("--socket");
    arguments.push_back(socket_.string());
    return RunProgram("vessa-sim", arguments, folder_).status;
}

}  // namespace quillon::cli::test
