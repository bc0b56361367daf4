// Several boards on one computer: one vessa-sim playing two boards, one station per board.
// Each board's flash holds the image of its own station, judged from the board's memory; a
// board the daemon does not play is missing, as an unplugged one is.
#include <gtest/gtest.h>

#include <array>

#include "tests/cli/cli_process.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;
constexpr std::size_t kImageSize = 2 * 65536;

TEST(SeveralBoardsTest, TwoStationsAtOnceFlashTheirOwnBoards) {
    quillon::testing::TempDir dir;
    SimDaemon sim(kSource / "sim/scenarios/default.ini", dir.Path(), 2);
    const std::array<std::string, 2> images = {std::string(kImageSize, '\x5A'),
                                               std::string(kImageSize, '\xC3')};
    std::array<std::unique_ptr<StartedProgram>, 2> stations;
    for (std::size_t board = 0; board < images.size(); ++board) {
        const std::string name = std::to_string(board);
        quillon::testing::WriteFileBytes(dir / ("image" + name + ".bin"), images[board]);
        // Board 1 by the option, board 0 by the variable: both name the board.
        const std::vector<std::string> boardOption =
            board == 0 ? std::vector<std::string>{} : std::vector<std::string>{"--board", name};
        std::vector<std::string> arguments = boardOption;
        for (const std::string& word :
             {std::string("--settings"), (dir / ("settings" + name + ".sqlite")).string(),
              std::string("--clock"), std::string("real"), std::string("flash"),
              "image" + name + ".bin"}) {
            arguments.push_back(word);
        }
        stations[board] = StartProgram("quillon-cli", arguments, dir.Path(),
                                       {{"VESSA_SIM_SOCKET", sim.Socket().string()},
                                        {"QUILLON_BOARD", board == 0 ? "0" : "5"}},
                                       name);
    }
    for (std::size_t board = 0; board < images.size(); ++board) {
        SCOPED_TRACE("board " + std::to_string(board));
        const ProcessResult run = stations[board]->Finish();
        EXPECT_EQ(run.status, 0) << run.err;
        const auto dump = dir / ("dump" + std::to_string(board) + ".bin");
        ASSERT_EQ(sim.Control({"dump", "external", dump.string(), "--board", std::to_string(board)}),
                  0);
        EXPECT_EQ(quillon::testing::ReadFileBytes(dump).substr(0, kImageSize), images[board]);
    }
}

TEST(SeveralBoardsTest, ABoardTheDaemonLacksOrThatIsPulledOutIsMissing) {
    quillon::testing::TempDir dir;
    SimDaemon sim(kSource / "sim/scenarios/default.ini", dir.Path(), 2);
    quillon::testing::WriteFileBytes(dir / "image.bin", std::string(kImageSize, '\x11'));
    ASSERT_EQ(sim.Control({"unplug", "--board", "1"}), 0);
    struct Case {
        const char* why;
        std::vector<std::string> arguments;
        std::map<std::string, std::string> environment;
    };
    const Case cases[] = {
        {"board 2 is not played", {"--board", "2", "flash", "image.bin"}, {}},
        {"board 7 by the variable", {"flash", "image.bin"}, {{"QUILLON_BOARD", "7"}}},
        {"board 1 is unplugged", {"--board", "1", "flash", "image.bin"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        auto environment = c.environment;
        environment["VESSA_SIM_SOCKET"] = sim.Socket().string();
        std::vector<std::string> arguments = {"--settings", (dir / "settings.sqlite").string(),
                                              "--clock", "virtual"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProcessResult run = RunProgram("quillon-cli", arguments, dir.Path(), environment);
        EXPECT_EQ(run.status, 69) << run.err;
        EXPECT_EQ(run.out.find("Erase Flash --->"), std::string::npos) << run.out;
    }
    // Board 0 is there all along, and untouched by the others' runs.
    ASSERT_EQ(sim.Control({"dump", "external", (dir / "dump0.bin").string()}), 0);
    EXPECT_NE(quillon::testing::ReadFileBytes(dir / "dump0.bin").substr(0, kImageSize),
              std::string(kImageSize, '\x11'));
}

}  // namespace
}  // namespace quillon::cli::test
