// Host time of one 64 KiB transfer through libKavoVessadll.so and vessa-sim (target < 0.2 ms).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/sim_bench_support.h"

namespace {

void BM_SocketTransfer64KiB(benchmark::State& state) {
    quillon::sim::bench::ServedBoard board(quillon::sim::bench::kSocketPartScenario);
    std::vector<uint8_t> block(65536);
    const uint8_t header[9] = {0xF2, 0x12, 0x05};  // ReadBlock from the socket part, block 5
    for (auto _ : state) {
        if (board.read(header, 65536, block.data()) != 1) {
            state.SkipWithError("transfer failed");
            break;
        }
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 65536);
}
BENCHMARK(BM_SocketTransfer64KiB)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
