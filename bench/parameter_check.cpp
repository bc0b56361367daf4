// Host time of the parameter check (quillon-cli check-params) and of the Type page's device
// list over a manufacturer file of 16 MiB, the largest the reader takes (about 130,000 device
// sections); each should stay under 2 s. Both read the file once and look each name up at a
// cost that does not grow with the file.
#include <benchmark/benchmark.h>

#include <string>

#include "config/flash_database.h"
#include "config/flash_database_check.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace quillon;

// A sound parameter set whose one manufacturer file fills the reader's size limit, with a
// lookup key for every hundredth device.
class LargeParameterSet {
public:
    LargeParameterSet() {
        using quillon::testing::WriteFileBytes;
        std::string devices;
        std::string lookup;
        for (int i = 0;; ++i) {
            const std::string name = "P" + std::to_string(1000000 + i);
            const std::string section = "[" + name +
                                        "]\nReadID_CommandMode=0\nErase_CommandMode=0\n"
                                        "Write_CommandMode=0\nPageWriteSize=256\nEraseType=2\n"
                                        "Flashblock=1\nSize=512 Kbit\n";
            if (devices.size() + section.size() > kMaxIniFileBytes) {
                break;
            }
            devices += section;
            ++sections_;
            if (i % 100 == 0) {
                lookup +=
                    "[" + std::to_string(100000 + i) + "]\nManufacturer=Large\nNAME=" + name + "\n";
            }
        }
        WriteFileBytes(dir_ / "Large.ini", devices);
        WriteFileBytes(dir_ / "FlashROM_Index.ini", "[Index]\n1=Large\n");
        WriteFileBytes(dir_ / "Kavo_Flash_TypeAuto.ini", lookup);
        WriteFileBytes(dir_ / "Version.ini", "[Parameter]\nVERSION=1\n");
        WriteFileBytes(dir_ / "PinSet.ini",
                       "[SetNum]\nNum=1\n[PinSet]\n0=01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,"
                       "A\n");
    }

    FlashDatabase Database() const { return FlashDatabase(IniFolder(dir_.Path())); }
    int Sections() const { return sections_; }

private:
    quillon::testing::TempDir dir_;
    int sections_ = 0;
};

void BM_CheckParameterSet16MiB(benchmark::State& state) {
    const LargeParameterSet set;
    const FlashDatabase database = set.Database();
    for (auto _ : state) {
        const auto problems = CheckParameterSet(database);
        if (!problems.empty()) {
            state.SkipWithError(DescribeProblem(problems.front()).c_str());
            break;
        }
    }
    state.counters["sections"] = set.Sections();
}
BENCHMARK(BM_CheckParameterSet16MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DeviceList16MiB(benchmark::State& state) {
    const LargeParameterSet set;
    const FlashDatabase database = set.Database();
    for (auto _ : state) {
        const auto devices = database.Devices("Large");
        if (static_cast<int>(devices.size()) != set.Sections()) {
            state.SkipWithError("the device list is not every section");
            break;
        }
    }
    state.counters["sections"] = set.Sections();
}
BENCHMARK(BM_DeviceList16MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
