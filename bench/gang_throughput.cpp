// A gang run as a production line runs it: one `vessa-sim serve --boards N --timing real`
// (each board sleeps the device times its datasheet figures give), and
// `quillon-cli gang --boards 0-(N-1) flash image.bin` with the real clock, flashing a 256 KiB
// image on the default EC bench (its 4 MiB part over SMBus): tick, typeauto, load, Auto.
// Per gang size: units per hour (N units over the gang's wall time) and the host's CPU per
// unit (user + system time of quillon-cli gang and its stations, from getrusage of the
// children; the virtual board's own CPU is not the host's and is not counted). Goals: 8 boards
// at least 7x the units per hour of one; the CPU per unit not growing with the boards.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "board/driver_loader.h"
#include "board/virtual_board_socket.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

constexpr std::size_t kImageBytes = 256 * 1024;

std::filesystem::path Bin(const char* program) {
    return std::filesystem::path(quillon::ProgramFolder()) / program;
}

// Starts `program` with `arguments`, standard output and error into `log`; its process id.
pid_t Spawn(const std::filesystem::path& program, std::vector<std::string> arguments,
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

int WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

double CpuSecondsOfChildren() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_GangFlash(benchmark::State& state) {
    const int boards = static_cast<int>(state.range(0));
    quillon::testing::TempDir dir;
    std::mt19937_64 random(2026);
    std::string image(kImageBytes, '\0');
    for (char& byte : image) {
        byte = static_cast<char>(random());
    }
    quillon::testing::WriteFileBytes(dir / "image.bin", image);
    const auto socket = dir / "sim.sock";
    std::filesystem::create_directories(dir / "state");
    const pid_t sim = Spawn(
        Bin("vessa-sim"),
        {"serve", "--scenario", QUILLON_BENCH_SCENARIO, "--boards", std::to_string(boards),
         "--socket", socket.string(), "--state", (dir / "state").string(), "--timing", "real"},
        dir / "sim.log");
    // The boards' sockets appear in board order: the last one's says all are there.
    const std::filesystem::path last = quillon::BoardSocketPath(socket.string(), boards - 1);
    for (int i = 0; i < 500 && !std::filesystem::exists(last); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    setenv("VESSA_SIM_SOCKET", socket.c_str(), 1);
    const std::string list = boards == 1 ? "0" : "0-" + std::to_string(boards - 1);
    double wall = 0;
    double cpu = 0;
    int failed = 0;
    for (auto _ : state) {
        const double cpuBefore = CpuSecondsOfChildren();
        const auto start = std::chrono::steady_clock::now();
        const pid_t gang = Spawn(Bin("quillon-cli"),
                                 {"--clock", "real", "gang", "--boards", list, "--settings-dir",
                                  dir.Path().string(), "flash", (dir / "image.bin").string()},
                                 dir / "gang.log");
        if (WaitFor(gang) != 0) {
            ++failed;
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += CpuSecondsOfChildren() - cpuBefore;
    }
    kill(sim, SIGTERM);
    WaitFor(sim);
    if (failed > 0) {
        state.SkipWithError("a gang did not end OK on every board (see its gang.log)");
        return;
    }
    const double units = static_cast<double>(state.iterations()) * boards;
    state.counters["units_per_hour"] = units * 3600.0 / wall;
    state.counters["seconds_per_gang"] = wall / static_cast<double>(state.iterations());
    state.counters["host_cpu_ms_per_unit"] = cpu * 1000.0 / units;
}

BENCHMARK(BM_GangFlash)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
