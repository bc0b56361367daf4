// Host time of Load (read and merge) of a 16 MiB image and of Confirm over two 16 MiB
// buffers; each should stay under 20 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "board/board_link.h"
#include "config/memory_settings_store.h"
#include "image/file_commands.h"
#include "runtime/message_log.h"
#include "runtime/window_timer.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace quillon;

constexpr std::size_t kImageSize = 16u << 20;

// A board that answers every read with erased flash.
uint8_t Connect(uint8_t, int32_t) {
    return 0;
}
uint8_t Disconnect(uint32_t) {
    return 0;
}
uint8_t Write(const uint8_t*, uint32_t, const uint8_t*) {
    return 1;
}
uint8_t Read(const uint8_t*, uint32_t length, uint8_t* buffer) {
    std::fill(buffer, buffer + length, 0xFF);
    return 1;
}

struct Bench {
    Bench() {
        settings.WriteInt("ConnectMode", 1);
        settings.WriteInt("Allocation", 1);
        settings.WriteInt("RomKey", 0);
        settings.WriteInt("SwitchRom", 0);
        link.Bind(0, BoardLink::kConnectParameter);
    }
    ImageContext Context() {
        return ImageContext{state,      settings,        panel,        log,
                            timer,      commands,        identity,     eflash,
                            flashblock, commandModeRead, assignedText, PathBox{pathText, pathHint}};
    }

    RecordingPanel panel;
    MemorySettingsStore settings;
    MessageLog log{panel};
    ManualTimer timer;
    BoardLink link{FixedDriverLoader({Connect, Disconnect, Write, Read}), panel};
    BoardCommands commands{link, settings, log, timer};
    TargetIdentity identity;
    EFlashFacts eflash;
    ImageState state;
    int32_t flashblock = 256;  // a 16 MiB part
    int32_t commandModeRead = 0;
    std::string assignedText = "0";
    std::string pathText;
    std::string pathHint;
};

std::vector<uint8_t> Pattern(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
    }
    return bytes;
}

// Load of a file 4 KiB short of 16 MiB: read, remember, place, and one boundary read.
void BM_LoadAndMerge16MiB(benchmark::State& run) {
    Bench bench;
    quillon::testing::TempDir dir;
    const auto pattern = Pattern(kImageSize - 4096);
    const auto path = (dir / "image.bin").string();
    quillon::testing::WriteFileBytes(path, std::string(pattern.begin(), pattern.end()));
    auto context = bench.Context();
    for (auto _ : run) {
        LoadImage(context, path);
        benchmark::DoNotOptimize(bench.state.imageBuffer.data());
    }
    if (bench.state.imageBuffer.size() != kImageSize || !bench.state.operationResult) {
        run.SkipWithError("the image was not merged");
    }
}
BENCHMARK(BM_LoadAndMerge16MiB)->Unit(benchmark::kMillisecond);

void Confirm(benchmark::State& run, bool differ) {
    Bench bench;
    bench.state.imageBuffer = Pattern(kImageSize);
    bench.state.readBuffer = bench.state.imageBuffer;
    if (differ) {
        for (auto& byte : bench.state.readBuffer) {
            byte = static_cast<uint8_t>(~byte);
        }
    }
    bench.state.usedBlockCount = kImageSize / kBlockSize;
    auto context = bench.Context();
    for (auto _ : run) {
        ConfirmImage(context);
    }
}

void BM_Confirm16MiBEqual(benchmark::State& run) {
    Confirm(run, false);
}
BENCHMARK(BM_Confirm16MiBEqual)->Unit(benchmark::kMillisecond);

// The worst case: every byte differs.
void BM_Confirm16MiBAllDiffer(benchmark::State& run) {
    Confirm(run, true);
}
BENCHMARK(BM_Confirm16MiBAllDiffer)->Unit(benchmark::kMillisecond);

}  // namespace
