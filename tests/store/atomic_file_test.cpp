// The atomic writer under every save: read-only files stay as they are, links stay links.
#include "config/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/ini_profile.h"
#include "config/memory_settings_store.h"
#include "config/settings_export.h"
#include "runtime/message_log.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/recording_panel.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

class AtomicWriteTest : public ::testing::Test {
protected:
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static fs::perms Mode(const fs::path& file) { return fs::status(file).permissions(); }

    testing::TempDir dir;
};

TEST_F(AtomicWriteTest, ReadOnlyFileInAWritableFolderIsNeverReplaced) {
    const fs::path reg = dir / "KavoEC_Quillon_Setting.reg";
    const fs::path ini = dir / "PinSet.ini";
    WriteFileBytes(reg, "old export");
    WriteFileBytes(ini, "[SetNum]\nNum=1\n");
    constexpr auto kReadOnly =
        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(reg, kReadOnly);
    fs::permissions(ini, kReadOnly);
    testing::AsOrdinaryUser(dir.Path(), [&] {
        try {
            WriteFileAtomically(reg, "new");
            ADD_FAILURE() << "a read-only file was replaced";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(reg.string()), std::string::npos);
            EXPECT_NE(std::string(error.what()).find("read-only"), std::string::npos);
        }

        // Save REG: the handler ends with the error, the log keeps its "Saving..." line.
        MemorySettingsStore store;
        store.WriteInt("ConnectMode", 2);
        RecordingPanel panel;
        MessageLog log{panel};
        EXPECT_THROW(SaveSettingsExport(store, panel, log, reg.string()), std::runtime_error);
        EXPECT_EQ(log.LastLine(), "Save Kavo Quillon Setting to File ---> Saving...");

        const IniWriteResult result = WriteIniValue(ini, "SetNum", "Num", "2");
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("left as it was"), std::string::npos) << result.error;
    });
    EXPECT_EQ(ReadFileBytes(reg), "old export");
    EXPECT_EQ(ReadFileBytes(ini), "[SetNum]\nNum=1\n");
    EXPECT_EQ(Mode(reg), kReadOnly);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"KavoEC_Quillon_Setting.reg", "PinSet.ini"}));
}

TEST_F(AtomicWriteTest, LinksAreWrittenThroughAndStayLinks) {
    fs::create_directory(dir / "real");
    const fs::path target = dir / "real" / "a.log";
    WriteFileBytes(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/a.log", dir / "relative.log");  // relative to the link's folder
    fs::create_symlink(target, dir / "absolute.log");
    fs::create_symlink("relative.log", dir / "chain.log");  // a link to a link

    WriteFileAtomically(dir / "relative.log", "one");
    EXPECT_EQ(ReadFileBytes(target), "one");
    WriteFileAtomically(dir / "absolute.log", "two");
    EXPECT_EQ(ReadFileBytes(target), "two");
    WriteFileAtomically(dir / "chain.log", "three");
    EXPECT_EQ(ReadFileBytes(target), "three");
    for (const char* link : {"relative.log", "absolute.log", "chain.log"}) {
        EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
    }
    EXPECT_EQ(Mode(target), fs::perms::owner_read | fs::perms::owner_write);

    // A link to a file not yet there creates the file at the link's target.
    fs::create_symlink("real/new.ini", dir / "dangling.ini");
    ASSERT_TRUE(WriteIniValue(dir / "dangling.ini", "Parameter", "VERSION", "2").ok);
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "real" / "new.ini"), "[Parameter]\nVERSION=2\n");
}

TEST_F(AtomicWriteTest, ALinkToAReadOnlyFileIsRefusedToo) {
    const fs::path target = dir / "target.bin";
    WriteFileBytes(target, "keep");
    fs::permissions(target, fs::perms::owner_read);
    fs::create_symlink(target, dir / "link.bin");
    testing::AsOrdinaryUser(dir.Path(), [&] {
        EXPECT_THROW(WriteFileAtomically(dir / "link.bin", "lost"), std::runtime_error);
    });
    EXPECT_EQ(ReadFileBytes(target), "keep");
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
}

TEST_F(AtomicWriteTest, ALoopOfLinksIsReported) {
    fs::create_symlink("b", dir / "a");
    fs::create_symlink("a", dir / "b");
    EXPECT_THROW(WriteFileAtomically(dir / "a", "x"), std::runtime_error);
    EXPECT_TRUE(fs::is_symlink(dir / "a"));
    EXPECT_TRUE(fs::is_symlink(dir / "b"));
}

}  // namespace
}  // namespace quillon
