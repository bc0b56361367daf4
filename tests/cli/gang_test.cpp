// quillon-cli gang against one vessa-sim playing three boards: every board flashed at once,
// each judged from its own memory; a fault on one board leaves the others' units as they
// would be alone; an interrupt stops every board.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "records/json_out.h"
#include "tests/cli/cli_process.h"
#include "tests/cli/terminal_screen.h"
#include "tests/support/gang_events.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;
constexpr int kBoards = 3;

using quillon::testing::Lines;

class GangTest : public ::testing::Test {
protected:
    // A new image each time, so that a board's memory shows this run's work.
    std::string WriteImage(char seed, std::size_t blocks = 2) {
        std::string image(blocks * 65536, '\0');
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>(i * 7 + static_cast<std::size_t>(seed));
        }
        quillon::testing::WriteFileBytes(dir / "image.bin", image);
        imageSize = image.size();
        return image;
    }
    std::vector<std::string> GangWords(std::vector<std::string> words,
                                       const std::string& clock = "virtual") const {
        words.insert(words.begin(), {"--clock", clock, "gang", "--boards", "0-2", "--settings-dir",
                                     dir.Path().string()});
        return words;
    }
    std::map<std::string, std::string> Environment() const {
        return {{"VESSA_SIM_SOCKET", sim.Socket().string()}};
    }
    ProcessResult Gang(std::vector<std::string> words) {
        return RunProgram("quillon-cli", GangWords(std::move(words)), dir.Path(), Environment());
    }
    // The part's true content on one board, from the board itself.
    std::string Memory(int board) {
        const auto file = dir / ("dump" + std::to_string(board) + ".bin");
        EXPECT_EQ(
            sim.Control({"dump", "external", file.string(), "--board", std::to_string(board)}), 0);
        return quillon::testing::ReadFileBytes(file).substr(0, imageSize);
    }

    std::size_t imageSize = 0;
    quillon::testing::TempDir dir;
    SimDaemon sim{kSource / "sim/scenarios/default.ini", dir.Path(), kBoards};
};

TEST_F(GangTest, ThreeBoardsFlashOneImageEachLineNamingItsBoard) {
    const std::string image = WriteImage(3);
    const auto run = Gang({"flash", "image.bin"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    // Piped: each line of a board's station is its own line with "[N] " before it, in order;
    // what one board's station printed is what a single run prints.
    std::map<int, std::string> logs;
    const auto lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, std::regex(R"(\[([0-2])\] (.*))")))
            << lines[i];
        logs[std::stoi(match[1])] += match[2].str() + "\n";
    }
    const std::string single = std::regex_replace(
        quillon::testing::ReadFileBytes(kSource / "tests/cli/golden/flash_default.log"),
        std::regex("<DIR>"), dir.Path().string());
    for (int board = 0; board < kBoards; ++board) {
        EXPECT_EQ(logs[board], single) << "board " << board;
        EXPECT_TRUE(Memory(board) == image) << "board " << board;
    }
    EXPECT_TRUE(std::regex_match(
        lines.back(),
        std::regex(R"(3 units: 3 OK, 0 failed, [0-9.]+ s in all, [0-9]+ OK units per hour)")))
        << lines.back();
    EXPECT_NE(run.err.find("[2] Gauge: 100%\n"), std::string::npos) << run.err;
}

