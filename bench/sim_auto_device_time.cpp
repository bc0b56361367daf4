// Auto (erase, check, program, verify) of a whole part on three virtual parts, as an operator
// runs it: start-up, a connection check, TypeAuto from the shipped parameter files, Load,
// Auto. Per job: the device time the virtual board models, the floor of the full sequence on
// the part and their ratio, and the host time. Goals: ratio <= 1.10 for the two SPI parts with
// FastFlash 0 (<= 1.01 on the 16 MiB part); host time <= 1 % of the device time. FastFlash
// jobs (ratio to the same floor): a blank part with skip blank erases <= 0.62 (16 MiB socket)
// and <= 0.65 (4 MiB over SMBus); the same image again with changed blocks only <= 0.13; one
// 64 KB block changed <= 0.14.
//
// Floor = erasing the range in the part's largest erase unit + programming its pages + one
// read of the range for each of Check and Verify at the modelled SPI clock and USB rate.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "config/setting_names.h"
#include "sim/in_process_driver.h"
#include "sim/scenario_file.h"
#include "sim/spi_flash.h"
#include "sim/virtual_board.h"
#include "station/station.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace {

using quillon::StepCheckBox;

constexpr double kNsPerSecond = 1e9;
// The virtual board's USB-PD flash: a 1 KiB erase unit, 256-byte pages.
constexpr double kPdEraseUnitNs = 20e6;
constexpr double kPdPageProgramNs = 1e6;
constexpr double kPdPageReadNs = 100e3;
constexpr double kPdEraseUnit = 1024;
constexpr double kPage = 256;
constexpr double kBlock = 65536;

// What the part holds when the measured Auto starts.
enum class Start {
    AsScenario,       // what the scenario gives it
    Blank,            // straight from the reel
    SameImage,        // the image, flashed by an Auto before
    OneBlockChanged,  // the image but for one 64 KB block
};

struct Job {
    const char* scenario;  // sim/scenarios/<name>.ini
    int connectMode;
    uint32_t imageBytes;
    bool pd;
    int32_t fastFlash = 0;  // the FastFlash setting of the measured Auto
    Start start = Start::AsScenario;
};

quillon::sim::FlashId FlashOf(const Job& job) {
    if (job.pd) {
        return quillon::sim::FlashId::kPd;
    }
    return job.connectMode == 3 ? quillon::sim::FlashId::kSocket
                                : quillon::sim::FlashId::kExternalSpi;
}

// The floor of an Auto over `bytes` of the part.
double FloorSeconds(const Job& job, const quillon::sim::Scenario& scenario) {
    const double bytes = job.imageBytes;
    const double pages = bytes / kPage;
    if (job.pd) {
        return (bytes / kPdEraseUnit * kPdEraseUnitNs + pages * kPdPageProgramNs +
                2 * pages * kPdPageReadNs) /
               kNsPerSecond;
    }
    const quillon::sim::FlashTimes times;
    const double readNs = bytes * 8 * kNsPerSecond / scenario.timing.spiClockHz +
                          bytes * kNsPerSecond / scenario.timing.usbBytesPerSecond;
    return (bytes / kBlock * static_cast<double>(times.block64kEraseNs) +
            pages * static_cast<double>(times.pageProgramNs) + 2 * readNs) /
           kNsPerSecond;
}

