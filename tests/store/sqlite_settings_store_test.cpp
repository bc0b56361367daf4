#include "config/sqlite_settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "config/settings_location.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string ErrorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const SettingsError& error) {
        return error.what();
    }
    return "(no error)";
}

class SqliteStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path file = dir / "settings.sqlite";
};

TEST_F(SqliteStoreTest, EveryTypeSurvivesReopenInCreationOrderWithFirstSpelling) {
    {
        auto store = SqliteSettingsStore::Open(file);
        store->WriteInt("PDI2CAddress", 128);
        store->WriteText("LastFilePath", "C:\\img\\\"a\".bin \xC3\xA4");
        store->WriteBinary("ExtraECChipID", {});
        store->WriteBinary("Blob", {0x00, 0xFF, 0x00});
        store->WriteInt("Negative", -1);
        store->WriteText("Empty", "");
        store->WriteInt("pdi2caddress", 0x2C);  // another spelling updates in place
    }
    auto store = SqliteSettingsStore::Open(file);
    EXPECT_EQ(store->ReadInt("PdI2cAddress"), 0x2C);
    EXPECT_EQ(store->ReadText("LASTFILEPATH"), "C:\\img\\\"a\".bin \xC3\xA4");
    EXPECT_EQ(store->ReadBinary("extraecchipid"), std::vector<uint8_t>{});
    EXPECT_EQ(store->ReadBinary("Blob"), (std::vector<uint8_t>{0x00, 0xFF, 0x00}));
    EXPECT_EQ(store->ReadInt("Negative"), -1);
    EXPECT_TRUE(store->ReadBool("Negative"));
    EXPECT_TRUE(store->Exists("empty"));
    EXPECT_EQ(store->ReadText("Empty"), "");

    const auto values = store->Enumerate();
    std::vector<std::string> names;
    for (const auto& value : values) {
        names.push_back(value.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"PDI2CAddress", "LastFilePath", "ExtraECChipID",
                                               "Blob", "Negative", "Empty"}));
    EXPECT_EQ(values[0].type, SettingType::Dword);
    EXPECT_EQ(values[1].type, SettingType::Text);
    EXPECT_EQ(values[2].type, SettingType::Binary);
}