// The fault lands inside board 1's erase or program (past its start-up, connection check and
// typing: 32 blocks take a few transfers each); boards 0 and 2 run the same line at the same
// time.
TEST_F(GangTest, AFaultOnOneBoardLeavesTheOthersUnitsOkAndIsNeverReportedOk) {
    struct Case {
        std::vector<std::string> fault;
        std::vector<std::string> restore;
        int status;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {{"kind=unplug", "after=40"},
         {"plug"},
         69,
         "flash: the board does not answer: it was pulled out"},
        {{"kind=power_loss", "after=40"},
         {"power", "on"},
         1,
         "flash: the target does not answer: it is switched off"},
        // Board and target still answer: the cause is the one the failed run's end told.
        {{"kind=stuck_bits", "address=256", "length=1", "bits=ff"},
         {"fault", "clear"},
         1,
         "verify: a transfer still failed after 40 repetitions"},
    };
    char seed = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault[0]);
        const std::string image = WriteImage(++seed, 32);
        auto fault = c.fault;
        fault.insert(fault.begin(), "fault");
        fault.insert(fault.end(), {"--board", "1"});
        ASSERT_EQ(sim.Control(fault), 0);
        const auto run = Gang({"--json", "flash", "image.bin"});
        EXPECT_EQ(run.status, c.status) << run.err;

        // Every event names its board; each board ends with its own "board" event.
        auto ends = quillon::testing::GangBoardEnds(run.out, kBoards);
        ASSERT_EQ(ends.size(), 3u) << run.out;
        quillon::testing::ExpectOnlyBoardOneFailed(ends, run.out, run.err, c.status, c.cause);
        for (const int board : {0, 2}) {
            EXPECT_TRUE(Memory(board) == image) << "board " << board;
        }
        EXPECT_TRUE(Memory(1) != image);

        auto restore = c.restore;
        restore.insert(restore.end(), {"--board", "1"});
        ASSERT_EQ(sim.Control(restore), 0);
        ASSERT_EQ(sim.Control({"fault", "clear", "--board", "1"}), 0);
    }
}

TEST_F(GangTest, OnATerminalEachBoardIsOneRowThenTheSummary) {
    WriteImage(5);
    const auto run =
        RunOnTerminal("quillon-cli", GangWords({"flash", "image.bin"}), dir.Path(), Environment());
    ASSERT_EQ(run.status, 0) << run.out;
    const auto rows = ScreenRows(run.out);
    std::vector<std::string> shown(rows.end() - std::min<std::ptrdiff_t>(4, rows.size()),
                                   rows.end());
    ASSERT_EQ(shown.size(), 4u) << ScreenText(run.out);
    for (int board = 0; board < kBoards; ++board) {
        EXPECT_TRUE(std::regex_match(
            shown[static_cast<std::size_t>(board)],
            std::regex("board  " + std::to_string(board) + R"(  OK +[0-9]+\.[0-9] s *)")))
            << ScreenText(run.out);
    }
    EXPECT_EQ(shown[3].rfind("3 units: 3 OK, 0 failed", 0), 0u) << ScreenText(run.out);
}

TEST_F(GangTest, AnInterruptStopsEveryBoardAndGivesTheSignalsStatus) {
    WriteImage(7);
    auto gang = StartProgram("quillon-cli",
                             GangWords({"tick", "typeauto", "load", "image.bin", "steps",
                                        "program,verify", "burnrun", "100000000"}),
                             dir.Path(), Environment());
    // Every board is in its burn run once each has printed a few lines of it.
    const auto inRun = [&] {
        std::ifstream file(dir / ".stdout");
        const std::string out{std::istreambuf_iterator<char>(file), {}};
        for (int board = 0; board < kBoards; ++board) {
            if (out.find("[" + std::to_string(board) + "] Write Flash") == std::string::npos) {
                return false;
            }
        }
        return true;
    };
    for (int waited = 0; !inRun() && waited < 2000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(inRun());
    kill(gang->Pid(), SIGINT);
    const ProcessResult run = gang->Finish();
    EXPECT_EQ(run.status, 130) << run.err;
    for (int board = 0; board < kBoards; ++board) {
        const std::string name = std::to_string(board);
        EXPECT_NE(run.err.find("[" + name + "] quillon-cli: burnrun: stopped by signal 2"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("quillon-cli: board " + name + " stopped (exit 130)"),
                  std::string::npos)
            << run.err;
    }
}

}  // namespace
}  // namespace quillon::cli::test