void BM_AutoDeviceTime(benchmark::State& state, Job job) {
    const auto scenario = quillon::sim::LoadScenarioFile(
        std::filesystem::path(QUILLON_BENCH_SCENARIOS) / (std::string(job.scenario) + ".ini"));
    quillon::sim::VirtualBoard board(scenario);
    board.SetTraceLimit(0);
    quillon::sim::InProcessBoard attach(board);
    quillon::testing::TempDir dir;
    const auto imageFile = dir / "image.bin";
    std::mt19937_64 random(2026);
    std::string image(job.imageBytes, '\0');
    for (char& byte : image) {
        byte = static_cast<char>(random());
    }
    quillon::testing::WriteFileBytes(imageFile, image);

    quillon::RecordingPanel panel;
    quillon::VirtualClock clock;
    quillon::ManualTimer timer;
    quillon::Station station(panel, clock, timer,
                             quillon::StationOptions{dir / "settings.sqlite", {}},
                             quillon::FixedDriverLoader(quillon::sim::InProcessDriverFunctions()));
    station.Settings().WriteInt(quillon::setting::kConnectMode, job.connectMode);
    station.RunStartup();
    bool ready = false;
    station.RunHandler([&] {
        station.Cycle().Tick();
        ready = station.TypeAutoDesk().Run() == quillon::StepResult::Ok;
        station.Files().Load(imageFile.string());
    });
    for (auto box :
         {StepCheckBox::Erase, StepCheckBox::Check, StepCheckBox::Program, StepCheckBox::Verify}) {
        station.OnCheckBoxClicked(box, true);
    }
    if (!ready || station.Image().imageBuffer.empty()) {
        state.SkipWithError("the part was not identified or the image not loaded");
        return;
    }
    const auto autoRun = [&] {
        quillon::StepResult result = quillon::StepResult::Failed;
        station.RunHandler([&] { result = station.Auto().Run().result; });
        return result == quillon::StepResult::Ok;
    };
    const auto flash = board.Flash(FlashOf(job));
    if (job.start == Start::Blank) {
        std::fill(flash.begin(), flash.end(), 0xFF);
    }
    if ((job.start == Start::SameImage || job.start == Start::OneBlockChanged) && !autoRun()) {
        state.SkipWithError("the Auto that flashes the image first did not say OK");
        return;
    }
    if (job.start == Start::OneBlockChanged) {  // a block in the middle holds older data
        const auto block = flash.begin() + static_cast<std::ptrdiff_t>(job.imageBytes / 2);
        std::transform(block, block + 65536, block, [](uint8_t byte) { return byte ^ 0x5A; });
    }
    station.Settings().WriteInt(quillon::setting::kFastFlash, job.fastFlash);
    double hostSeconds = 0;
    uint64_t deviceNs = 0;
    for (auto _ : state) {
        const uint64_t before = board.Stats().deviceNs;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = autoRun();
        hostSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        deviceNs += board.Stats().deviceNs - before;
        if (!ok) {
            state.SkipWithError("Auto did not say OK");
            return;
        }
    }
    const double runs = static_cast<double>(state.iterations());
    const double device = static_cast<double>(deviceNs) / kNsPerSecond / runs;
    const double floor = FloorSeconds(job, scenario);
    state.counters["device_s"] = device;
    state.counters["floor_s"] = floor;
    state.counters["ratio"] = device / floor;
    state.counters["host_s"] = hostSeconds / runs;
    state.counters["host_of_device_%"] = 100.0 * hostSeconds / runs / device;
}

// The 16 MiB part in the board's socket; the default EC bench's 4 MiB part over SMBus; a
// 256 KiB USB-PD flash.
BENCHMARK_CAPTURE(BM_AutoDeviceTime, socket_W25Q128FV_mode3, Job{"socket", 3, 16u << 20, false})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_AutoDeviceTime, default_W25Q32FV_mode2, Job{"default", 2, 4u << 20, false})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_AutoDeviceTime, pd_d110_mode4, Job{"pd-d110", 4, 256u << 10, true})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// FastFlash: the same parts, from the states the setting is meant for.
BENCHMARK_CAPTURE(BM_AutoDeviceTime, socket_W25Q128FV_mode3_blank_fast1,
                  Job{"socket", 3, 16u << 20, false, 1, Start::Blank})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_AutoDeviceTime, default_W25Q32FV_mode2_blank_fast1,
                  Job{"default", 2, 4u << 20, false, 1, Start::Blank})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_AutoDeviceTime, socket_W25Q128FV_mode3_same_fast2,
                  Job{"socket", 3, 16u << 20, false, 2, Start::SameImage})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_AutoDeviceTime, socket_W25Q128FV_mode3_one_block_fast2,
                  Job{"socket", 3, 16u << 20, false, 2, Start::OneBlockChanged})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
