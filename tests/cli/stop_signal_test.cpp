// Signals against a run: SIGINT, SIGTERM and SIGHUP act as the Stop button (the run ends its
// unit, keeps its record with the cause and exits 128 + the signal); a reader of standard
// output that goes away never ends a run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "tests/cli/cli_process.h"
#include "tests/support/exec_program.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;

class StopSignalTest : public ::testing::Test {
protected:
    StopSignalTest() {
        quillon::testing::WriteFileBytes(dir / "image.bin", std::string(2 * 65536, '\x3C'));
    }
    std::vector<std::string> Arguments(std::vector<std::string> actions) const {
        actions.insert(actions.begin(), {"--settings", (dir / "settings.sqlite").string(),
                                         "--clock", "virtual", "--record", "units.jsonl"});
        return actions;
    }
    std::map<std::string, std::string> Environment() const {
        return {{"VESSA_SIM_SOCKET", sim.Socket().string()}};
    }
    std::string Records() const {
        return std::filesystem::exists(dir / "units.jsonl")
                   ? quillon::testing::ReadFileBytes(dir / "units.jsonl")
                   : std::string();
    }

    quillon::testing::TempDir dir;
    SimDaemon sim{kSource / "sim/scenarios/default.ini", dir.Path()};
};

TEST_F(StopSignalTest, ASignalStopsTheUnitKeepsItsRecordAndGivesTheSignalsStatus) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        std::filesystem::remove(dir / "units.jsonl");
        auto run = StartProgram("quillon-cli",
                                Arguments({"tick", "typeauto", "load", "image.bin", "steps",
                                           "program,verify", "burnrun", "100000000"}),
                                dir.Path(), Environment());
        // Passes of the burn run are under way once the first is recorded.
        for (int waited = 0; Records().empty() && waited < 1000; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(Records().empty());
        kill(run->Pid(), signal);
        const ProcessResult result = run->Finish();
        const std::string cause = "stopped by signal " + std::to_string(signal);
        EXPECT_EQ(result.status, 128 + signal) << result.err;
        EXPECT_NE(result.err.find("burnrun: " + cause), std::string::npos) << result.err;
        // The unit the signal stopped is kept with its cause; one it fell between is not
        // started.
        std::istringstream records(Records());
        for (std::string line; std::getline(records, line);) {
            EXPECT_TRUE(line.find("\"outcome\":\"ok\",\"board\":0}") != std::string::npos ||
                        line.find("\"cause\":\"" + cause + "\"") != std::string::npos)
                << line;
        }
    }
}

// `quillon-cli flash image.bin | head -n 1`: the reader goes before the log is written.
TEST_F(StopSignalTest, AClosedStandardOutputNeverEndsARun) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        if (!freopen("/dev/null", "w", stderr)) {
            _exit(127);
        }
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(dir.Path().c_str()) != 0) {
            _exit(127);
        }
        setenv("VESSA_SIM_SOCKET", sim.Socket().c_str(), 1);
        quillon::testing::ExecProgram((BinFolder() / "quillon-cli").string(),
                                      Arguments({"flash", "image.bin"}));
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(Records().find("\"outcome\":\"ok\",\"board\":0}\n"), std::string::npos) << Records();
    ASSERT_EQ(sim.Control({"dump", "external", (dir / "dump.bin").string()}), 0);
    EXPECT_EQ(quillon::testing::ReadFileBytes(dir / "dump.bin").substr(0, 2 * 65536),
              std::string(2 * 65536, '\x3C'));
}

}  // namespace
}  // namespace quillon::cli::test
