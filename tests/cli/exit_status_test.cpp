#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "cli/cli_actions.h"
#include "config/sqlite_settings_store.h"
#include "tests/cli/cli_process.h"
#include "tests/support/fresh_settings_summary.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli::test {
namespace {

// quillon-cli as a script runs it, with no board: the driver's socket does not exist.
class CliRunTest : public ::testing::Test {
protected:
    ProcessResult Cli(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--settings", settings.string(), "--clock", "virtual"});
        return RunProgram("quillon-cli", arguments, dir.Path(),
                          {{"VESSA_SIM_SOCKET", (dir / "no-board.sock").string()}});
    }
    std::vector<SettingValue> Stored() { return SqliteSettingsStore::Open(settings)->Enumerate(); }

    quillon::testing::TempDir dir;
    std::filesystem::path settings = dir / "settings.sqlite";
};

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    return text;
}

TEST_F(CliRunTest, StandardOutputIsTheLogAsSaveMessageWritesIt) {
    const auto run = Cli({"set", "SpecialForm=1", "get", "SpecialForm", "save-log", "run.log"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string summary = Lines(testing::FreshSettingsSummary());
    // The value get prints, then the log; Save Message's file ends with its "Saving..." line.
    EXPECT_EQ(run.out, summary + "1\nSave Debug Message to File ---> OK !\nSave in '" +
                           (dir / "run.log").string() + "'\n");
    EXPECT_EQ(quillon::testing::ReadFileBytes(dir / "run.log"),
              summary + "Save Debug Message to File ---> Saving...\n");
    EXPECT_NE(run.err.find("Status board: USB Device 'Vessa' Plug-Out"), std::string::npos);
}

// `x=$(quillon-cli get NAME)`: a run of the settings actions prints on standard output what
// they print themselves, and no log.
TEST_F(CliRunTest, SettingsActionsPrintOnlyTheirOwnOutput) {
    ASSERT_EQ(Cli({"export-reg", "a.reg"}).out, "");
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"get", "ConnectMode"}, "2\n"},
        {{"set", "SpecialForm=1", "get", "SpecialForm", "set", "SpecialForm=0"}, "1\n"},
        {{"import-reg", "a.reg", "export-reg", "b.reg"}, ""},
        {{"check-params"}, ""},
    };
    for (const auto& [arguments, out] : runs) {
        const auto run = Cli(arguments);
        EXPECT_EQ(run.status, 0) << arguments[0] << ": " << run.err;
        EXPECT_EQ(run.out, out) << arguments[0];
    }
}

