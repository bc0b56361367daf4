// A gang run as a production line runs it: one `vessa-sim serve --boards N --timing real`
// (each board sleeps the device times its datasheet figures give), and
// `quillon-cli gang --boards 0-(N-1) flash image.bin` with the real clock, flashing a 256 KiB
// image on the default EC bench (its 4 MiB part over SMBus): tick, typeauto, load, Auto.
// Per gang size: units per hour (N units over the gang's wall time) and the host's CPU per
// unit (user + system time of quillon-cli gang and its stations, from getrusage of the
// children; the virtual board's own CPU is not the host's and is not counted). Goals: 8 boards
// at least 7x the units per hour of one; the CPU per unit not growing with the boards.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <string>

#include "bench/gang_programs.h"
#include "tests/support/temp_dir.h"

namespace {

using quillon::bench::Bin;
using quillon::bench::Spawn;
using quillon::bench::WaitFor;

constexpr std::size_t kImageBytes = 256 * 1024;

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
    const std::string image = quillon::bench::GangImage(kImageBytes);
    quillon::testing::WriteFileBytes(dir / "image.bin", image);
    const quillon::bench::ServedBoards sim(dir.Path(), boards);
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
