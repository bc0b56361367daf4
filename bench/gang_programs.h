#pragma once

// What the gang benchmarks share: the programs they run (vessa-sim and quillon-cli, beside
// the benchmark), started with posix_spawn and their output in a log file, and one
// `vessa-sim serve --boards N --timing real` (each board sleeping its datasheet device times).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "board/driver_loader.h"
#include "platform/virtual_board_socket.h"

extern char** environ;

namespace quillon::bench {

// The same pseudo-random image on every run, so runs compare.
inline std::string GangImage(std::size_t bytes) {
    std::mt19937_64 random(2026);
    std::string image(bytes, '\0');
    for (char& byte : image) {
        byte = static_cast<char>(random());
    }
    return image;
}

inline std::filesystem::path Bin(const char* program) {
    return std::filesystem::path(quillon::ProgramFolder()) / program;
}

// Starts `program` with `arguments`, standard output and error into `log`; its process id.
inline pid_t Spawn(const std::filesystem::path& program, std::vector<std::string> arguments,
                   const std::filesystem::path& log) {
    arguments.insert(arguments.begin(), program.string());
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + program.string());
    }
    return pid;
}

inline int WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// One `vessa-sim serve` playing `boards` boards on `socket`, with real device times; ended
// (SIGTERM) and waited for with its owner.
class ServedBoards {
public:
    ServedBoards(const std::filesystem::path& folder, int boards) : socket_(folder / "sim.sock") {
        std::filesystem::create_directories(folder / "state");
        pid_ = Spawn(Bin("vessa-sim"),
                     {"serve", "--scenario", QUILLON_BENCH_SCENARIO, "--boards",
                      std::to_string(boards), "--socket", socket_.string(), "--state",
                      (folder / "state").string(), "--timing", "real"},
                     folder / "sim.log");
        // The boards' sockets appear in board order: the last one's says all are there.
        const std::filesystem::path last = quillon::BoardSocketPath(socket_.string(), boards - 1);
        for (int i = 0; i < 500 && !std::filesystem::exists(last); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::setenv("VESSA_SIM_SOCKET", socket_.c_str(), 1);
    }
    ~ServedBoards() {
        ::kill(pid_, SIGTERM);
        WaitFor(pid_);
    }
    ServedBoards(const ServedBoards&) = delete;
    ServedBoards& operator=(const ServedBoards&) = delete;

    // Runs one control command of vessa-sim (`words`, then --socket): its exit status.
    int Control(std::vector<std::string> words, const std::filesystem::path& log) const {
        words.insert(words.end(), {"--socket", socket_.string()});
        return WaitFor(Spawn(Bin("vessa-sim"), std::move(words), log));
    }

private:
    std::filesystem::path socket_;
    pid_t pid_ = -1;
};

}  // namespace quillon::bench
