#include "config/ini_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quillon {
namespace {

namespace fs = std::filesystem;

class IniFolderTest : public ::testing::Test {
protected:
    IniFolderTest()
        : root_(fs::temp_directory_path() / ("quillon-folder-" + std::to_string(::getpid()))) {
        fs::remove_all(root_);
        fs::create_directories(root_ / "Sub");
        std::ofstream(root_ / "Winbond.ini") << "[W25Q64FV]\nFlashblock=128\n";
        std::ofstream(root_ / "Sub" / "Deep.INI") << "[A]\nk=deep\n";
    }
    ~IniFolderTest() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(IniFolderTest, NamesMatchWithoutRegardToCaseAndBackslashSeparates) {
    const IniFolder folder(root_);
    EXPECT_EQ(folder.Resolve("WINBOND.INI"), root_ / "Winbond.ini");
    EXPECT_EQ(folder.Load("winbond.ini").Read("w25q64fv", "FLASHBLOCK", ""), "128");
    EXPECT_EQ(folder.Load("sub\\deep.ini").Read("A", "k", ""), "deep");
    EXPECT_TRUE(folder.Exists("SUB/DEEP.ini"));
    EXPECT_FALSE(folder.Exists("Sub"));  // a folder is no parameter file
    // A new file keeps the spelling asked for inside the existing folder.
    EXPECT_EQ(folder.Resolve("sub\\New.ini"), root_ / "Sub" / "New.ini");
}

TEST_F(IniFolderTest, NamesThatLeaveTheFolderAreRefused) {
    const IniFolder folder(root_ / "Sub");
    for (const char* name : {"..\\Winbond.ini", "../Winbond.ini", "\\etc\\passwd", "", "a\\\\b",
                             ".", "Deep.ini\\.."}) {
        EXPECT_FALSE(folder.Resolve(name)) << name;
    }
    EXPECT_EQ(folder.Load("..\\Winbond.ini").Read("W25Q64FV", "Flashblock", "none"), "none");
    EXPECT_FALSE(folder.Write("..\\Evil.ini", "A", "k", "v").ok);
    EXPECT_FALSE(fs::exists(root_ / "Evil.ini"));
}

TEST_F(IniFolderTest, WriteGoesToTheFileWhateverItsCase) {
    const IniFolder folder(root_);
    ASSERT_TRUE(folder.Write("WINBOND.ini", "W25Q64FV", "SectorSize", "4").ok);
    EXPECT_FALSE(fs::exists(root_ / "WINBOND.ini") &&
                 !fs::equivalent(root_ / "WINBOND.ini", root_ / "Winbond.ini"));
    EXPECT_EQ(IniFolder(root_).Load("Winbond.ini").Read("W25Q64FV", "SectorSize", ""), "4");
}

TEST(IniFolderDefaultTest, EnvironmentNamesAnotherFolderElseBesideTheProgram) {
    ::setenv(IniFolder::kFolderVariable, "/tmp/elsewhere", 1);
    EXPECT_EQ(IniFolder::DefaultFolder(), fs::path("/tmp/elsewhere"));
    ::unsetenv(IniFolder::kFolderVariable);
    EXPECT_EQ(IniFolder::DefaultFolder(), fs::read_symlink("/proc/self/exe").parent_path() / "INI");
}

}  // namespace
}  // namespace quillon
