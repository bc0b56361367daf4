// Overhead of BoardLink::Transfer itself, with a driver whose calls return at once
// (target: below 1 microsecond per transfer).
#include <benchmark/benchmark.h>

#include <vector>

#include "board/board_link.h"
#include "tests/support/recording_panel.h"

namespace {

uint8_t NoConnect(uint8_t, int32_t) {
    return 0;
}
uint8_t NoDisconnect(uint32_t) {
    return 0;
}
uint8_t NoWrite(const uint8_t*, uint32_t, const uint8_t*) {
    return 1;
}
uint8_t NoRead(const uint8_t*, uint32_t, uint8_t*) {
    return 1;
}

void BM_Transfer(benchmark::State& state) {
    quillon::RecordingPanel panel;
    quillon::BoardLink link(quillon::FixedDriverLoader({NoConnect, NoDisconnect, NoWrite, NoRead}),
                            panel);
    link.Bind(0, quillon::BoardLink::kConnectParameter);
    std::vector<uint8_t> block(quillon::kMaxTransferLength);
    quillon::BoardCommand& record = link.Record();
    record.opcode = 0xF2;
    record.subCommand = 0x02;
    record.direction = static_cast<uint32_t>(state.range(0));
    record.buffer = block.data();
    record.length = quillon::kMaxTransferLength;
    for (auto _ : state) {
        benchmark::DoNotOptimize(link.Transfer(record));
    }
}
BENCHMARK(BM_Transfer)->Arg(quillon::kToBoard)->Arg(quillon::kFromBoard);

}  // namespace
