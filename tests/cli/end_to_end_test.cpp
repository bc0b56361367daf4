#include <gtest/gtest.h>

#include <regex>

#include "records/run_record.h"
#include "tests/cli/cli_process.h"
#include "tests/cli/terminal_screen.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

const std::filesystem::path kSource = QUILLON_SOURCE_DIR;

// The stored standard output of a run. QUILLON_UPDATE_GOLDEN=1 stores `actual` instead (read
// the difference before committing it).
std::string Golden(const std::string& name, const std::string& actual) {
    const auto file = kSource / "tests/cli/golden" / name;
    if (const char* update = std::getenv("QUILLON_UPDATE_GOLDEN"); update && *update == '1') {
        quillon::testing::WriteFileBytes(file, actual);
    }
    return quillon::testing::ReadFileBytes(file);
}

// quillon-cli against a vessa-sim daemon playing the default bench: a controller on SMBus
// with a 4 MiB Winbond part behind it, target powered.
class CliOnBoardTest : public ::testing::Test {
protected:
    CliOnBoardTest() {
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        quillon::testing::WriteFileBytes(dir / "image.bin",
                                         std::string(image.begin(), image.end()));
    }

    ProcessResult Cli(std::vector<std::string> arguments, int interruptAfterMs = 0) {
        arguments.insert(arguments.begin(),
                         {"--settings", (dir / "settings.sqlite").string(), "--clock", "virtual"});
        auto result = RunProgram("quillon-cli", arguments, dir.Path(),
                                 {{"VESSA_SIM_SOCKET", sim.Socket().string()}}, interruptAfterMs);
        // The temporary folder differs from run to run.
        result.out = std::regex_replace(result.out, std::regex(dir.Path().string()), "<DIR>");
        return result;
    }
    // The same on a terminal: `out` is what the terminal received.
    ProcessResult CliOnTerminal(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--settings", (dir / "settings.sqlite").string(), "--clock", "virtual"});
        auto result = RunOnTerminal("quillon-cli", arguments, dir.Path(),
                                    {{"VESSA_SIM_SOCKET", sim.Socket().string()}});
        result.out = std::regex_replace(result.out, std::regex(dir.Path().string()), "<DIR>");
        return result;
    }

    // The external part's true content, from the board itself.
    std::string FlashContent() {
        EXPECT_EQ(sim.Control({"dump", "external", (dir / "dump.bin").string()}), 0);
        return quillon::testing::ReadFileBytes(dir / "dump.bin");
    }
    std::string ImageText() const { return {image.begin(), image.end()}; }

    quillon::testing::TempDir dir;
    SimDaemon sim{kSource / "sim/scenarios/default.ini", dir.Path()};
    std::vector<uint8_t> image = std::vector<uint8_t>(2 * 65536);
};

TEST_F(CliOnBoardTest, FlashOnTheDefaultBench) {
    const auto run = Cli({"--record", "units.csv", "flash", "image.bin"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Golden("flash_default.log", run.out));
    EXPECT_NE(run.err.find("Warning: Please Turn on KavoEC Power!\n"), std::string::npos);
    EXPECT_NE(run.err.find("\nGauge: 100%\n"), std::string::npos);
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_EQ(FlashContent().substr(0, image.size()), ImageText());

    const std::string records = quillon::testing::ReadFileBytes(dir / "units.csv");
    ASSERT_EQ(records.rfind(CsvHeader(), 0), 0u);
    const std::string line = records.substr(CsvHeader().size());
    EXPECT_TRUE(std::regex_match(
        line,
        std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ,flash,0,8458,01,EF 15 EF 40 16,"
                   "Winbond / W25Q32FV," +
                   (dir / "image.bin").string() + ",131072," +
                   [&] {
                       char crc[9];
                       std::snprintf(crc, sizeof crc, "%08x", Crc32(image));
                       return std::string(crc);
                   }() +
                   ",,,,ok,[0-9.]+,0,ok,[0-9.]+,0,ok,[0-9.]+,0,ok,[0-9.]+,0,,,,[0-9.]+,ok,0\n")))
        << line;
}

