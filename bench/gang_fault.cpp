// A fault on one board during a gang of 8, as a production line meets it: one
// `vessa-sim serve --boards 8 --timing real` and `quillon-cli --clock real gang --boards 0-7
// flash image.bin` of a 256 KiB image on the default EC bench. Once a quarter of the image has
// reached board 3 (inside its write, the board's own count), board 3 gets the fault: every transfer
// fails (fail_transfer), it is pulled out (unplug) or its target loses power (power_loss), at its
// next transfer. Then every board's memory is dumped from the board itself. Per fault: the other 7
// units OK and holding the image in their boards' memory, the faulty unit's exit status, and
// whether it was ever reported OK (its "Auto Flash ---> OK !" line or a status 0). Goal: 7 of 7 OK
// and verified, the faulty one never OK.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "bench/gang_programs.h"
#include "tests/support/temp_dir.h"

namespace {

using quillon::bench::Bin;
using quillon::bench::Spawn;
using quillon::bench::WaitFor;

constexpr std::size_t kImageBytes = 256 * 1024;
constexpr int kBoards = 8;
constexpr int kFaulty = 3;

struct Fault {
    const char* name;
    std::vector<std::string> words;    // vessa-sim fault ...
    std::vector<std::string> restore;  // what puts the board back, after the run
};

const Fault kFaults[] = {
    {"fail_transfer", {"kind=fail_transfer"}, {}},
    {"unplug", {"kind=unplug", "after=1"}, {"plug"}},
    {"power_loss", {"kind=power_loss", "after=1"}, {"power", "on"}},
};

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), {}};
}

void BM_GangFault(benchmark::State& state) {
    const Fault& fault = kFaults[state.range(0)];
    state.SetLabel(fault.name);
    quillon::testing::TempDir dir;
    const std::string image = quillon::bench::GangImage(kImageBytes);
    quillon::testing::WriteFileBytes(dir / "image.bin", image);
    const quillon::bench::ServedBoards sim(dir.Path(), kBoards);
    const auto log = dir / "gang.log";
    const std::string board = std::to_string(kFaulty);
    int othersOk = 0;
    int othersVerified = 0;
    int faultyStatus = 0;
    int faultyReportedOk = 0;
    bool injected = false;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t gang = Spawn(Bin("quillon-cli"),
                                 {"--clock", "real", "gang", "--boards", "0-7", "--settings-dir",
                                  dir.Path().string(), "flash", (dir / "image.bin").string()},
                                 log);
        // The fault lands inside board 3's write, while every board is at work: once a quarter
        // of the image has reached board 3 (the board's own count of the bytes sent to it).
        for (int waited = 0; waited < 1000 && !injected; ++waited) {
            sim.Control({"stats", "--board", board}, dir / "stats.log");
            const std::string stats = ReadAll(dir / "stats.log");
            const auto at = stats.find("bytes_to_board=");
            if (at != std::string::npos && std::stoul(stats.substr(at + 15)) >= kImageBytes / 4) {
                std::vector<std::string> words = {"fault"};
                words.insert(words.end(), fault.words.begin(), fault.words.end());
                words.insert(words.end(), {"--board", board});
                injected = sim.Control(words, dir / "control.log") == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const int status = WaitFor(gang);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string out = ReadAll(log);
        for (int other = 0; other < kBoards; ++other) {
            const std::string name = std::to_string(other);
            const bool reportedOk =
                out.find("[" + name + "] Auto Flash ---> OK !") != std::string::npos &&
                out.find("quillon-cli: board " + name + " ") == std::string::npos;
            const auto dump = dir / ("board" + name + ".bin");
            sim.Control({"dump", "external", dump.string(), "--board", name}, dir / "control.log");
            const bool holdsImage = ReadAll(dump).substr(0, kImageBytes) == image;
            if (other == kFaulty) {
                faultyReportedOk = reportedOk ? 1 : 0;
            } else {
                othersOk += reportedOk ? 1 : 0;
                othersVerified += reportedOk && holdsImage ? 1 : 0;
            }
        }
        const std::string failing = "quillon-cli: board " + board + " failed (exit ";
        if (const auto at = out.find(failing); at != std::string::npos) {
            faultyStatus = std::stoi(out.substr(at + failing.size()));
        }
        if (status == 0) {
            faultyReportedOk = 1;  // the gang called every unit OK
        }
        std::vector<std::string> restore = fault.restore;
        if (!restore.empty()) {
            restore.insert(restore.end(), {"--board", board});
            sim.Control(restore, dir / "control.log");
        }
        sim.Control({"fault", "clear", "--board", board}, dir / "control.log");
    }
    if (!injected) {
        state.SkipWithError("the fault could not be given to board 3 (see gang.log)");
        return;
    }
    state.counters["others_ok"] = othersOk;
    state.counters["others_verified"] = othersVerified;
    state.counters["faulty_exit"] = faultyStatus;
    state.counters["faulty_reported_ok"] = faultyReportedOk;
    state.counters["seconds"] = seconds;
}

BENCHMARK(BM_GangFault)
    ->DenseRange(0, 2)
    ->ArgName("fault")
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
