// quillon-cli gang on Windows against KavoVessadll.dll playing three boards in each station's
// process (VESSA_SIM_BOARDS): every board flashed at once and judged from its own memory,
// which the library writes out when each station ends; a fault on one board, from that
// board's own scenario, leaves the others' units as they would be alone; a stop stops every
// board.
#include <gtest/gtest.h>
#include <windows.h>

#include <csignal>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "cli/gang/child_lines.h"
#include "platform/child_process.h"
#include "platform/program_file.h"
#include "platform/system_error_text.h"
#include "records/json_out.h"
#include "tests/support/gang_events.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

using Words = std::vector<std::string>;
constexpr int kBoards = 3;
const std::filesystem::path kStation =
    platform::RunningProgramFile().parent_path() / "quillon-cli.exe";

void SetVariable(const std::string& name, const std::string& value) {
    ::SetEnvironmentVariableW(platform::Widen(name).c_str(),
                              value.empty() ? nullptr : platform::Widen(value).c_str());
}

struct GangResult {
    int status = -1;
    std::string out;
    std::string err;
};

class WinGangTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetVariable("VESSA_SIM_BOARDS", std::to_string(kBoards));
        SetVariable("VESSA_SIM_DUMP", Native(dir / "flash"));
        SetVariable("VESSA_SIM_SCENARIO",
                    Native(std::filesystem::path(QUILLON_SCENARIO_DIR) / "default.ini"));
    }
    void TearDown() override {
        for (const char* name :
             {"VESSA_SIM_BOARDS", "VESSA_SIM_DUMP", "VESSA_SIM_SCENARIO", "VESSA_SIM_SCENARIO_1"}) {
            SetVariable(name, "");
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, platform::Widen(kKey).c_str());
    }
    static std::string Native(const std::filesystem::path& path) {
        return std::filesystem::absolute(path).make_preferred().string();
    }
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
    Words GangWords(Words words) const {
        words.insert(words.begin(),
                     {"--clock", "virtual", "gang", "--boards", "0-2", "--settings-dir", kKey});
        return words;
    }
    // Runs the gang; `onLine` sees each line of its standard output as it comes.
    template <typename OnLine>
    GangResult Gang(Words words, OnLine onLine) {
        std::vector<platform::ChildProcess> gang;
        gang.emplace_back(kStation, GangWords(std::move(words)));
        ChildLines lines;
        lines.Follow(0, gang[0]);
        GangResult run;
        for (int ends = 0; ends < 2;) {
            for (const ChildLine& line : lines.Take(std::chrono::milliseconds(100))) {
                if (line.ended) {
                    ++ends;
                    continue;
                }
                (line.stream == platform::ChildProcess::Stream::Out ? run.out : run.err) +=
                    line.text + "\n";
                if (line.stream == platform::ChildProcess::Stream::Out) {
                    onLine(gang[0], run.out);
                }
            }
        }
        run.status = gang[0].Wait();
        return run;
    }
    GangResult Gang(Words words) {
        return Gang(std::move(words), [](platform::ChildProcess&, const std::string&) {});
    }
    // The part's true content on one board, as the library wrote it out.
    std::string Memory(int board) const {
        auto folder = dir / "flash";
        if (board > 0) {
            folder /= "board" + std::to_string(board);
        }
        return quillon::testing::ReadFileBytes(folder / "external.bin").substr(0, imageSize);
    }

    const std::string kKey = R"(SOFTWARE\Kavo\QuillonGangTest)";
    std::size_t imageSize = 0;
    quillon::testing::TempDir dir;
};

using quillon::testing::Lines;

TEST_F(WinGangTest, ThreeBoardsFlashOneImageEachLineNamingItsBoard) {
    const std::string image = WriteImage(3);
    const GangResult run = Gang({"flash", Native(dir / "image.bin")});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const auto lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    std::map<int, std::string> logs;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, std::regex(R"(\[([0-2])\] (.*))")))
            << lines[i];
        logs[std::stoi(match[1])] += match[2].str() + "\n";
    }
    for (int board = 0; board < kBoards; ++board) {
        EXPECT_NE(logs[board].find("Auto Flash ---> OK !"), std::string::npos) << logs[board];
        EXPECT_TRUE(Memory(board) == image) << "board " << board;
    }
    EXPECT_TRUE(std::regex_match(
        lines.back(),
        std::regex(R"(3 units: 3 OK, 0 failed, [0-9.]+ s in all, [0-9]+ OK units per hour)")))
        << lines.back();
}

// Board 1 plays a scenario of its own whose fault lands inside its erase or program; boards 0
// and 2 run the same line at the same time.
TEST_F(WinGangTest, AFaultOnOneBoardLeavesTheOthersUnitsOkAndIsNeverReportedOk) {
    struct Case {
        std::string fault;
        int status;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {"kind = unplug\nafter = 40\n", 69, "flash: the board does not answer: it was pulled out"},
        {"kind = power_loss\nafter = 40\n", 1,
         "flash: the target does not answer: it is switched off"},
    };
    const std::string scenario = quillon::testing::ReadFileBytes(
        std::filesystem::path(QUILLON_SCENARIO_DIR) / "default.ini");
    char seed = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::string image = WriteImage(++seed, 32);
        quillon::testing::WriteFileBytes(dir / "board1.ini", scenario + "\n[fault]\n" + c.fault);
        SetVariable("VESSA_SIM_SCENARIO_1", Native(dir / "board1.ini"));
        const GangResult run = Gang({"--json", "flash", Native(dir / "image.bin")});
        EXPECT_EQ(run.status, c.status) << run.err;

        auto ends = quillon::testing::GangBoardEnds(run.out, 3);
        ASSERT_EQ(ends.size(), 3u) << run.out;
        quillon::testing::ExpectOnlyBoardOneFailed(ends, run.out, run.err, c.status, c.cause);
        for (const int board : {0, 2}) {
            EXPECT_TRUE(Memory(board) == image) << "board " << board;
        }
    }
}

// A stop of the gang (an interrupt, passed as its parent passes it) is passed on to every
// board's station, which stops as a single run stops.
TEST_F(WinGangTest, AStopStopsEveryBoardAndGivesTheSignalsStatus) {
    WriteImage(7);
    bool stopped = false;
    const GangResult run = Gang(
        {"tick", "typeauto", "load", Native(dir / "image.bin"), "steps", "program,verify",
         "burnrun", "100000000"},
        [&](platform::ChildProcess& gang, const std::string& out) {
            for (int board = 0; board < kBoards; ++board) {
                if (out.find("[" + std::to_string(board) + "] Write Flash") == std::string::npos) {
                    return;
                }
            }
            if (!stopped) {
                gang.Signal(SIGINT);
                stopped = true;
            }
        });
    ASSERT_TRUE(stopped) << run.out << run.err;
    EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
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
