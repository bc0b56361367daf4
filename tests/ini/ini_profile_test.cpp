#include "config/ini_profile.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/ordinary_user.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string TestName(std::string text) {
    for (char& ch : text) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return text;
}

// --- Reading: one table of cases ---------------------------------------------------------

struct ReadCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* expected;  // nullptr: absent, the default comes back
};

const ReadCase kReadCases[] = {
    {"plain", "[S]\nK=v\n", "S", "K", "v"},
    {"section case ignored", "[Winbond]\nK=v\n", "WINBOND", "K", "v"},
    {"key case ignored", "[S]\nFlashBlock=8\n", "S", "flashblock", "8"},
    {"blanks around names and value", "  [ S ]  \n  K  =  v w  \n", "S", "K", "v w"},
    {"tab blanks", "[S]\n\tK\t=\tv\t\n", "S", "K", "v"},
    {"double quotes stripped", "[S]\nK=\" v \"\n", "S", "K", " v "},
    {"single quotes stripped", "[S]\nK='v'\n", "S", "K", "v"},
    {"only one pair stripped", "[S]\nK=\"\"v\"\"\n", "S", "K", "\"v\""},
    {"unmatched quotes kept", "[S]\nK=\"v'\n", "S", "K", "\"v'"},
    {"lone quote kept", "[S]\nK=\"\n", "S", "K", "\""},
    {"hash in value", "[S]\nK=a#b ;c\n", "S", "K", "a#b ;c"},
    {"comment line", "[S]\n;K=x\nK=v\n", "S", "K", "v"},
    {"indented comment line", "[S]\n   ; K=x\n", "S", "K", nullptr},
    {"hash line is a key", "[S]\n#K=v\n", "S", "#K", "v"},
    {"indented line is ordinary", "[S]\nK=v\n  L=w\n", "S", "L", "w"},
    {"no continuation", "[S]\nK=v\n  more\n", "S", "K", "v"},
    {"first duplicate key wins", "[S]\nK=1\nk=2\n", "S", "K", "1"},
    {"first duplicate section wins", "[S]\nA=1\n[s]\nA=2\nB=3\n", "S", "B", nullptr},
    {"value after first equals", "[S]\nK=a=b\n", "S", "K", "a=b"},
    {"empty value", "[S]\nK=\n", "S", "K", ""},
    {"crlf lines", "[S]\r\nK=v\r\n", "S", "K", "v"},
    {"no final line break", "[S]\nK=v", "S", "K", "v"},
    {"key before any section is not in the first", "K=v\n[S]\n", "S", "K", nullptr},
    {"absent section", "[S]\nK=v\n", "T", "K", nullptr},
    {"absent key", "[S]\nK=v\n", "S", "L", nullptr},
    {"malformed line skipped", "[S]\njunk line\nK=v\n", "S", "K", "v"},
    {"unterminated header is an ordinary line", "[S]\n[T\nK=v\n", "S", "K", "v"},
    {"utf-8 byte-order mark skipped", "\xEF\xBB\xBF[S]\r\nK=v\r\n", "S", "K", "v"},
    {"dos end-of-file mark is a blank", "[S]\r\nK=v\x1A", "S", "K", "v"},
    {"doubled cr is a blank", "[S]\r\nK=v\r\r\n", "S", "K", "v"},
    {"lone cr ends a line", "[S]\nK=a\rL=b\n", "S", "L", "b"},
    {"last bracket closes the header", "[S]x]\nK=v\n", "S]x", "K", "v"},
    {"key before any section", "K=v\n[S]\n", "", "K", "v"},
    {"text after header ignored", "[S] trailing\nK=v\n", "S", "K", "v"},
    {"empty file", "", "S", "K", nullptr},
};

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ReadsLikeTheProfileReader) {
    const ReadCase& c = GetParam();
    const IniDocument document(c.text);
    const std::string value = document.Read(c.section, c.key, "<default>");
    EXPECT_EQ(value, c.expected ? c.expected : "<default>");
}

INSTANTIATE_TEST_SUITE_P(Cases, IniReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& param) { return TestName(param.param.name); });

