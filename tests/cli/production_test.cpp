// quillon-cli as a production line uses it: bad input refused with a message and nothing
// touched, one station per settings file, and the cause of a failure named.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "config/settings_lock.h"
#include "config/sqlite_settings_store.h"
#include "tests/cli/cli_process.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;

std::string StoreText(const std::filesystem::path& settings) {
    std::string text;
    for (const auto& value : SqliteSettingsStore::Open(settings)->Enumerate()) {
        text += value.name + "=" + std::to_string(value.dword) + "|" + value.text + "\n";
    }
    return text;
}

class CliBadInputTest : public ::testing::Test {
protected:
    CliBadInputTest() {
        ::mkfifo((dir / "fifo.bin").c_str(), 0600);
        quillon::testing::WriteFileBytes(dir / "empty.bin", "");
        quillon::testing::WriteFileBytes(dir / "huge.bin", "");
        std::filesystem::resize_file(dir / "huge.bin", 2ull << 30);  // sparse 2 GiB
    }
    ProcessResult Cli(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--settings", settings.string(), "--clock", "virtual"});
        return RunProgram("quillon-cli", arguments, dir.Path(),
                          {{"VESSA_SIM_SOCKET", (dir / "no-board.sock").string()}});
    }

    quillon::testing::TempDir dir;
    std::filesystem::path settings = dir / "settings.sqlite";
};

TEST_F(CliBadInputTest, EachIsRefusedWithItsMessageAndTouchesNothing) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"load", "fifo.bin"}, 66, "It is not a regular file"},
        {{"flash", "fifo.bin"}, 66, "It is not a regular file"},
        {{"import-reg", "fifo.bin"}, 66, "cannot read"},
        {{"flash", "huge.bin"},
         66,
         "is 2147483648 bytes, larger than the largest part the station can address "
         "(268435456 bytes)"},
        {{"load", "empty.bin"}, 66, "empty.bin\" is empty"},
        {{"set", "NoSuchName=1"}, 64, "set: no setting 'NoSuchName'; the known settings: "},
        {{"set", "ConectMode=1"}, 64, "did you mean ConnectMode?"},
        {{"set", "ConnectMode=99"}, 78, "ConnectMode: 99 is outside its range, 1 to 4"},
        {{"set", "PageWriteSize=100"}, 78, "one of 1, 16, 32, 64, 128, 256"},
        {{"set", "SkipFFChecked=2"}, 78, "0 or 1"},
        {{"set", "AssignedAddress=12345"}, 78, "The last byte must be 0 !"},
    };
    // A refused set comes before the start-up: a fresh settings file is not even created.
    EXPECT_EQ(Cli({"get", "ConnectMode", "set", "ConnectMode=0"}).status, 78);
    EXPECT_FALSE(std::filesystem::exists(settings));
    ASSERT_EQ(Cli({"get", "ConnectMode"}).status, 0);
    const std::string stored = StoreText(settings);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
        std::vector<std::string> arguments = {"--record", "units.csv"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto run = Cli(arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(StoreText(settings), stored);
        EXPECT_FALSE(std::filesystem::exists(dir / "units.csv"));
    }
}

TEST_F(CliBadInputTest, AFifoAsTheLastFileIsForgottenAtStartUpWithoutWaiting) {
    ASSERT_EQ(Cli({"set", "LastFilePath=" + (dir / "fifo.bin").string()}).status, 0);
    // get alone prints no log: the JSON events carry the start-up's line.
    const auto run = Cli({"--json", "get", "ConnectMode"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Can't Find The File , Please Lode File Again !!"), std::string::npos);
    EXPECT_EQ(SqliteSettingsStore::Open(settings)->ReadText("LastFilePath"), "");
}

// A second process on a settings file another holds: refused at once naming the holder, or
// with --wait run once the holder has ended. This test program is the holder.
TEST_F(CliBadInputTest, ASettingsFileServesOneStationAtATime) {
    auto held = std::make_unique<SettingsLock>(SettingsLock::Acquire(settings, LockWait::No));
    ASSERT_TRUE(held->Held());
    const auto refused = Cli({"get", "ConnectMode"});
    EXPECT_EQ(refused.status, 75);
    EXPECT_NE(refused.err.find("the settings file '" + settings.string() +
                               "' is in use by process " + std::to_string(::getpid())),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(refused.out.empty());
    EXPECT_FALSE(std::filesystem::exists(settings));  // not even created

    auto waiting = std::async(std::launch::async, [&] {
        return Cli({"--wait", "get", "ConnectMode"});
    });
    // Release the file once the second station says it waits (its standard error is a file).
    for (int i = 0; i < 3000; ++i) {
        std::ifstream err(dir / ".stderr");
        const std::string text{std::istreambuf_iterator<char>(err), {}};
        if (text.find("waiting for the settings") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    held.reset();
    const auto waited = waiting.get();
    EXPECT_EQ(waited.status, 0) << waited.err;
    EXPECT_NE(waited.err.find("held by process " + std::to_string(::getpid())), std::string::npos);
}

// A board pulled out and a target switched off in the middle of a flash, by the virtual
// board's own fault events: the cause is named on standard error, and a board that is gone
// gives status 69.
TEST(CliOnBoardFailureTest, ABoardPulledOutOrATargetSwitchedOffIsNamed) {
    struct Case {
        std::string fault;
        int status;
        std::string message;
        std::string status_line;
    };
    const std::vector<Case> cases = {
        {"kind=unplug", 69, "flash: the board does not answer: it was pulled out",
         "USB Device 'Vessa' Plug-Out"},
        {"kind=power_loss", 1, "flash: the target does not answer: it is switched off",
         "EC/SMB Power-Off"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        quillon::testing::TempDir dir;
        // 32 blocks: the part erases in 64 KB blocks, so a run needs a few transfers a block,
        // and the fault below must land inside it.
        quillon::testing::WriteFileBytes(dir / "image.bin", std::string(32 * 65536, '\x5A'));
        SimDaemon sim(kSource / "sim/scenarios/default.ini", dir.Path());
        // Past the start-up, the connection check and the typing: inside the erase or program.
        ASSERT_EQ(sim.Control({"fault", c.fault, "after=40"}), 0);
        const auto run = RunProgram("quillon-cli",
                                    {"--settings", (dir / "settings.sqlite").string(), "--clock",
                                     "virtual", "flash", "image.bin"},
                                    dir.Path(), {{"VESSA_SIM_SOCKET", sim.Socket().string()}});
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.rfind(c.status_line), std::string::npos) << run.err;
        EXPECT_NE(run.out.find("Auto Flash ---> Failure !"), std::string::npos) << run.out;
    }
}

}  // namespace
}  // namespace quillon::cli::test