TEST_F(CliRunTest, JsonEventsAndActionResults) {
    const auto run = Cli({"--json", "get", "ConnectMode", "confirm"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("{\"event\":\"append\",\"line\":\"Connect Mode : Kavo USB for "
                           "DBGR/SMB\"}\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"status\",\"panel\":\"target\",\"text\":\"Kavo EC "
                           "Power-Off\"}\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"action\",\"name\":\"get\",\"result\":\"ok\","
                           "\"seconds\":0.0,\"value\":\"2\"}\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"box\",\"kind\":\"warning\",\"title\":\"Warning\","
                           "\"text\":\"Please Open BIN File or Read Flash First !\"}\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("{\"event\":\"action\",\"name\":\"confirm\",\"result\":\"refused\""),
              std::string::npos);
}

TEST_F(CliRunTest, EachExitStatus) {
    EXPECT_EQ(Cli({"get", "ConnectMode"}).status, 0);
    EXPECT_EQ(Cli({"frobnicate"}).status, 64);
    EXPECT_EQ(Cli({}).status, 64);
    EXPECT_EQ(Cli({"load", "missing.bin"}).status, 66);
    EXPECT_EQ(Cli({"import-reg", "missing.reg"}).status, 66);
    EXPECT_EQ(Cli({"auto"}).status, 69);
    EXPECT_EQ(Cli({"flash", "missing.bin"}).status, 66);
    EXPECT_EQ(Cli({"save-log", (dir / "no-folder" / "x.log").string()}).status, 74);
    EXPECT_EQ(Cli({"export-reg", dir.Path().string()}).status, 74);
    EXPECT_EQ(
        Cli({"--record", (dir / "no-folder" / "r.csv").string(), "get", "ConnectMode"}).status, 74);
    EXPECT_EQ(Cli({"get", "NoSuchValue"}).status, 78);
    EXPECT_EQ(Cli({"set", "ConnectMode=two"}).status, 78);
    EXPECT_EQ(Cli({"confirm"}).status, 1);
    EXPECT_EQ(Cli({"type", "NoSuchMaker", "X"}).status, 1);

    // A run stops at the first action that does not succeed.
    const auto stopped = Cli({"confirm", "set", "SpecialForm=1"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(Cli({"get", "SpecialForm"}).out, "0\n");

    quillon::testing::WriteFileBytes(settings, "not a database at all, but a plain text file");
    const auto corrupt = Cli({"get", "ConnectMode"});
    EXPECT_EQ(corrupt.status, 78);
    EXPECT_EQ(quillon::testing::ReadFileBytes(settings),
              "not a database at all, but a plain text file");
}

TEST_F(CliRunTest, SetKeepsTheTypeOfEachValue) {
    EXPECT_EQ(Cli({"set", "ConnectMode=0x3", "set", "AssignedAddress=1E000", "set",
                   "ExtraECChipID=01,ab", "set", "lastflashid1=abc", "set", "Key7=255"})
                  .status,
              0);
    auto store = SqliteSettingsStore::Open(settings);
    EXPECT_EQ(store->ReadInt("ConnectMode"), 3);
    EXPECT_EQ(store->ReadText("AssignedAddress"), "1E000");
    EXPECT_EQ(store->ReadBinary("ExtraECChipID"), (std::vector<uint8_t>{0x01, 0xAB}));
    EXPECT_EQ(store->ReadText("LastFlashID1"), "abc");
    EXPECT_EQ(store->ReadInt("Key7"), 255);
    // A name first stored by set keeps the spelling the program knows.
    bool spelled = false;
    for (const auto& value : store->Enumerate()) {
        spelled = spelled || value.name == "LastFlashID1";
    }
    EXPECT_TRUE(spelled);
}

TEST_F(CliRunTest, ImportOfAnExportGivesAnIdenticalStore) {
    ASSERT_EQ(Cli({"set", "SpecialForm=1", "set", "LastFilePath=C:\\img\\a \"b\".bin", "set",
                   "ExtraECChipID=00,ff", "set", "ShowWriteStatus=1", "export-reg", "a.reg"})
                  .status,
              0);
    const auto original = Stored();
    std::filesystem::remove(settings);
    const auto run = Cli({"import-reg", "a.reg", "export-reg", "b.reg"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto copy = Stored();
    ASSERT_EQ(original.size(), copy.size());
    for (std::size_t i = 0; i < copy.size(); ++i) {
        SCOPED_TRACE(original[i].name);
        EXPECT_EQ(original[i].name, copy[i].name);
        EXPECT_EQ(original[i].type, copy[i].type);
        EXPECT_EQ(original[i].dword, copy[i].dword);
        EXPECT_EQ(original[i].text, copy[i].text);
        EXPECT_EQ(original[i].binary, copy[i].binary);
    }
    EXPECT_EQ(quillon::testing::ReadFileBytes(dir / "a.reg"),
              quillon::testing::ReadFileBytes(dir / "b.reg"));
}

TEST_F(CliRunTest, MalformedRegistryFileChangesNothing) {
    ASSERT_EQ(Cli({"get", "ConnectMode"}).status, 0);
    const auto before = Stored();
    quillon::testing::WriteFileBytes(dir / "bad.reg",
                                     "REGEDIT4\r\n"
                                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kavo\\Vessa_Quillon]\r\n"
                                     "\"SpecialForm\"=dword:00000001\r\n"
                                     "\"ConnectMode\"=\"3\"\r\n");
    const auto run = Cli({"import-reg", "bad.reg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad.reg:4: \"ConnectMode\" must be a dword, not a string"),
              std::string::npos)
        << run.err;
    const auto after = Stored();
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(before[i].name, after[i].name);
        EXPECT_EQ(before[i].dword, after[i].dword);
        EXPECT_EQ(before[i].text, after[i].text);
    }
}

TEST_F(CliRunTest, CheckParamsReportsEachProblemOfTheParameterFiles) {
    EXPECT_EQ(Cli({"check-params"}).status, 0);
    const auto ini = dir / "INI";
    std::filesystem::copy(BinFolder() / "INI", ini, std::filesystem::copy_options::recursive);
    std::string winbond = quillon::testing::ReadFileBytes(ini / "Winbond.ini");
    const auto at = winbond.find("Flashblock=");
    ASSERT_NE(at, std::string::npos);
    winbond.replace(at, winbond.find('\n', at) - at, "Flashblock=zz");
    quillon::testing::WriteFileBytes(ini / "Winbond.ini", winbond);
    const auto run = Cli({"--ini-dir", ini.string(), "--json", "check-params"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Parameter check : Winbond.ini ["), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Flashblock : 'zz' is not a valid integer value"), std::string::npos);
    EXPECT_NE(run.out.find("\"name\":\"check-params\",\"result\":\"failed\""), std::string::npos);
}

// A file that cannot be read is named with the reader's reason; names read from a file are
// shown with their control characters escaped, so that a file cannot drive the terminal.
TEST_F(CliRunTest, CheckParamsNamesUnreadableFilesAndEscapesWhatItEchoes) {
    const auto ini = dir / "INI";
    std::filesystem::copy(BinFolder() / "INI", ini, std::filesystem::copy_options::recursive);
    std::filesystem::remove(ini / "Winbond.ini");
    ASSERT_EQ(::mkfifo((ini / "Winbond.ini").c_str(), 0600), 0);
    quillon::testing::WriteFileBytes(ini / "Macronix.ini",
                                     "[\x1b]2;owned\x07\x1b[2J\x9b\xc2\x9b]\n");
    const auto run = Cli({"--ini-dir", ini.string(), "check-params"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("quillon-cli: Parameter check : Winbond.ini : '" +
                           (ini / "Winbond.ini").string() + "' is not a regular file\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Winbond.ini\" missing"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Macronix.ini [<1B>]2;owned<07><1B>[2J<9B><C2><9B>] EraseType"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find_first_of("\x1b\x07\x9b"), std::string::npos);
}

TEST_F(CliRunTest, TypeChoosesThePartAsTheTypePageOk) {
    const auto run =
        Cli({"type", "Winbond", "W25Q64FV", "get", "Flashblock", "get", "LastFlashID2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\n128\nW25Q64FV\n"), std::string::npos) << run.out;
    const auto unknown = Cli({"type", "Winbond", "NoSuchPart"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("type: no device 'NoSuchPart' of Winbond; known: "),
              std::string::npos);
}

TEST_F(CliRunTest, SettingsErrorAtStartUpEndsWithStatus78) {
    SqliteSettingsStore::Open(settings)->WriteText("ConnectMode", "two");
    const auto run = Cli({"get", "ConnectMode"});
    EXPECT_EQ(run.status, 78);
    EXPECT_NE(run.err.find("Invalid data type for 'ConnectMode'"), std::string::npos) << run.err;
    EXPECT_EQ(SqliteSettingsStore::Open(settings)->ReadText("ConnectMode"), "two");
}

TEST_F(CliRunTest, HelpAndVersion) {
    const auto help = RunProgram("quillon-cli", {"--help"}, dir.Path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quillon-cli", 0), 0u);
    const auto version = RunProgram("quillon-cli", {"--version"}, dir.Path());
    EXPECT_EQ(version.out, "quillon-cli 4.0.0.8\n");
}

// Words separated by single blanks.
std::string Words(const std::string& text) {
    std::istringstream stream(text);
    std::string word;
    std::string out;
    while (stream >> word) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

// --help (and so the manual page) is made from the action table: each entry's usage and text
// stand in it as one block, every action is named, and the text is the one scripts know.
TEST_F(CliRunTest, HelpIsMadeFromTheActionTable) {
    const std::string help = RunProgram("quillon-cli", {"--help"}, dir.Path()).out;
    EXPECT_EQ(help, quillon::testing::ReadFileBytes(std::filesystem::path(QUILLON_SOURCE_DIR) /
                                                    "tests/cli/golden/help.txt"));
    std::vector<std::string> lines;
    std::istringstream stream(help);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    std::string listed;
    for (const ActionSpec& spec : ActionTable()) {
        const std::string usage = spec.usage;
        if (usage.empty()) {
            continue;  // listed with the entry above it
        }
        listed += usage + " ";
        std::string expected = usage;
        for (const char* text : spec.help) {
            expected += std::string(" ") + text;
        }
        const auto at = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind("  " + usage, 0) == 0;
        });
        ASSERT_NE(at, lines.end()) << usage;
        // An entry takes its help lines, and one more when the usage stands on a line alone.
        const std::size_t count = spec.help.size() + (Words(*at) == usage ? 1 : 0);
        std::string shown;
        for (auto line = at; line != lines.end() && line != at + static_cast<long>(count); ++line) {
            shown += *line + " ";
        }
        EXPECT_EQ(Words(shown), Words(expected));
    }
    for (const ActionSpec& spec : ActionTable()) {
        EXPECT_NE(listed.find(spec.name), std::string::npos) << spec.name;
    }
}

}  // namespace
}  // namespace quillon::cli::test
