// Cost of the settings store on disk: one stored value (target: median at most 0.3 ms) and
// the first start, which creates every default in an empty file (target: at most 20 ms).
// The files live under the system's temporary folder; run on the disk the settings use.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "config/settings_defaults.h"
#include "config/sqlite_settings_store.h"
#include "tests/support/temp_dir.h"

namespace {

void BM_StoreOneValue(benchmark::State& state) {
    quillon::testing::TempDir dir;
    auto store = quillon::SqliteSettingsStore::Open(dir / "settings.sqlite");
    int32_t value = 0;
    for (auto _ : state) {
        store->WriteInt("CheckBox_Erase", ++value & 1);
    }
}
BENCHMARK(BM_StoreOneValue)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_FirstStartDefaults(benchmark::State& state) {
    quillon::testing::TempDir dir;
    const auto file = dir / "settings.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(file.string() + suffix);
        }
        state.ResumeTiming();
        auto store = quillon::SqliteSettingsStore::Open(file);
        quillon::SettingsBatch batch(*store);  // as the start-up load writes them
        for (const auto& value : quillon::SettingDefaults()) {
            quillon::EnsureDefault(*store, value.name);
        }
        batch.Commit();
        state.PauseTiming();
        store.reset();  // closing copies the log into the file: not part of the start
        state.ResumeTiming();
    }
    state.counters["defaults"] = static_cast<double>(quillon::SettingDefaults().size());
}
BENCHMARK(BM_FirstStartDefaults)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