TEST_F(SqliteStoreTest, ReadsFailWithTheOperatorMessages) {
    auto store = SqliteSettingsStore::Open(file);
    store->WriteText("ConnectMode", "2");
    store->WriteInt("Flashblock", 8);
    EXPECT_EQ(ErrorOf([&] { store->ReadInt("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(ErrorOf([&] { store->ReadBinary("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(ErrorOf([&] { store->ReadInt("connectmode"); }),
              "Invalid data type for 'connectmode'");
    EXPECT_EQ(ErrorOf([&] { store->ReadText("Flashblock"); }),
              "Invalid data type for 'Flashblock'");
    EXPECT_EQ(store->ReadText("Missing"), "");
    EXPECT_FALSE(store->Exists("Missing"));  // reading a missing text creates nothing

    store->WriteInt("ConnectMode", 4);  // a write replaces the type too
    EXPECT_EQ(store->ReadInt("ConnectMode"), 4);
    EXPECT_EQ(store->Enumerate().front().name, "ConnectMode");
}

// Stores a value with the given SQL literal as it sits in a hand-edited file.
void StoreRaw(const std::filesystem::path& file, const std::string& name, int type,
              const std::string& literal) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    const std::string sql = "INSERT INTO settings (name, type, value) VALUES ('" + name + "', " +
                            std::to_string(type) + ", " + literal + ")";
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(raw);
}

TEST_F(SqliteStoreTest, HandEditedValuesOfTheWrongFormAreNeverConverted) {
    SqliteSettingsStore::Open(file)->WriteInt("Flashblock", 8);
    constexpr int kDword = 4;
    constexpr int kText = 1;
    constexpr int kBinary = 3;
    const struct {
        const char* name;
        int type;
        const char* literal;
    } wrong[] = {
        {"DwordNull", kDword, "NULL"},         {"DwordWord", kDword, "'abc'"},
        {"DwordHex", kDword, "'0x10'"},        {"DwordTail", kDword, "'16x'"},
        {"DwordReal", kDword, "3.9"},          {"DwordHuge", kDword, "5000000000"},
        {"DwordBelow", kDword, "-2147483649"}, {"DwordBlob", kDword, "x'10'"},
        {"TextNumber", kText, "16"},           {"TextNull", kText, "NULL"},
        {"TextBlob", kText, "x'4142'"},        {"BinaryText", kBinary, "'AB'"},
        {"BinaryNull", kBinary, "NULL"},       {"BinaryNumber", kBinary, "7"},
    };
    for (const auto& value : wrong) {
        StoreRaw(file, value.name, value.type, value.literal);
    }
    // Both ends of 32 bits still read: the registry's DWORD is unsigned.
    StoreRaw(file, "DwordAllOnes", kDword, "4294967295");
    StoreRaw(file, "DwordLowest", kDword, "-2147483648");

    auto store = SqliteSettingsStore::Open(file);  // quick_check does not mind them
    for (const auto& value : wrong) {
        const std::string invalid = std::string("Invalid data type for '") + value.name + "'";
        EXPECT_TRUE(store->Exists(value.name)) << value.name;
        if (value.type == kDword) {
            EXPECT_EQ(ErrorOf([&] { store->ReadInt(value.name); }), invalid);
        } else if (value.type == kText) {
            EXPECT_EQ(ErrorOf([&] { store->ReadText(value.name); }), invalid);
        } else {
            EXPECT_EQ(ErrorOf([&] { store->ReadBinary(value.name); }), invalid);
        }
    }
    EXPECT_EQ(store->ReadInt("DwordAllOnes"), -1);
    EXPECT_EQ(store->ReadInt("DwordLowest"), INT32_MIN);
    // The export must not write a line for a value the file does not hold.
    EXPECT_EQ(ErrorOf([&] { store->Enumerate(); }), "Invalid data type for 'DwordNull'");
    store->WriteInt("DwordNull", 0);  // a write mends the value in place
    EXPECT_EQ(store->ReadInt("DwordNull"), 0);
}

TEST_F(SqliteStoreTest, CommitsThroughTheWriteAheadLog) {
    auto store = SqliteSettingsStore::Open(file);
    store->WriteInt("X", 1);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* mode = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "PRAGMA journal_mode", -1, &mode, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    sqlite3_close(raw);
    EXPECT_TRUE(std::filesystem::exists(file.string() + "-wal"));  // while the store is open
    store.reset();
    // Closed, the log is copied into the file and removed: the file alone holds everything.
    EXPECT_FALSE(std::filesystem::exists(file.string() + "-wal"));
    EXPECT_EQ(SqliteSettingsStore::Open(file)->ReadInt("X"), 1);
}

// A batch is one commit: another connection sees none of it until the batch ends, then all
// of it; nested batches commit with the outermost; an error leaving the scope still commits
// what was written before it.
TEST_F(SqliteStoreTest, ABatchCommitsItsWritesTogether) {
    auto store = SqliteSettingsStore::Open(file);
    {
        SettingsBatch outer(*store);
        store->WriteInt("A", 1);
        {
            SettingsBatch inner(*store);
            store->WriteText("B", "two");
            inner.Commit();
        }
        EXPECT_EQ(store->ReadText("B"), "two");  // the batch reads its own writes
        {                                        // another reader does not see it yet
            sqlite3* raw = nullptr;
            ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
            sqlite3_stmt* count = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT COUNT(*) FROM settings", -1, &count, nullptr),
                      SQLITE_OK);
            ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
            EXPECT_EQ(sqlite3_column_int(count, 0), 0);
            sqlite3_finalize(count);
            sqlite3_close(raw);
        }
        outer.Commit();
    }
    auto other = SqliteSettingsStore::Open(file);
    EXPECT_EQ(other->ReadInt("A"), 1);
    EXPECT_EQ(other->ReadText("B"), "two");

    try {
        SettingsBatch batch(*store);
        store->WriteInt("C", 3);
        store->ReadInt("Missing");  // a settings error ends the load half-way
        batch.Commit();
    } catch (const SettingsError&) {
    }
    EXPECT_EQ(SqliteSettingsStore::Open(file)->ReadInt("C"), 3);
    store->WriteInt("D", 4);  // single writes commit at once again
    EXPECT_EQ(SqliteSettingsStore::Open(file)->ReadInt("D"), 4);
}

TEST_F(SqliteStoreTest, CreatesItsFolder) {
    const auto nested = dir / "a" / "b" / "settings.sqlite";
    SqliteSettingsStore::Open(nested)->WriteInt("X", 1);
    EXPECT_EQ(SqliteSettingsStore::Open(nested)->ReadInt("X"), 1);
}

// Files the store must refuse and leave exactly as they were.
class UnusableFileTest : public SqliteStoreTest {
protected:
    void ExpectRefusedAndUntouched(const std::string& reasonPart) {
        const auto before = ReadFileBytes(file);
        try {
            SqliteSettingsStore::Open(file);
            FAIL() << "opened";
        } catch (const SettingsFileError& error) {
            EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos);
            EXPECT_NE(error.Reason().find(reasonPart), std::string::npos) << error.Reason();
        }
        EXPECT_EQ(ReadFileBytes(file), before);
        for (const char* companion : {"-journal", "-wal", "-shm"}) {
            EXPECT_FALSE(std::filesystem::exists(file.string() + companion)) << companion;
        }
    }
    // The same for a store refused because of `culprit` (a companion or the folder), which
    // the reason names and which stays where it is.
    void ExpectRefusedAndUntouchedBesides(const std::filesystem::path& culprit,
                                          const std::string& reasonPart) {
        const auto before = ReadFileBytes(file);
        try {
            SqliteSettingsStore::Open(file);
            ADD_FAILURE() << "opened";
        } catch (const SettingsFileError& error) {
            EXPECT_NE(error.Reason().find(culprit.string()), std::string::npos) << error.Reason();
            EXPECT_NE(error.Reason().find(reasonPart), std::string::npos) << error.Reason();
        }
        EXPECT_EQ(ReadFileBytes(file), before);
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(culprit)));
    }
};