// --fast holds for its run only: the image flashed again with changed blocks only writes
// nothing, and the stored setting stays the full sequence.
TEST_F(CliOnBoardTest, FastForOneRunWritesOnlyWhatChanged) {
    ASSERT_EQ(Cli({"flash", "image.bin"}).status, 0);
    const auto run = Cli({"--fast", "changed", "flash", "image.bin"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\nFast Flash ---> 0 of 2 blocks written\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(FlashContent().substr(0, image.size()), ImageText());
    EXPECT_EQ(Cli({"get", "FastFlash"}).out, "0\n");
}

// On a terminal the screen ends up as the log of a piped run with the standard error's lines
// among it: every line once, in order, and each operation's gauge line (a label and a bar,
// redrawn in place) replaced by its outcome. The image is merged once.
TEST_F(CliOnBoardTest, FlashOnATerminal) {
    const auto run = CliOnTerminal({"flash", "image.bin"});
    EXPECT_EQ(run.status, 0) << run.out;
    std::string log;
    for (const auto& row : ScreenRows(run.out)) {
        if (!std::regex_match(row, std::regex("(Status [a-z]+|Warning): .*"))) {
            log += row + "\n";
        }
    }
    EXPECT_EQ(log, quillon::testing::ReadFileBytes(kSource / "tests/cli/golden/flash_default.log"));
    for (const char* bar : {"Merge    [", "Erase    [", "Check    [", "Write    [",
                            "Verify   [####################] 100 %"}) {
        EXPECT_NE(run.out.find(bar), std::string::npos) << bar;
    }
    EXPECT_NE(ScreenText(run.out).find("Warning: Please Turn on KavoEC Power!\n"),
              std::string::npos);
    EXPECT_EQ(FlashContent().substr(0, image.size()), ImageText());
}

TEST_F(CliOnBoardTest, FailingVerifyStopsTheRunWithStatusOne) {
    const auto run = Cli(
        {"--record", "units.jsonl", "steps", "verify", "flash", "image.bin", "get", "ConnectMode"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Golden("verify_failure.log", run.out));
    const std::string record = quillon::testing::ReadFileBytes(dir / "units.jsonl");
    EXPECT_NE(record.find("\"steps\":[{\"name\":\"verify\",\"result\":\"failed\""),
              std::string::npos);
    EXPECT_NE(record.find("\"outcome\":\"failed\",\"board\":0}\n"), std::string::npos);
}

TEST_F(CliOnBoardTest, RefusedPreconditionIsReportedAsRefused) {
    const auto run = Cli({"tick", "typeauto", "auto"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Golden("refused_auto.log", run.out));
    EXPECT_NE(run.err.find("Warning: Please Open BIN File First or Choice Flash Type !\n"),
              std::string::npos);

    const auto json = Cli({"--json", "tick", "typeauto", "auto"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("{\"event\":\"action\",\"name\":\"typeauto\",\"result\":\"ok\""),
              std::string::npos);
    EXPECT_NE(json.out.find("{\"event\":\"box\",\"kind\":\"warning\",\"title\":\"Warning\","
                            "\"text\":\"Please Open BIN File First or Choice Flash Type !\"}"),
              std::string::npos);
    EXPECT_NE(json.out.find("{\"event\":\"action\",\"name\":\"auto\",\"result\":\"refused\""),
              std::string::npos);
}

TEST_F(CliOnBoardTest, JsonEventsOfAFlash) {
    const auto run = Cli({"--json", "flash", "image.bin"});
    EXPECT_EQ(run.status, 0) << run.err;
    // Every line is one event object; the outcome replaces the progress line.
    std::size_t lines = 0;
    std::istringstream stream(run.out);
    for (std::string line; std::getline(stream, line); ++lines) {
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\{"event":"[a-z]+",.*\})"))) << line;
    }
    EXPECT_GT(lines, 20u);
    const auto progress =
        run.out.find("{\"event\":\"append\",\"line\":\"Write Flash from buffer ---> Writing...\"}");
    const auto outcome = run.out.find(
        "{\"event\":\"replace\",\"line\":\"Write Flash from buffer ---> OK ! 0\"}", progress);
    EXPECT_NE(progress, std::string::npos);
    EXPECT_NE(outcome, std::string::npos);
    // The operation's events frame its lines: started just before its progress line, ended
    // with its report after its outcome line; the run's close tells its end too.
    EXPECT_NE(run.out.find("{\"event\":\"started\",\"name\":\"Write Flash from buffer\","
                           "\"label\":\"Write\"}\n{\"event\":\"append\",\"line\":\"Write Flash "
                           "from buffer ---> Writing...\"}"),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"ended\",\"name\":\"Write Flash from buffer\",\"result\":"
                           "\"ok\",\"retries\":0,\"errors\":0,\"cause\":\"\",\"seconds\":",
                           outcome),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"ended\",\"name\":\"Auto Flash\",\"result\":\"ok\""),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"gauge\",\"percent\":100}"), std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"status\",\"panel\":\"target\",\"text\":\"EC/SMB "
                           "Power-On\"}"),
              std::string::npos);
    EXPECT_TRUE(std::regex_search(
        run.out,
        std::regex(R"(\{"event":"action","name":"flash","result":"ok","seconds":[0-9.]+\}\n$)")));
}

