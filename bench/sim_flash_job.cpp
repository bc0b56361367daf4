// Erase + blank check + program + verify of a whole 16 MiB part (W25Q128JV class, 64 KB
// erase units) by the station's flash operations. Targets: in process with a virtual clock
// <= 0.15 s; through the vessa-sim daemon <= 0.3 s wall; peak memory <= 3 x the part size;
// host time <= 1 % of the modelled device time (datasheet erase and program times).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

#include "bench/flash_job_support.h"
#include "bench/sim_bench_support.h"
#include "sim/in_process_driver.h"
#include "sim/virtual_board.h"

// Heap bytes in use and their peak, for the memory figure.
namespace {
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

void* Allocate(std::size_t size) {
    void* block = std::malloc(size + sizeof(std::max_align_t));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = liveBytes += size;
    std::size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + sizeof(std::max_align_t);
}

void Release(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    void* block = static_cast<char*>(pointer) - sizeof(std::max_align_t);
    liveBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* pointer) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    Release(pointer);
}

namespace {

using quillon::bench::FlashJobStation;
using quillon::bench::kJobPart;
using quillon::bench::kJobPartSize;

constexpr double kMiB = 1024.0 * 1024.0;

// The whole process's peak, and the station's share: the virtual board (in this process,
// also when served by the daemon's thread) holds the part's 16 MiB of cells.
void ReportPeak(benchmark::State& state, std::size_t peak) {
    const double part = static_cast<double>(kJobPartSize);
    state.counters["peak_heap_MiB"] = static_cast<double>(peak) / kMiB;
    state.counters["station_peak_per_part"] = (static_cast<double>(peak) - part) / part;
}

void BM_FlashJob16MiB_InProcess(benchmark::State& state) {
    quillon::sim::Scenario scenario;
    scenario.socketPart = kJobPart;
    quillon::sim::VirtualBoard board(scenario);
    board.SetTraceLimit(0);  // as the daemon runs without a trace file
    quillon::sim::InProcessBoard attach(board);
    FlashJobStation job(quillon::FixedDriverLoader(quillon::sim::InProcessDriverFunctions()));
    double hostSeconds = 0;
    uint64_t deviceNs = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const uint64_t deviceBefore = board.Stats().deviceNs;
        peakBytes = liveBytes.load();
        const auto start = std::chrono::steady_clock::now();
        if (!job.RunJob()) {
            state.SkipWithError("a step did not say OK");
            return;
        }
        hostSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        deviceNs += board.Stats().deviceNs - deviceBefore;
        peak = std::max(peak, peakBytes.load());
    }
    const auto flash = board.Flash(quillon::sim::FlashId::kSocket);
    const auto& image = job.GetStation().Image().imageBuffer;
    if (!std::equal(flash.begin(), flash.end(), image.begin(), image.end())) {
        state.SkipWithError("the part does not hold the image");
        return;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["device_s"] = static_cast<double>(deviceNs) / 1e9 / runs;
    state.counters["host_of_device_%"] =
        100.0 * hostSeconds / (static_cast<double>(deviceNs) / 1e9);
    ReportPeak(state, peak);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(kJobPartSize));
}
BENCHMARK(BM_FlashJob16MiB_InProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlashJob16MiB_Daemon(benchmark::State& state) {
    quillon::sim::bench::ServedBoard served(std::string("[socket]\npart = ") + kJobPart + "\n");
    setenv("QUILLON_DRIVER_LIBRARY", QUILLON_BENCH_DRIVER_LIBRARY, 1);
    FlashJobStation job(quillon::SystemDriverLoader());
    std::size_t peak = 0;
    for (auto _ : state) {
        peakBytes = liveBytes.load();
        if (!job.RunJob()) {
            state.SkipWithError("a step did not say OK");
            return;
        }
        peak = std::max(peak, peakBytes.load());
    }
    ReportPeak(state, peak);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(kJobPartSize));
}
BENCHMARK(BM_FlashJob16MiB_Daemon)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