TEST_F(UnusableFileTest, TextFile) {
    WriteFileBytes(file, "ConnectMode=2\nThis is not a database at all\n");
    ExpectRefusedAndUntouched("not a settings database");
}

TEST_F(UnusableFileTest, CorruptDatabase) {
    {
        auto store = SqliteSettingsStore::Open(file);
        for (int i = 0; i < 200; ++i) {
            store->WriteText("Value" + std::to_string(i), std::string(100, 'x'));
        }
    }
    auto bytes = ReadFileBytes(file);
    for (size_t i = 4096; i < bytes.size(); i += 7) {
        bytes[i] = static_cast<char>(0xA5);
    }
    WriteFileBytes(file, bytes);
    ExpectRefusedAndUntouched("corrupt");
}

TEST_F(UnusableFileTest, DatabaseOfAnotherProgram) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    sqlite3_exec(raw, "CREATE TABLE songs (title TEXT); INSERT INTO songs VALUES ('x')", nullptr,
                 nullptr, nullptr);
    sqlite3_close(raw);
    ExpectRefusedAndUntouched("another program");
}

TEST_F(UnusableFileTest, CompanionsAreCheckedAndKept) {
    SqliteSettingsStore::Open(file)->WriteInt("X", 1);
    const std::filesystem::path wal = file.string() + "-wal";
    const std::filesystem::path shm = file.string() + "-shm";

    std::filesystem::create_directory(wal);  // not a file
    ExpectRefusedAndUntouchedBesides(wal, "not a regular file");
    EXPECT_TRUE(std::filesystem::is_directory(wal));
    std::filesystem::remove(wal);

    std::filesystem::create_symlink("elsewhere", shm);
    ExpectRefusedAndUntouchedBesides(shm, "not a regular file");
    std::filesystem::remove(shm);

    // A log left without its database is not replayed into a new one.
    const auto before = ReadFileBytes(file);
    std::filesystem::remove(file);
    WriteFileBytes(wal, "frames of a log whose database is gone");
    try {
        SqliteSettingsStore::Open(file);
        FAIL() << "opened";
    } catch (const SettingsFileError& error) {
        EXPECT_NE(error.Reason().find(wal.string()), std::string::npos) << error.Reason();
    }
    EXPECT_EQ(ReadFileBytes(wal), "frames of a log whose database is gone");
    EXPECT_FALSE(std::filesystem::exists(file));
    std::filesystem::remove(wal);
    WriteFileBytes(file, before);
    EXPECT_EQ(SqliteSettingsStore::Open(file)->ReadInt("X"), 1);
}

TEST_F(UnusableFileTest, ReadOnlyCompanionOrFolder) {
    {
        auto store = SqliteSettingsStore::Open(file);
        store->WriteInt("X", 1);
    }
    const std::filesystem::path wal = file.string() + "-wal";
    WriteFileBytes(wal, "");
    std::filesystem::permissions(wal, std::filesystem::perms::owner_read);
    testing::AsOrdinaryUser(dir.Path(), [&] {
        ExpectRefusedAndUntouchedBesides(wal, "cannot be written");
        std::filesystem::remove(wal);
        std::filesystem::permissions(
            dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        ExpectRefusedAndUntouchedBesides(dir.Path(), "cannot be written");
        std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
    });
    EXPECT_EQ(SqliteSettingsStore::Open(file)->ReadInt("X"), 1);
}

TEST_F(UnusableFileTest, ReadOnlyFile) {
    SqliteSettingsStore::Open(file)->WriteInt("X", 1);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    if (geteuid() != 0) {
        ExpectRefusedAndUntouched("cannot be written");
        return;
    }
    // Root writes any file: check in a child that runs as an ordinary user.
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(2);
        }
        try {
            SqliteSettingsStore::Open(file);
        } catch (const SettingsFileError& error) {
            _exit(error.Reason().find("cannot be written") != std::string::npos ? 0 : 3);
        }
        _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(SqliteSettingsStore::Open(file)->ReadInt("X"), 1);
}

TEST(SettingsLocationTest, OptionThenEnvironmentThenXdgConfigFolder) {
    const auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto settings = saved("QUILLON_SETTINGS");
    const auto xdg = saved("XDG_CONFIG_HOME");
    const auto home = saved("HOME");

    setenv("QUILLON_SETTINGS", "/env/s.sqlite", 1);
    EXPECT_EQ(ResolveSettingsPath("/opt/given.sqlite"), "/opt/given.sqlite");
    EXPECT_EQ(ResolveSettingsPath(""), "/env/s.sqlite");
    unsetenv("QUILLON_SETTINGS");
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    setenv("HOME", "/home/op", 1);
    EXPECT_EQ(ResolveSettingsPath(""), "/xdg/quillon/settings.sqlite");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // invalid by the XDG rule
    EXPECT_EQ(ResolveSettingsPath(""), "/home/op/.config/quillon/settings.sqlite");

    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    };
    restore("QUILLON_SETTINGS", settings);
    restore("XDG_CONFIG_HOME", xdg);
    restore("HOME", home);
}

}  // namespace
}  // namespace quillon