TEST_F(CliOnBoardTest, BurnRunRecordsEachPass) {
    const auto run = Cli({"--record", "units.jsonl", "tick", "typeauto", "load", "image.bin",
                          "steps", "program,verify", "burnrun", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Burn Times = 0\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex("Burn Times = 1\nTotal Time : 00:0\\d   \\(minute:second\\)\n"
                            "Burn Times = 2\n$")));
    const std::string records = quillon::testing::ReadFileBytes(dir / "units.jsonl");
    EXPECT_NE(records.find("\"action\":\"burnrun\",\"pass\":0,"), std::string::npos);
    EXPECT_NE(records.find("\"action\":\"burnrun\",\"pass\":1,"), std::string::npos);
    EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 2);
    EXPECT_EQ(FlashContent().substr(0, image.size()), ImageText());
}

TEST_F(CliOnBoardTest, InterruptStopsABurnRunWithNoStepChecked) {
    // With no step checked a pass does nothing and succeeds; only Stop ends the run.
    const auto run = Cli(
        {"tick", "typeauto", "load", "image.bin", "steps", "none", "burnrun", "100000000"}, 3000);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_TRUE(
        std::regex_search(run.out, std::regex("Burn Times = (\\d+)\nTotal Time : \\d\\d:\\d\\d   "
                                              "\\(minute:second\\)\nBurn Times = \\d+\n$")))
        << run.out.substr(run.out.size() > 400 ? run.out.size() - 400 : 0);
}

// A manufacturer file that cannot be read is a configuration error: the run names the file and
// the reason, exits 78 and erases nothing, from flash and from the customer page's Auto alike.
TEST_F(CliOnBoardTest, AnUnreadableFlashTypeStopsTheRunBeforeErasing) {
    ASSERT_EQ(Cli({"flash", "image.bin"}).status, 0);
    const std::string before = FlashContent();
    std::filesystem::copy(BinFolder() / "INI", dir / "INI",
                          std::filesystem::copy_options::recursive);
    std::filesystem::remove(dir / "INI/Winbond.ini");
    std::filesystem::create_directory(dir / "INI/Winbond.ini");
    quillon::testing::WriteFileBytes(dir / "other.bin", std::string(65536, '\x5A'));
    const std::string reason = "'<DIR>/INI/Winbond.ini' is not a regular file";

    const std::string ini = (dir / "INI").string();
    const auto flash = Cli({"--ini-dir", ini, "flash", "other.bin"});
    EXPECT_EQ(flash.status, 78) << flash.err;
    EXPECT_NE(flash.out.find("Error : Flash TypeAuto : " + reason + "\n"), std::string::npos)
        << flash.out;
    EXPECT_NE(flash.err.find("flash: the flash type cannot be read: '" + dir.Path().string() +
                             "/INI/Winbond.ini' is not a regular file"),
              std::string::npos)
        << flash.err;

    ASSERT_EQ(Cli({"set", "SpecialForm=1"}).status, 0);
    const auto customer =
        Cli({"--ini-dir", ini, "--record", "units.jsonl", "load", "other.bin", "auto"});
    EXPECT_EQ(customer.status, 78) << customer.err;
    EXPECT_NE(customer.out.find(reason + "\nAuto Flash ---> Failure !\n"), std::string::npos)
        << customer.out;
    const std::string record = quillon::testing::ReadFileBytes(dir / "units.jsonl");
    EXPECT_NE(record.find("\"steps\":[{\"name\":\"typeauto\",\"result\":\"refused\""),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("Winbond.ini' is not a regular file\"}],"), std::string::npos) << record;

    for (const auto& run : {flash, customer}) {
        EXPECT_EQ(run.out.find("Erase Flash"), std::string::npos) << run.out;
    }
    EXPECT_EQ(FlashContent(), before);
}

TEST_F(CliOnBoardTest, BackupSavesTheFlashOnlyOnTheCustomerPage) {
    ASSERT_EQ(Cli({"flash", "image.bin"}).status, 0);
    EXPECT_EQ(Cli({"backup", "backup.bin"}).status, 1);  // SpecialForm 0: nothing done
    EXPECT_FALSE(std::filesystem::exists(dir / "backup.bin"));
    ASSERT_EQ(Cli({"set", "SpecialForm=1"}).status, 0);
    const auto run = Cli({"backup", "backup.bin", "get", "Allocation"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string saved = quillon::testing::ReadFileBytes(dir / "backup.bin");
    EXPECT_EQ(saved, FlashContent());
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n2\n")));  // Allocation stays 2
}

}  // namespace
}  // namespace quillon::cli::test