TEST(IniListTest, SectionsAndEntriesInFileOrder) {
    const IniDocument document(
        "; header comment\n"
        "[Zeta]\nb=2\na=1\n; note\nbad line\n=orphan\n"
        "[alpha]\nx = ' quoted '\n"
        "[ZETA]\nc=3\n");
    // A repeated section is listed again; its keys stay unreachable, as with the system.
    EXPECT_EQ(document.SectionNames(), (std::vector<std::string>{"Zeta", "alpha", "ZETA"}));
    const auto entries = document.SectionEntries("zeta");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, "b");
    EXPECT_EQ(entries[1].key, "a");
    EXPECT_EQ(entries[2].key, "");
    EXPECT_EQ(entries[2].value, "orphan");
    // The listing also gives the bare line, whole, as the text after a "=" it does not have.
    std::vector<std::string> listed;
    for (const auto& line : document.SectionLines("zeta")) {
        listed.push_back(line.key + "=" + line.value);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"b=2", "a=1", "=bad line", "=orphan"}));
    ASSERT_EQ(document.SectionEntries("Alpha").size(), 1u);
    EXPECT_EQ(document.SectionEntries("Alpha")[0].value, " quoted ");
    EXPECT_TRUE(document.SectionEntries("missing").empty());
}

// --- Writing in place ---------------------------------------------------------------------

struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

const WriteCase kWriteCases[] = {
    {"existing key keeps spelling and place", "; c\r\n[Pin]\r\n  NUM = 1 ; x\r\nz=9\r\n", "pin",
     "num", "2", "; c\r\n[Pin]\r\n  NUM=2\r\nz=9\r\n"},
    {"new key after the last key of its section", "[A]\na=1\n\n[B]\nb=1\n", "A", "n", "v",
     "[A]\na=1\nn=v\n\n[B]\nb=1\n"},
    {"new key in an empty section", "[A]\n[B]\n", "A", "n", "v", "[A]\nn=v\n[B]\n"},
    {"new key when the last line has no break", "[A]\na=1", "A", "n", "v", "[A]\na=1\nn=v\n"},
    {"new section at the end", "[A]\na=1", "B", "b", "2", "[A]\na=1\n[B]\nb=2\n"},
    {"new file", "", "SetNum", "Num", "3", "[SetNum]\nNum=3\n"},
    {"crlf file gets crlf lines", "[A]\r\na=1\r\n", "B", "b", "2", "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
    {"value the reader would change is quoted", "[A]\n", "A", "k", " x ", "[A]\nk=\" x \"\n"},
    {"quoted value keeps its quotes", "[A]\n", "A", "k", "'q'", "[A]\nk=\"'q'\"\n"},
    {"first duplicate is the one written", "[A]\nk=1\nk=2\n", "A", "K", "3", "[A]\nk=3\nk=2\n"},
};

class IniWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, ChangesOnlyItsOwnLine) {
    const WriteCase& c = GetParam();
    IniDocument document(c.before);
    ASSERT_TRUE(document.Write(c.section, c.key, c.value).ok);
    EXPECT_EQ(document.Text(), c.after);
    EXPECT_EQ(document.Read(c.section, c.key, "<default>"), c.value);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniWriteTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& param) { return TestName(param.param.name); });

TEST(IniWriteTest, RefusesNamesAndValuesThatWouldBreakTheLines) {
    IniDocument document("[A]\na=1\n");
    EXPECT_FALSE(document.Write("A", "k", "1\n[Evil]\nx=1").ok);
    EXPECT_FALSE(document.Write("A]", "k", "1").ok);
    EXPECT_FALSE(document.Write("A", "k=j", "1").ok);
    EXPECT_FALSE(document.Write("A", ";k", "1").ok);
    EXPECT_FALSE(document.Write("", "k", "1").ok);
    EXPECT_FALSE(document.Write("A", " ", "1").ok);
    EXPECT_EQ(document.Text(), "[A]\na=1\n");
}

