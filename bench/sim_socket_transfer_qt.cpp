// One 64 KiB transfer through vessa-sim: the driver library called directly, and the same
// call made by BoardLink::Transfer through the window's seam (the worker thread, the UI
// thread waiting live). Target: the seam within 1.5x of the direct call.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <vector>

#include "app/live_wait.h"
#include "app/qt_call_runner.h"
#include "bench/sim_bench_support.h"
#include "board/board_link.h"
#include "tests/support/recording_panel.h"

namespace {

using quillon::sim::bench::ServedBoard;

const uint8_t kReadBlock5[9] = {0xF2, 0x12, 0x05};  // ReadBlock from the socket part, block 5

void BM_DirectRead64KiB(benchmark::State& state) {
    ServedBoard board(quillon::sim::bench::kSocketPartScenario);
    std::vector<uint8_t> block(65536);
    for (auto _ : state) {
        if (board.read(kReadBlock5, 65536, block.data()) != 1) {
            state.SkipWithError("transfer failed");
            break;
        }
        benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(BM_DirectRead64KiB)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SeamRead64KiB(benchmark::State& state) {
    ServedBoard board(quillon::sim::bench::kSocketPartScenario);
    quillon::RecordingPanel panel;
    quillon::LiveWait wait;
    quillon::QtCallRunner runner(wait);
    quillon::BoardLink link(
        quillon::FixedDriverLoader({board.connect, board.disconnect, board.write, board.read}),
        panel);
    link.UseCallRunner(runner);
    if (link.Bind(0, quillon::BoardLink::kConnectParameter) != 1) {
        state.SkipWithError("no board");
        return;
    }
    std::vector<uint8_t> block(65536);
    quillon::BoardCommand& record = link.Record();
    record.opcode = kReadBlock5[0];
    record.subCommand = kReadBlock5[1];
    record.p1 = kReadBlock5[2];
    record.direction = quillon::kFromBoard;
    record.buffer = block.data();
    record.length = 65536;
    for (auto _ : state) {
        if (!link.Transfer(record).Succeeded()) {
            state.SkipWithError("transfer failed");
            break;
        }
        benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(BM_SeamRead64KiB)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
