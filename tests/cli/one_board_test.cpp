// Two stations (settings files of their own) on one board, the second started at several
// offsets into the first's run, with the real clock: the board is opened by one of them; the
// other says the board is in use, exits 69 and runs no step; the flash holds the image of
// the one that said OK.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "tests/cli/cli_process.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;

TEST(OneBoardTest, OfTwoStationsOnOneBoardOnlyOneRuns) {
    quillon::testing::TempDir dir;
    SimDaemon sim(kSource / "sim/scenarios/default.ini", dir.Path());
    const std::array<std::string, 2> images = {std::string(2 * 65536, '\x11'),
                                               std::string(2 * 65536, '\x22')};
    for (std::size_t station = 0; station < images.size(); ++station) {
        quillon::testing::WriteFileBytes(dir / ("image" + std::to_string(station) + ".bin"),
                                         images[station]);
    }
    const auto start = [&](std::size_t station) {
        const std::string name = std::to_string(station);
        return StartProgram("quillon-cli",
                            {"--settings", (dir / ("settings" + name + ".sqlite")).string(),
                             "--clock", "real", "flash", "image" + name + ".bin"},
                            dir.Path(), {{"VESSA_SIM_SOCKET", sim.Socket().string()}}, name);
    };
    // A run holds the board for more than a second (the close sequence alone waits that long).
    for (const int offsetMs : {0, 20, 150, 600}) {
        SCOPED_TRACE("second station started after " + std::to_string(offsetMs) + " ms");
        auto first = start(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(offsetMs));
        auto second = start(1);
        const std::array<ProcessResult, 2> runs = {first->Finish(), second->Finish()};
        const std::size_t winner = runs[0].status == 0 ? 0 : 1;
        const ProcessResult& ran = runs[winner];
        const ProcessResult& refused = runs[1 - winner];
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_NE(ran.out.find("Auto Flash ---> OK !"), std::string::npos) << ran.out;
        EXPECT_EQ(refused.status, 69) << refused.out;
        EXPECT_NE(refused.err.find("the board is in use by another program"), std::string::npos)
            << refused.err;
        EXPECT_EQ(refused.out.find("Flash --->"), std::string::npos) << refused.out;
        ASSERT_EQ(sim.Control({"dump", "external", (dir / "dump.bin").string()}), 0);
        EXPECT_EQ(quillon::testing::ReadFileBytes(dir / "dump.bin").substr(0, 2 * 65536),
                  images[winner]);
    }
}

}  // namespace
}  // namespace quillon::cli::test