// --- Files -----------------------------------------------------------------------------

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quillon-ini-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    void Put(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Get(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Listing() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    // Root ignores permissions: the body runs as the ordinary user "nobody" then.
    void AsOrdinaryUser(const std::function<void()>& body) { testing::AsOrdinaryUser(dir_, body); }
    fs::path dir_;
};

TEST_F(IniFileTest, WriteRoundTripsEveryOtherByte) {
    // Odd spacing, comments, a BOM-less mix of line breaks, trailing blanks and no final break.
    const std::string original =
        ";Pin sets\r\n[SetNum]\r\nNum = 2   \r\n\r\n[PinSet]\n0=01,02,03,04,05,06,07,08,09,10,"
        "11,12,13,14,15,Board A\n  1 =  15,14,13,12,11,10,09,08,07,06,05,04,03,02,01,B ;x\n"
        "[Tail]\nz=\"keep\"";
    const fs::path file = dir_ / "PinSet.ini";
    Put(file, original);
    ASSERT_TRUE(WriteIniValue(file, "SETNUM", "num", "3").ok);
    std::string expected = original;
    expected.replace(expected.find("Num = 2   "), 10, "Num=3");
    EXPECT_EQ(Get(file), expected);
    // Writing the old value back restores every byte but the normalised line.
    ASSERT_TRUE(
        WriteIniValue(file, "PinSet", "1", "15,14,13,12,11,10,09,08,07,06,05,04,03,02,01,B ;x").ok);
    EXPECT_EQ(LoadIniFile(file).Read("pinset", "1", ""),
              "15,14,13,12,11,10,09,08,07,06,05,04,03,02,01,B ;x");
    EXPECT_EQ(Listing(), std::vector<std::string>{"PinSet.ini"});  // no temporary left behind
}

TEST_F(IniFileTest, WriteKeepsThePermissionsAndCreatesAMissingFile) {
    const fs::path file = dir_ / "Mode.ini";
    Put(file, "[A]\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteIniValue(file, "A", "k", "v").ok);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const fs::path fresh = dir_ / "New.ini";
    ASSERT_TRUE(WriteIniValue(fresh, "Parameter", "VERSION", "1.0").ok);
    EXPECT_EQ(Get(fresh), "[Parameter]\nVERSION=1.0\n");
}

TEST_F(IniFileTest, FailedWriteLeavesTheOldFileAndSaysSo) {
    AsOrdinaryUser([this] {
        const fs::path file = dir_ / "Locked.ini";
        Put(file, "[A]\nk=old\n");
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);  // no new files
        const IniWriteResult result = WriteIniValue(file, "A", "k", "new");
        fs::permissions(dir_, fs::perms::owner_all);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(file.string()), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("left as it was"), std::string::npos) << result.error;
        EXPECT_EQ(Get(file), "[A]\nk=old\n");
    });
}

TEST_F(IniFileTest, WriteThatRunsOutOfSpaceLeavesTheOldFile) {
    // A file-size limit makes the temporary file's write fail, as a full disk would.
    const fs::path file = dir_ / "Full.ini";
    const std::string old = "[A]\nk=old\n";
    Put(file, old);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const IniWriteResult result = WriteIniValue(file, "A", "k", std::string(64, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("left as it was"), std::string::npos) << result.error;
    EXPECT_EQ(Get(file), old);
    EXPECT_EQ(Listing(), std::vector<std::string>{"Full.ini"});  // the temporary is gone
}

TEST_F(IniFileTest, UnreadableFileIsNeverOverwritten) {
    AsOrdinaryUser([this] {
        const fs::path file = dir_ / "Secret.ini";
        Put(file, "[A]\nk=old\nother=keep\n");
        fs::permissions(file, fs::perms::owner_write);
        EXPECT_EQ(LoadIniFile(file).Read("A", "k", "default"), "default");
        const IniWriteResult result = WriteIniValue(file, "A", "k", "new");
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(Get(file), "[A]\nk=old\nother=keep\n");
    });
}

TEST_F(IniFileTest, MissingHugeAndSpecialFilesReadAsEmpty) {
    EXPECT_EQ(LoadIniFile(dir_ / "absent.ini").Read("A", "k", "d"), "d");
    EXPECT_EQ(LoadIniFile(dir_).Read("A", "k", "d"), "d");  // a folder

    const fs::path fifo = dir_ / "pipe.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(LoadIniFile(fifo).Read("A", "k", "d"), "d");  // does not block
    EXPECT_FALSE(WriteIniValue(fifo, "A", "k", "v").ok);

    const fs::path huge = dir_ / "huge.ini";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "[A]\nk=v\n";
        out.seekp(static_cast<std::streamoff>(kMaxIniFileBytes) + 1);
        out.put('x');
    }
    EXPECT_EQ(LoadIniFile(huge).Read("A", "k", "d"), "d");
    EXPECT_FALSE(WriteIniValue(huge, "A", "k", "v").ok);
}

TEST(IniStressTest, EndlessLineAndBinaryInputParseInOnePass) {
    // One line of several megabytes without a break, then binary bytes with NULs.
    std::string text = "[A]\nk=" + std::string(4u << 20, 'x');
    for (int i = 0; i < 65536; ++i) {
        text.push_back(static_cast<char>(i * 37));
    }
    const IniDocument document(text);
    EXPECT_EQ(document.SectionNames().front(), "A");
    EXPECT_EQ(document.Read("A", "k", "").substr(0, 3), "xxx");

    std::string headers;
    for (int i = 0; i < 50000; ++i) {
        headers += "[S" + std::to_string(i % 100) + "]\nk=1\n";
    }
    EXPECT_EQ(IniDocument(headers).SectionNames().size(), 50000u);
}

}  // namespace
}  // namespace quillon
