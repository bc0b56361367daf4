// The board's block-checksum compare (VerifyBlockChecksums) on a 64 KiB block (target >= 1 GB/s).
#include <benchmark/benchmark.h>

#include "board/block_checksum.h"
#include "sim/virtual_board.h"

namespace {

void BM_ChecksumCompare(benchmark::State& state) {
    quillon::sim::Scenario scenario;
    scenario.ec = quillon::sim::EcSpec{};
    scenario.ec->externalPart = "W25Q128FV";
    quillon::sim::VirtualBoard board(scenario);
    board.SetTraceLimit(0);
    board.Connect();
    auto flash = board.Flash(quillon::sim::FlashId::kExternalSpi);
    for (std::size_t i = 0; i < 65536; ++i) {
        flash[i] = static_cast<uint8_t>(i * 13);
    }
    const auto sums = quillon::BlockChecksums(flash.first(65536));
    const uint8_t header[9] = {0xF2, 0x07, 0x00, 0x00, 0, 0, 0x00};  // block 0
    for (auto _ : state) {
        if (board.Write(header, 128, sums.data()) != 1) {
            state.SkipWithError("compare failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 65536);
}
BENCHMARK(BM_ChecksumCompare);

}  // namespace
