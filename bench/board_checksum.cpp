// Throughput of the 64 block checksums of one 64 KiB block (target: at least 1 GB/s).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "board/block_checksum.h"

namespace {

void BM_BlockChecksums(benchmark::State& state) {
    std::vector<uint8_t> block(quillon::kBlockSize);
    std::mt19937 random(7);
    for (auto& byte : block) {
        byte = static_cast<uint8_t>(random());
    }
    for (auto _ : state) {
        auto words = quillon::BlockChecksums(block);
        benchmark::DoNotOptimize(words);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(block.size()));
}
BENCHMARK(BM_BlockChecksums);

}  // namespace
