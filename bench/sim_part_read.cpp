// A whole 16 MiB part read through the daemon, block by block (target < 0.5 s).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/sim_bench_support.h"

namespace {

void BM_Read16MiBPart(benchmark::State& state) {
    quillon::sim::bench::ServedBoard board(quillon::sim::bench::kSocketPartScenario);
    std::vector<uint8_t> image(16u << 20);
    for (auto _ : state) {
        for (uint32_t block = 0; block < 256; ++block) {
            const uint8_t header[9] = {0xF2, 0x12, static_cast<uint8_t>(block),     0x00,
                                       0,    0,    static_cast<uint8_t>(block >> 8)};
            if (board.read(header, 65536, image.data() + block * 65536) != 1) {
                state.SkipWithError("transfer failed");
                return;
            }
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (16 << 20));
}
BENCHMARK(BM_Read16MiBPart)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
